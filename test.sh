#!/usr/bin/env bash
# Installs what is missing, checks that each folder includes only the folders its library links,
# builds into build/ and runs the whole test suite. Then builds build-asan/ with clang,
# AddressSanitizer, UndefinedBehaviorSanitizer and assertions kept, runs the suite again there,
# and runs each fuzzer briefly: the lean ones for FUZZ_SECONDS (15 by default), the two that
# drive the whole window for FUZZ_INTEGRATION_SECONDS (45). Both builds treat compiler warnings
# as errors. Between the two suites it boots a real kernel in QEMU and runs the console against
# a uhid board there. Any failure fails the run. Right after the first suite it builds the
# Debian package and checks it with lintian, appstreamcli and desktop-file-validate, then runs
# the console on X11 (Xvfb) and Wayland (weston) and checks where its windows go. ./fuzz.sh runs
# the long campaign.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/scripts/common.sh"

started=$SECONDS
stage() { echo "== $1 ($((SECONDS - started)) s so far)"; }

# run_suite DIR: the whole suite in that build, adding its counts to the closing line.
passed=0
failed=0
run_suite() {
    local log="$1/ctest.log" counts
    (cd "$1" && ctest --output-on-failure -j "$(nproc)") | tee "$log"
    counts=$(grep -oE '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    failed=$((failed + $(echo "$counts" | cut -d' ' -f1)))
    passed=$((passed + $(echo "$counts" | awk '{print $NF - $1}')))
}

# script_stage NAME [COMMAND...]: runs COMMAND (by default scripts/NAME.sh on the Release
# build), adding the checks it counts ("NAME: N checks passed, M failed") to the closing line.
script_stage() {
    local name=$1 log="$ROOT/build/$1.log" counts status=0
    shift
    [ $# -eq 0 ] && set -- "$ROOT/scripts/$name.sh" "$ROOT/build"
    mkdir -p "$ROOT/build"
    "$@" 2>&1 | tee "$log" || status=$?
    counts=$(grep -oE "^$name: [0-9]+ checks passed, [0-9]+ failed" "$log" | tail -n 1)
    if [ -n "$counts" ]; then
        passed=$((passed + $(echo "$counts" | awk '{print $2}')))
        failed=$((failed + $(echo "$counts" | awk '{print $5}')))
    fi
    return "$status"
}

ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${INCLUDE_CHECK_PACKAGES[@]}" \
    "${PACKAGE_CHECK_PACKAGES[@]}" "${SANITIZER_PACKAGES[@]}" "${KERNEL_STAGE_PACKAGES[@]}" \
    "${DESKTOP_CHECK_PACKAGES[@]}"

stage "Includes: each folder includes only the folders its library links"
script_stage include-check "$ROOT/scripts/include-check.py" "$ROOT" \
    || { echo "tests: $passed passed, $failed failed"; exit 1; }

stage "Build and test suite"
build_tree "$ROOT/build" "${CI_CMAKE_OPTIONS[@]}"
run_suite "$ROOT/build"

stage "Debian package: lintian, AppStream metadata, desktop entry"
script_stage package-check || { echo "tests: $passed passed, $failed failed"; exit 1; }

stage "Desktop: the windows' places on X11 (Xvfb) and Wayland (weston)"
script_stage desktop-check || { echo "tests: $passed passed, $failed failed"; exit 1; }

stage "Real kernel in QEMU: the console against a uhid board"
script_stage kernel-stage || { echo "tests: $passed passed, $failed failed"; exit 1; }

stage "Sanitizer build and test suite (AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer)"
sanitizer_environment
build_tree "$ROOT/build-asan" "${SANITIZER_CMAKE_OPTIONS[@]}" "${CI_CMAKE_OPTIONS[@]}"
run_suite "$ROOT/build-asan"

stage "Fuzzers, ${FUZZ_SECONDS:-15} s each (the window's two: ${FUZZ_INTEGRATION_SECONDS:-45} s)"
run_fuzzers "$ROOT/build-asan" "${FUZZ_SECONDS:-15}" "${FUZZ_INTEGRATION_SECONDS:-45}"

stage "All stages passed"
echo "tests: $passed passed, $failed failed"
