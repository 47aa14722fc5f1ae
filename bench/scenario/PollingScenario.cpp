// Polling: Start Loop clicked on the shown window; each A/D request the board receives is one
// tick, timed on the steady clock as the board gets it. Each timer type is run several times,
// in turn with the other: the tick figures pool the runs, the CPU share is their median.
#include "bench/scenario/ConsoleRig.h"
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"
#include "protocol/ReportLayout.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

namespace {

/// What the runs of one timer type gathered.
struct PollingRuns {
    std::vector<double> intervals; // between ticks, ms, every run's
    double tickSpanMs = 0;         // first to last tick, summed over the runs
    std::size_t ticks = 0;
    std::vector<double> cpuPercents; // one per run
};

void PollOnce(PollingRuns& runs, Qt::TimerType type, std::chrono::milliseconds duration) {
    ConsoleRig rig;
    rig.ui().Timer2->setTimerType(type);
    std::vector<Clock::time_point> ticks;
    ticks.reserve(2000);
    QObject::connect(rig.board, &board::VirtualBoard::reportReceived,
                     [&](const hid::Report& report) {
                         if (report[protocol::CommandIndex] == protocol::Code::ReadAdc)
                             ticks.push_back(Clock::now());
                     });
    const auto cpu0 = CpuTime();
    const auto wall0 = Clock::now();
    QTest::mouseClick(rig.ui().StartLoop, Qt::LeftButton);
    RunFor(duration);
    QTest::mouseClick(rig.ui().StopLoop, Qt::LeftButton);
    runs.cpuPercents.push_back(Ms(CpuTime() - cpu0) / Ms(Clock::now() - wall0) * 100);
    QObject::disconnect(rig.board, &board::VirtualBoard::reportReceived, nullptr, nullptr);

    for (std::size_t i = 1; i < ticks.size(); ++i)
        runs.intervals.push_back(Ms(ticks[i] - ticks[i - 1]));
    if (ticks.size() >= 2) runs.tickSpanMs += Ms(ticks.back() - ticks.front());
    runs.ticks += ticks.size();
}

void ReportPolling(ResultTable& table, const PollingRuns& runs, bool goalApplies, const char* name,
                   std::chrono::milliseconds duration) {
    const double rate =
        runs.tickSpanMs > 0 ? double(runs.intervals.size()) / (runs.tickSpanMs / 1000) : 0;
    const double median = Percentile(runs.intervals, 0.5);
    const double p99 = Percentile(runs.intervals, 0.99);
    const double worst = runs.intervals.empty()
                             ? NAN
                             : *std::max_element(runs.intervals.begin(), runs.intervals.end());
    const std::string suffix = goalApplies ? "" : " (comparison)";
    table.add(Format("Polling, %s timer: ticks/s over %zu runs of %.0f s", name,
                     runs.cpuPercents.size(), duration.count() / 1000.0),
              Format("%.2f (%zu ticks)", rate, runs.ticks), "≥ 49.5 (99% of 50)" + suffix,
              goalApplies ? YesNo(rate >= 49.5) : "-");
    table.add(Format("Polling, %s timer: tick interval median / p99 / max", name),
              Format("%.2f / %.2f / %.2f ms", median, p99, worst), "p99 ≤ 21 ms" + suffix,
              goalApplies ? YesNo(p99 <= 21.0) : "-");
    table.add(Format("Polling, %s timer: CPU", name), CpuSpread(runs.cpuPercents, "runs"), "-",
              "-");
}

} // namespace

void PollingScenario(ScenarioContext& context) {
    const std::chrono::seconds duration(context.options.pollSeconds);
    PollingRuns precise;
    PollingRuns coarse;
    for (int run = 0; run < context.options.repeats; ++run) {
        PollOnce(precise, Qt::PreciseTimer, duration);
        PollOnce(coarse, Qt::CoarseTimer, duration);
    }
    // The goals are the loop's own (precise) timer's; Qt's default is shown beside it.
    ReportPolling(context.table, precise, true, "precise (Start Loop's own)", duration);
    ReportPolling(context.table, coarse, false, "coarse (Qt's default)", duration);
}

} // namespace bench
