#pragma once

#include <cstddef>
#include <ctime>

/// What the uhid board stand-in and the checks that read its log must agree on. Header only:
/// the stand-in links nothing of the project.

/// The clock of the stand-in's log lines and of the checks' figures: CLOCK_MONOTONIC in ms.
inline double MonotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// Where a burst report carries its number, little-endian over four bytes: the position in
/// the console's 33-byte report.
inline constexpr std::size_t BurstNumberStart = 2;
