#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

template <class Duration> double Ms(Duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}
template <class Duration> double Us(Duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

/// Nearest-rank percentile, p in [0, 1].
double Percentile(std::vector<double> values, double p);

/// The median of one figure over repeated runs, and how far the runs spread.
struct Spread {
    double median;
    double min;
    double max;
};
Spread SpreadOf(const std::vector<double>& values);

/// A CPU share over repeated runs: "9.4% of one core (5 runs: 8.8 to 10.1%)".
std::string CpuSpread(const std::vector<double>& percents, const char* runs, int decimals = 1);

/// User plus system CPU time of this process.
Clock::duration CpuTime();

/// VmRSS of this process in KiB.
long ResidentKiB();

/// Runs the event loop for `duration`.
void RunFor(std::chrono::milliseconds duration);

/// Runs the event loop until `done` answers true; false once `deadline` has passed.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(5));

/// Delivers what is already posted.
void Drain();

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

} // namespace bench
