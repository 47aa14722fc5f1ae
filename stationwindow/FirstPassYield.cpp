#include "stationwindow/FirstPassYield.h"

#include <cstdio>

namespace stationwindow {

void FirstPassYield::add(const std::string& serial, bool passed) {
    if (!serial.empty() && !seen_.insert(serial).second) return;
    ++boards_;
    firstPassed_ += passed;
}

std::string FirstPassYield::text() const {
    if (boards_ == 0) return "first-pass yield -";
    char share[96];
    std::snprintf(share, sizeof share, "first-pass yield %.1f%% (%zu of %zu)",
                  100.0 * double(firstPassed_) / double(boards_), firstPassed_, boards_);
    return share;
}

} // namespace stationwindow
