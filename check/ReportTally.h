#pragma once

#include "hid/ReportObserver.h"

#include <cstdint>

namespace check {

/// The reports of one board run, counted by what became of them.
struct ReportCounts {
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    std::uint64_t dropped = 0;
    std::uint64_t failed = 0;
    std::uint64_t refused = 0;
};

/// Counts every report the layer tells of, as long as it is an observer of the layer.
class ReportTally final : public hid::ReportObserver {
public:
    void record(hid::ReportDirection direction, hid::Handle handle,
                const hid::Report& report) override;
    void reportsLost(hid::Handle handle, std::uint64_t count) override;

    const ReportCounts& counts() const { return counts_; }

private:
    ReportCounts counts_;
};

} // namespace check
