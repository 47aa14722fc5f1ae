// Polling: Start Loop clicked on the shown window; each A/D request the board receives is one
// tick, timed on the steady clock as the board gets it.
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

void Polling(ResultTable& table, Qt::TimerType type, const char* name,
             std::chrono::milliseconds duration) {
    ConsoleRig rig;
    rig.ui().Timer2->setTimerType(type);
    std::vector<Clock::time_point> ticks;
    ticks.reserve(2000);
    QObject::connect(rig.board, &hid::VirtualBoard::reportReceived, [&](const hid::Report& report) {
        if (report[protocol::CommandIndex] == protocol::Code::ReadAdc)
            ticks.push_back(Clock::now());
    });
    const auto cpu0 = CpuTime();
    const auto wall0 = Clock::now();
    QTest::mouseClick(rig.ui().StartLoop, Qt::LeftButton);
    RunFor(duration);
    QTest::mouseClick(rig.ui().StopLoop, Qt::LeftButton);
    const double cpuShare = Ms(CpuTime() - cpu0) / Ms(Clock::now() - wall0) * 100;
    QObject::disconnect(rig.board, &hid::VirtualBoard::reportReceived, nullptr, nullptr);

    std::vector<double> intervals;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        intervals.push_back(Ms(ticks[i] - ticks[i - 1]));
    const double rate =
        ticks.size() < 2 ? 0 : double(intervals.size()) / (Ms(ticks.back() - ticks.front()) / 1000);
    const double median = Percentile(intervals, 0.5);
    const double p99 = Percentile(intervals, 0.99);
    const double worst =
        intervals.empty() ? NAN : *std::max_element(intervals.begin(), intervals.end());
    const bool goalApplies = type == Qt::PreciseTimer; // the loop's own timer
    const std::string suffix = goalApplies ? "" : " (comparison)";
    table.add(Format("Polling, %s timer: ticks/s over %.0f s", name, duration.count() / 1000.0),
              Format("%.2f (%zu ticks)", rate, ticks.size()), "≥ 49.5 (99% of 50)" + suffix,
              goalApplies ? YesNo(rate >= 49.5) : "-");
    table.add(Format("Polling, %s timer: tick interval median / p99 / max", name),
              Format("%.2f / %.2f / %.2f ms", median, p99, worst), "p99 ≤ 21 ms" + suffix,
              goalApplies ? YesNo(p99 <= 21.0) : "-");
    table.add(Format("Polling, %s timer: CPU", name), Format("%.1f%% of one core", cpuShare), "-",
              "-");
}

} // namespace

void PollingScenario(ScenarioContext& context) {
    const std::chrono::seconds duration(context.options.pollSeconds);
    Polling(context.table, Qt::PreciseTimer, "precise (Start Loop's own)", duration);
    Polling(context.table, Qt::CoarseTimer, "coarse (Qt's default)", duration);
}

} // namespace bench
