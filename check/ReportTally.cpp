#include "check/ReportTally.h"

namespace check {

void ReportTally::record(hid::ReportDirection direction, hid::Handle, const hid::Report&) {
    switch (direction) {
    case hid::ReportDirection::Out:
        ++counts_.sent;
        break;
    case hid::ReportDirection::In:
        ++counts_.received;
        break;
    case hid::ReportDirection::Dropped:
        ++counts_.dropped;
        break;
    case hid::ReportDirection::Failed:
        ++counts_.failed;
        break;
    case hid::ReportDirection::Refused:
        ++counts_.refused;
        break;
    }
}

void ReportTally::reportsLost(hid::Handle, std::uint64_t count) {
    counts_.dropped += count;
}

} // namespace check
