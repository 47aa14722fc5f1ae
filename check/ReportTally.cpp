#include "check/ReportTally.h"

namespace check {

void ReportTally::record(hid::ReportDirection direction, hid::Handle, const hid::Report&) {
    ++counts_[hid::directionIndex(direction)];
}

void ReportTally::reportsLost(hid::Handle, std::uint64_t count) {
    counts_[hid::directionIndex(hid::ReportDirection::Dropped)] += count;
}

} // namespace check
