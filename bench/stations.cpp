// Station mode with several boards at once: the wall time from the station's start until
// every board in it has its verdict, running examples/production.toml (its 1 s poll the
// longest step) on one virtual board and on four at once. Boards checked side by side take
// about as long as one when the event loop keeps up with all of them.
#include "bench/QuietStandardOutput.h"
#include "bench/RunBenchmarks.h"
#include "board/VirtualBoard.h"
#include "check/PlanParser.h"
#include "check/StationSession.h"
#include "hid/DeviceManager.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <csignal>
#include <string>

namespace {

const std::string PlanFile = ZOV_SOURCE_DIR "/examples/production.toml";

void BM_StationProduction(benchmark::State& state) {
    const auto boards = std::size_t(state.range(0));
    check::PlanError error;
    std::string planBytes;
    const auto plan = check::ParsePlanFile(PlanFile, error, &planBytes);
    if (!plan) return state.SkipWithError(error.text().c_str());
    std::size_t passed = 0;
    for (auto _ : state) {
        const bench::QuietStandardOutput quiet;
        QTemporaryDir records;
        hid::DeviceManager layer;
        for (std::size_t n = 1; n <= boards; ++n) {
            board::VirtualBoardSetup setup;
            setup.port = "virtual-" + std::to_string(n);
            layer.addSource(std::make_unique<board::VirtualBoard>(setup));
        }
        check::StationSession station(
            layer, *plan, check::RunProvenance(PlanFile, planBytes, {}, {}), QDir(records.path()));
        const auto checked = [&] {
            const check::StationTally& tally = station.tally();
            return tally.passed + tally.failed + tally.undecided;
        };
        QEventLoop loop;
        QObject::connect(&station, &check::StationSession::verdict, &loop, [&] {
            if (checked() == boards) loop.quit();
        });
        QTimer::singleShot(60'000, &loop, &QEventLoop::quit); // a board that never ends
        station.start();
        loop.exec();
        state.PauseTiming();
        passed += station.tally().passed;
        station.stop(SIGTERM);
        state.ResumeTiming();
    }
    state.counters["boards passed"] =
        benchmark::Counter(double(passed) / double(state.iterations()));
}

} // namespace

BENCHMARK(BM_StationProduction)
    ->ArgName("boards")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
