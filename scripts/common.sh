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

# The real-kernel stage (scripts/kernel-stage.sh): QEMU, a kernel with its modules, a static
# busybox for the guest's first minutes, and udev for the guest's udev daemon.
KERNEL_STAGE_PACKAGES=(qemu-system-x86 linux-image-amd64 busybox-static udev)

# The sanitizer build and the fuzzers (test.sh's later stages): clang 14, its sanitizer and
# libFuzzer runtimes, and llvm-symbolizer for readable stack traces.
SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev llvm-14)

# sanitizer_environment: how the instrumented programs behave. Undefined behaviour and leaks
# fail the run; the leak suppressions name only libraries outside this project.
sanitizer_environment() {
    export ASAN_OPTIONS=detect_leaks=1:strict_init_order=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS="suppressions=$ROOT/fuzz/lsan.supp:print_suppressions=0"
    local symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
    [ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer
    return 0
}

# run_fuzzers BUILD_DIR SECONDS: runs every harness in fuzz/ for SECONDS, starting from its seed
# corpus in fuzz/corpus/NAME (left unchanged: new inputs go to BUILD_DIR/fuzz/work/NAME).
# Fails on the first crash, leak or broken check, showing the end of the fuzzer's log; the input
# that did it is kept as BUILD_DIR/fuzz/artifacts/NAME-crash-*.
run_fuzzers() {
    local build=$1 seconds=$2
    local corpus name work log
    mkdir -p "$build/fuzz/artifacts"
    for corpus in "$ROOT"/fuzz/corpus/*/; do
        name=$(basename "$corpus")
        work="$build/fuzz/work/$name"
        log="$build/fuzz/$name.log"
        rm -rf "$work"
        mkdir -p "$work"
        if ! "$build/fuzz/$name" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
            -print_final_stats=1 -artifact_prefix="$build/fuzz/artifacts/$name-" \
            "$work" "$corpus" >"$log" 2>&1; then
            tail -n 80 "$log"
            echo "FAILED: fuzzer $name (log: $log)"
            return 1
        fi
        echo "$name: $(grep -m1 '^Done ' "$log") (no crash, leak or failed check)"
    done
}
