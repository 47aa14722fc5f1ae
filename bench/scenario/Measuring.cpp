#include "bench/scenario/Measuring.h"

#include "stats/Percentile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sys/resource.h>

namespace bench {

double Percentile(std::vector<double> values, double p) {
    return values.empty() ? NAN : stats::Percentile(values, p);
}

Spread SpreadOf(const std::vector<double>& values) {
    if (values.empty()) return {NAN, NAN, NAN};
    const auto [min, max] = std::minmax_element(values.begin(), values.end());
    return {Percentile(values, 0.5), *min, *max};
}

std::string CpuSpread(const std::vector<double>& percents, const char* runs, int decimals) {
    const Spread spread = SpreadOf(percents);
    return Format("%.*f%% of one core (%zu %s: %.*f to %.*f%%)", decimals, spread.median,
                  percents.size(), runs, decimals, spread.min, decimals, spread.max);
}

Clock::duration CpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto tv = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return std::chrono::duration_cast<Clock::duration>(tv(usage.ru_utime) + tv(usage.ru_stime));
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

void RunFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    QDeadlineTimer timer(deadline);
    while (!done()) {
        if (timer.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void Drain() {
    for (int round = 0; round < 8; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace bench
