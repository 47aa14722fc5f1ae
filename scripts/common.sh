# Shared by run.sh and test.sh: install what the build needs, then configure and build.
# Source it; it defines ensure_packages and build_tree.

# Debian packages the build, the tests and the fonts of the window need (scdoc makes the
# manual page; dpkg-dev and file are what cpack's Debian package needs).
BUILD_PACKAGES=(
    build-essential cmake ninja-build pkg-config dpkg-dev file scdoc
    qt6-base-dev qt6-qpa-plugins libqt6sql6-sqlite libqt6sql6-psql
    libhidapi-dev libudev-dev libtomlplusplus-dev libpcre2-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-liberation fonts-dejavu-core
)

# What only the tests need beyond the build: the readers of the check's records
# (tests/records/): Debian's junitparser, node with npm for a JUnit reader from the npm
# registry, and the JSON Schema validator; and the PostgreSQL server the records database's
# tests start for themselves (tests/database/).
TEST_PACKAGES=(python3-junitparser nodejs npm python3-jsonschema postgresql)

# installed PKG: whether PKG, or a package that provides it, is installed (NodeSource's nodejs
# provides npm, and conflicts with Debian's).
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed" && return 0
    dpkg-query -W -f='${Status}|${Provides}\n' 2>/dev/null | grep "^install ok installed|" |
        cut -d'|' -f2 | tr ',' '\n' | awk '{print $1}' | grep -x -- "$1" >/dev/null
}

# ensure_packages PKG...: installs the ones that are missing (apt-get, through sudo when not root).
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        installed "$package" || missing+=("$package")
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

# The include check (scripts/include-check.py), which needs no build.
INCLUDE_CHECK_PACKAGES=(python3)

# The package check (scripts/package-check.sh): Debian's own checker, the AppStream validator
# and the desktop entry validator.
PACKAGE_CHECK_PACKAGES=(lintian appstream desktop-file-utils dpkg-dev file)

# The real-kernel stage (scripts/kernel-stage.sh): QEMU, a kernel with its modules, a static
# busybox for the guest's first minutes, and udev for the guest's udev daemon.
KERNEL_STAGE_PACKAGES=(qemu-system-x86 linux-image-amd64 busybox-static udev)

# The desktop check (scripts/desktop-check.sh): an X server and tools that read its windows'
# places, the weston compositor and Qt's Wayland platform, and ImageMagick to compare
# screenshots.
DESKTOP_CHECK_PACKAGES=(xvfb x11-utils xdotool weston qt6-wayland imagemagick)

# The sanitizer build and the fuzzers (test.sh's later stages): clang 14, its sanitizer and
# libFuzzer runtimes, and llvm-symbolizer for readable stack traces.
SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev llvm-14)
# How build-asan is configured, by ./test.sh and ./fuzz.sh alike (one tree, one configuration):
# optimised, with its assertions kept (ZOV_ASSERTIONS), so that the suite and the fuzzers also
# stop on a broken assertion such as hid::AssertOnGuiThread.
SANITIZER_CMAKE_OPTIONS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
    -DZOV_BUILD_FUZZERS=ON -DZOV_ASSERTIONS=ON)

# What ./test.sh adds to both of its builds: a compiler warning fails the build. Only CI: a
# user's build (./run.sh, a package) with a newer compiler keeps going past its new warnings.
CI_CMAKE_OPTIONS=(-DZOV_WARNINGS_AS_ERRORS=ON)

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

# The harnesses that drive the whole window: far slower per input than the lean ones, which
# call one pure part each, so test.sh gives them longer. Every other harness with a seed corpus
# in fuzz/corpus/ counts as lean and is picked up without being named anywhere.
INTEGRATION_FUZZERS=(fuzz_input_reports fuzz_operator_text)

# fuzzer_names: every harness that has a seed corpus folder, in name order.
fuzzer_names() {
    local corpus
    for corpus in "$ROOT"/fuzz/corpus/*/; do
        basename "$corpus"
    done
}

# is_integration_fuzzer NAME
is_integration_fuzzer() {
    local name
    for name in "${INTEGRATION_FUZZERS[@]}"; do
        [ "$name" = "$1" ] && return 0
    done
    return 1
}

# fuzz_one BUILD_DIR NAME SECONDS WORK_DIR [libFuzzer options...]: runs one harness from its
# seed corpus in fuzz/corpus/NAME (read, never written: new inputs go to WORK_DIR), at most
# SECONDS. Fails on a crash, leak or broken check, showing the end of the fuzzer's log; the
# input that did it is kept as BUILD_DIR/fuzz/artifacts/NAME-crash-*. On success prints
# "NAME: N runs in S s (R runs/s)".
fuzz_one() {
    local build=$1 name=$2 seconds=$3 work=$4
    shift 4
    local log="$build/fuzz/$name.log"
    mkdir -p "$build/fuzz/artifacts" "$work"
    if ! "$build/fuzz/$name" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz/artifacts/$name-" "$@" \
        "$work" "$ROOT/fuzz/corpus/$name" >"$log" 2>&1; then
        tail -n 80 "$log"
        echo "FAILED: fuzzer $name (log: $log)"
        return 1
    fi
    echo "$name: $(fuzz_figures "$log" "%d runs in %d s (%d runs/s)"), no crash, leak or failed check"
}

# fuzz_figures LOG FORMAT: the runs, seconds and runs per second of a finished fuzzer's log,
# through printf FORMAT.
fuzz_figures() {
    awk -v format="$2" '
        /^stat::number_of_executed_units:/ { runs = $2 }
        /^Done [0-9]+ runs in/ { seconds = $5 }
        END { printf format, runs, seconds, (seconds > 0 ? runs / seconds : runs) }' "$1"
}

# run_fuzzers BUILD_DIR SECONDS INTEGRATION_SECONDS: runs every harness briefly, each from its
# seed corpus into a fresh work folder: the lean ones for SECONDS, the integration ones for
# INTEGRATION_SECONDS. Stops at the first failure.
run_fuzzers() {
    local build=$1 seconds=$2 integration_seconds=$3
    local name work
    for name in $(fuzzer_names); do
        work="$build/fuzz/work/$name"
        rm -rf "$work"
        if is_integration_fuzzer "$name"; then
            fuzz_one "$build" "$name" "$integration_seconds" "$work" || return 1
        else
            fuzz_one "$build" "$name" "$seconds" "$work" || return 1
        fi
    done
}
