#pragma once

#include <benchmark/benchmark.h>

namespace bench {

/// Runs the benchmarks the command line names, once the program has made its Qt application:
/// 0, or 1 for an argument Google Benchmark does not know.
inline int RunBenchmarks(int& argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
