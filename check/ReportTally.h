#pragma once

#include "hid/ReportDirection.h"
#include "hid/ReportObserver.h"

#include <cstdint>

namespace check {

/// Counts every report the layer tells of, as long as it is an observer of the layer.
class ReportTally final : public hid::ReportObserver {
public:
    void record(hid::ReportDirection direction, hid::Handle handle,
                const hid::Report& report) override;
    void reportsLost(hid::Handle handle, std::uint64_t count) override;

    const hid::DirectionCounts& counts() const { return counts_; }

private:
    hid::DirectionCounts counts_{};
};

} // namespace check
