# Shared by run.sh and test.sh: install what the build needs, then configure and build.
# Source it; it defines ensure_packages and build_tree.

# Debian packages the build, the tests and the fonts of the window need.
BUILD_PACKAGES=(
    build-essential cmake ninja-build pkg-config dpkg-dev file
    qt6-base-dev qt6-qpa-plugins
    libhidapi-dev libudev-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-liberation fonts-dejavu-core
)

# ensure_packages PKG...: installs the ones that are missing (apt-get, through sudo when not root).
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# build_tree DIR [cmake options...]: configures (Release unless told otherwise) and builds.
build_tree() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$dir"
}
