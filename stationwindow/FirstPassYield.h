#pragma once

#include <set>
#include <string>

namespace stationwindow {

/// The first-pass yield of a station: of the boards checked, the share that passed the first
/// time they were checked. A board is known by its serial; one checked again (a rework) counts
/// only its first check. Boards without a serial count each time.
class FirstPassYield {
public:
    /// A board's counted verdict.
    void add(const std::string& serial, bool passed);
    std::size_t boards() const { return boards_; }
    std::size_t firstPassed() const { return firstPassed_; }
    /// "first-pass yield 91.7% (11 of 12)", or "first-pass yield -" before any board.
    std::string text() const;

private:
    std::set<std::string> seen_;
    std::size_t boards_ = 0;
    std::size_t firstPassed_ = 0;
};

} // namespace stationwindow
