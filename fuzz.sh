#!/usr/bin/env bash
# The long fuzzing campaign: builds the harnesses into build-asan/ (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer, libFuzzer) and runs each one for SECONDS (600 by default), one
# after the other at low priority, keeping what it finds in build-asan/fuzz/campaign/NAME so
# that the next campaign goes on from there.
#
# Usage: ./fuzz.sh [SECONDS] [HARNESS...]
#   HARNESS: the harnesses to run (default: every harness with a seed corpus in fuzz/corpus/).
#   FUZZ_RUNS=N stops each harness after N inputs instead, if that comes first.
# Ends with a table of runs and runs per second, also kept in build-asan/fuzz/campaign.md;
# fails at the first crash, leak or broken check.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/scripts/common.sh"

seconds=${1:-600}
[ $# -gt 0 ] && shift
names=("$@")
[ ${#names[@]} -eq 0 ] && mapfile -t names < <(fuzzer_names)
build="$ROOT/build-asan"
options=()
[ -n "${FUZZ_RUNS:-}" ] && options=(-runs="$FUZZ_RUNS")

# A campaign takes long: leave the machine to whatever else runs on it.
renice -n 10 $$ >/dev/null

ensure_packages "${BUILD_PACKAGES[@]}" "${SANITIZER_PACKAGES[@]}"
cmake -S "$ROOT" -B "$build" -G Ninja "${SANITIZER_CMAKE_OPTIONS[@]}" >/dev/null
cmake --build "$build" --target "${names[@]}"
sanitizer_environment

rows=()
for name in "${names[@]}"; do
    fuzz_one "$build" "$name" "$seconds" "$build/fuzz/campaign/$name" "${options[@]}"
    rows+=("$(fuzz_figures "$build/fuzz/$name.log" "| $name | %d | %d | %d | 0 |")")
done

summary="$build/fuzz/campaign.md"
{
    echo "Campaign of $(date -u +%Y-%m-%d), $(nproc) CPUs, each harness up to $seconds s${FUZZ_RUNS:+ or $FUZZ_RUNS runs}:"
    echo
    echo "| Harness | Runs | Seconds | Runs/s | Findings |"
    echo "|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
} >"$summary"
echo
cat "$summary"
