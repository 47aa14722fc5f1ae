#pragma once

#include "hid/ReportObserver.h"

#include <cstdint>

namespace bench {

/// Counts the input reports that reach the layer, and those it drops once queued. (Reports a
/// device loses before they reach the layer are only in DeviceManager::droppedReports.)
class ReportCounter final : public hid::ReportObserver {
public:
    std::uint64_t in = 0;
    std::uint64_t dropped = 0;

    void record(hid::ReportDirection direction, hid::Handle, const hid::Report&) override {
        if (direction == hid::ReportDirection::In) ++in;
        if (direction == hid::ReportDirection::Dropped) ++dropped;
    }
};

} // namespace bench
