// The station window with four virtual boards (ports bay-1 to bay-4), shown offscreen:
// - idle: every socket holds a board that has its verdict ("Unplug the board.") and nothing
//   happens; the process's CPU time over 1 s spans as a share of one core;
// - polling: every board in a poll step (A/D and inputs by turns every 20 ms), the same share;
// - verdict, with one board and with four: from a board's last answer reaching the layer (a
//   report observer) to the station's verdict signal, and to the first paint of its socket's
//   verdict panel (an application event filter), per board; the records are written between.
// Figures are printed, never checked: they depend on the machine.
#include "bench/QuietStandardOutput.h"
#include "bench/RunBenchmarks.h"
#include "bench/scenario/Measuring.h"
#include "bench/scenario/ReportCounter.h"
#include "board/VirtualBoard.h"
#include "check/PlanParser.h"
#include "check/StationSession.h"
#include "hid/DeviceManager.h"
#include "hid/ReportObserver.h"
#include "stationwindow/SocketPanel.h"
#include "stationwindow/StationWindow.h"

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <csignal>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int Boards = 4;

constexpr const char* ReadPlan = "name = 'read'\n"
                                 "[[step]]\ntype = 'read_ad'\nmin = 0\nmax = 255\n";
constexpr const char* PollPlan = "name = 'poll'\n"
                                 "[[step]]\ntype = 'poll'\nduration_ms = 3600000\n";

/// A station of `boards` virtual boards followed by its window, shown offscreen.
struct StationWindowRig {
    explicit StationWindowRig(const char* planText, int boards = Boards) {
        for (int n = 1; n <= boards; ++n) {
            board::VirtualBoardSetup setup;
            setup.port = "bay-" + std::to_string(n);
            setup.serialNumber = "ZB-" + std::to_string(n);
            layer.addSource(std::make_unique<board::VirtualBoard>(setup));
        }
        check::PlanError error;
        station.emplace(layer, *check::ParsePlan(planText, "plan.toml", error),
                        check::RunProvenance("plan.toml", planText, {}, {}), QDir(records.path()));
        window.resize(1366, 768);
        window.follow(*station);
        window.show();
    }
    ~StationWindowRig() { station->stop(SIGTERM); }

    std::size_t checked() const {
        return station->tally().passed + station->tally().failed + station->tally().undecided;
    }

    const bench::QuietStandardOutput quiet;
    QTemporaryDir records;
    hid::DeviceManager layer;
    stationwindow::StationWindow window;
    std::optional<check::StationSession> station;
};

/// The process's CPU time over `span` of the event loop, as a share of one core, per
/// iteration; reports the median and the highest.
void MeasureCpu(benchmark::State& state, std::chrono::milliseconds span) {
    std::vector<double> percents;
    for (auto _ : state) {
        const auto cpu0 = bench::CpuTime();
        const auto wall0 = bench::Clock::now();
        bench::RunFor(span);
        percents.push_back(bench::Ms(bench::CpuTime() - cpu0) /
                           bench::Ms(bench::Clock::now() - wall0) * 100);
    }
    const bench::Spread spread = bench::SpreadOf(percents);
    state.counters["core %"] = spread.median;
    state.counters["max core %"] = spread.max;
}

void BM_StationWindowIdle(benchmark::State& state) {
    StationWindowRig rig(ReadPlan);
    rig.station->start();
    if (!bench::WaitUntil([&] { return rig.checked() == Boards; }, 10s))
        return state.SkipWithError("the boards did not all get their verdicts");
    bench::RunFor(500ms); // the verdicts' paints and the records' writing are over
    MeasureCpu(state, 1s);
}

void BM_StationWindowPolling(benchmark::State& state) {
    bench::ReportCounter counter; // outlives the layer that tells it
    StationWindowRig rig(PollPlan);
    rig.layer.addObserver(counter);
    int polling = 0;
    QObject::connect(&*rig.station, &check::StationSession::stepStarted, [&] { ++polling; });
    rig.station->start();
    if (!bench::WaitUntil([&] { return polling == Boards; }, 10s))
        return state.SkipWithError("the boards did not all start polling");
    bench::RunFor(500ms); // past the start's layout and paints
    const std::uint64_t answers0 = counter.in;
    const auto wall0 = bench::Clock::now();
    MeasureCpu(state, 1s);
    state.counters["answers/s"] =
        double(counter.in - answers0) / (bench::Ms(bench::Clock::now() - wall0) / 1000);
}

/// Per socket: when its board's last input report reached the layer, when the station sent
/// its verdict, and when the window first painted its verdict panel after that.
class VerdictClock final : public QObject, public hid::ReportObserver {
public:
    std::map<hid::Handle, bench::Clock::time_point> lastAnswer;
    std::map<hid::Handle, bench::Clock::time_point> verdictSent;
    std::map<QString, hid::Handle> socketOf; // by panel name, "socket bay-1"
    std::vector<double> toSignalMs;
    std::vector<double> toPaintMs;

    void record(hid::ReportDirection direction, hid::Handle handle, const hid::Report&) override {
        if (direction == hid::ReportDirection::In) lastAnswer[handle] = bench::Clock::now();
    }
    void verdict(hid::Handle socket) {
        verdictSent[socket] = bench::Clock::now();
        toSignalMs.push_back(bench::Ms(verdictSent[socket] - lastAnswer.at(socket)));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || watched->objectName() != "verdict") return false;
        const auto socket = socketOf.find(watched->parent()->objectName());
        if (socket == socketOf.end() || !verdictSent.count(socket->second)) return false;
        toPaintMs.push_back(bench::Ms(bench::Clock::now() - lastAnswer.at(socket->second)));
        socketOf.erase(socket); // its first paint only
        return false;
    }
};

void BM_StationWindowVerdict(benchmark::State& state) {
    const auto boards = int(state.range(0));
    std::vector<double> toSignal;
    std::vector<double> toPaint;
    for (auto _ : state) {
        VerdictClock clock; // outlives the layer that tells it
        StationWindowRig rig(ReadPlan, boards);
        rig.layer.addObserver(clock);
        QObject::connect(&*rig.station, &check::StationSession::socketOpened,
                         [&](hid::Handle socket, const QString& name) {
                             clock.socketOf["socket " + name] = socket;
                         });
        // Connected after the window's own: the panel has its verdict when this runs.
        QObject::connect(&*rig.station, &check::StationSession::verdict,
                         [&](hid::Handle socket) { clock.verdict(socket); });
        qApp->installEventFilter(&clock);
        rig.station->start();
        const bool painted =
            bench::WaitUntil([&] { return clock.toPaintMs.size() == std::size_t(boards); }, 10s);
        qApp->removeEventFilter(&clock);
        if (!painted) return state.SkipWithError("not every verdict was painted");
        toSignal.insert(toSignal.end(), clock.toSignalMs.begin(), clock.toSignalMs.end());
        toPaint.insert(toPaint.end(), clock.toPaintMs.begin(), clock.toPaintMs.end());
    }
    const bench::Spread signal = bench::SpreadOf(toSignal);
    const bench::Spread paint = bench::SpreadOf(toPaint);
    state.counters["signal median ms"] = signal.median;
    state.counters["signal max ms"] = signal.max;
    state.counters["paint median ms"] = paint.median;
    state.counters["paint max ms"] = paint.max;
    state.counters["verdicts"] = double(toPaint.size());
}

} // namespace

BENCHMARK(BM_StationWindowIdle)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StationWindowPolling)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StationWindowVerdict)
    ->ArgName("boards")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
