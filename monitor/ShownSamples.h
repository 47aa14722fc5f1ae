#pragma once

#include "monitor/ReportLog.h"

#include <algorithm>
#include <span>
#include <vector>

namespace monitor {

/// What a chart shows: a copy of the samples (led by the last one before the span, as
/// ReportLog gives them) and the span they are shown over. A copy, so the picture stays
/// while the monitor is paused.
struct ShownSamples {
    std::vector<Sample> samples;
    Clock::time_point from{};
    Clock::time_point to{};

    void assign(std::span<const Sample> shown, Clock::time_point spanFrom,
                Clock::time_point spanTo) {
        samples.assign(shown.begin(), shown.end());
        from = spanFrom;
        to = spanTo;
    }
    /// The samples from the span's start on.
    std::span<const Sample> inSpan() const {
        const auto first = std::partition_point(samples.begin(), samples.end(),
                                                [&](const Sample& s) { return s.time < from; });
        return {first, samples.end()};
    }
};

} // namespace monitor
