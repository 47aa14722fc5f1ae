#!/usr/bin/env bash
# Builds the benchmarks (installing what is missing) and runs them all: the micro-benchmarks,
# then the timed scenarios (on the virtual board and on a socket pair standing in for a hidraw
# node) and the program's start-up. Prints the machine and a table with each figure beside its
# goal; the table is also kept in build-bench/bench-results.md.
#
# Every CPU figure is the median of 5 runs, with their spread (lowest to highest).
#
# Usage: ./bench.sh [--quick]   (--quick: 1 s polling and throughput runs instead of 2 s)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/scripts/common.sh"

POLL_SECONDS=2
THROUGHPUT_SECONDS=2
if [ "${1:-}" = "--quick" ]; then
    POLL_SECONDS=1
    THROUGHPUT_SECONDS=1
fi

ensure_packages "${BUILD_PACKAGES[@]}"
BUILD="$ROOT/build-bench"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZOV_BUILD_BENCHMARKS=ON -DZOV_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target zov_micro zov_stations zov_station_window zov_scenario \
    zov_records_bench zov-usb-test

export QT_QPA_PLATFORM=offscreen
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
machine="$(nproc) CPUs, ${cpu:-unknown CPU}, Linux $(uname -r)"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

echo "== Machine: $machine; load average before the run: $load_before"
echo
echo "== Micro-benchmarks (Google Benchmark)"
micro=$("$BUILD/bench/zov_micro" --benchmark_min_time=0.2 2>&1 | grep -v XDG_RUNTIME_DIR)
echo "$micro"
echo
echo "== Station: one board and four at once (Google Benchmark)"
stations=$("$BUILD/bench/zov_stations" 2>&1 | grep -v XDG_RUNTIME_DIR)
echo "$stations"
echo
echo "== Station window: four boards idle and polling, answer to verdict (Google Benchmark)"
station_window=$("$BUILD/bench/zov_station_window" 2>&1 |
    grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints)
echo "$station_window"
echo

echo "== Run records' database (set ZOV_BENCH_POSTGRESQL=URL for PostgreSQL too)"
"$BUILD/bench/zov_records_bench" 2>&1 | grep -v -e XDG_RUNTIME_DIR -e NOTICE
echo
echo "== Scenarios on the virtual board (progress on stderr)"
table=$("$BUILD/bench/zov_scenario" --program "$BUILD/zov-usb-test" \
    --poll-seconds "$POLL_SECONDS" --throughput-seconds "$THROUGHPUT_SECONDS")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

{
    echo "Machine: $machine."
    echo "Load average before / after the run: $load_before / $load_after."
    echo
    echo "$table"
    echo
    echo "Per-call costs (Google Benchmark):"
    echo
    echo '```'
    echo "$micro" | sed -n '/^-\{10,\}/,$p'
    echo '```'
    echo
    echo "Station, one board and four at once (Google Benchmark):"
    echo
    echo '```'
    echo "$stations" | sed -n '/^-\{10,\}/,$p'
    echo '```'
    echo
    echo "Station window, four boards idle and polling, answer to verdict (Google Benchmark):"
    echo
    echo '```'
    echo "$station_window" | sed -n '/^-\{10,\}/,$p'
    echo '```'
} | tee "$BUILD/bench-results.md"
