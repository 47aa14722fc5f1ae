#pragma once

#include <chrono>
#include <functional>

namespace monitor {

using Clock = std::chrono::steady_clock;
/// Where the monitor takes the time of each report; tests hand in a clock they move by hand.
using ClockSource = std::function<Clock::time_point()>;

} // namespace monitor
