#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs the whole test suite. Then builds
# build-asan/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer, runs the suite again
# there, and runs each fuzzer for FUZZ_SECONDS (60 by default). Any failure fails the run.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/scripts/common.sh"

started=$SECONDS
stage() { echo "== $1 ($((SECONDS - started)) s so far)"; }

ensure_packages "${BUILD_PACKAGES[@]}" "${SANITIZER_PACKAGES[@]}"

stage "Build and test suite"
build_tree "$ROOT/build"
(cd "$ROOT/build" && ctest --output-on-failure -j "$(nproc)")

stage "Sanitizer build and test suite (AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer)"
sanitizer_environment
build_tree "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DZOV_BUILD_FUZZERS=ON
(cd "$ROOT/build-asan" && ctest --output-on-failure -j "$(nproc)")

stage "Fuzzers, ${FUZZ_SECONDS:-60} s each"
run_fuzzers "$ROOT/build-asan" "${FUZZ_SECONDS:-60}"

stage "All stages passed"
