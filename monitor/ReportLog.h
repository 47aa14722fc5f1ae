#pragma once

#include "hid/ReportObserver.h"
#include "monitor/AnswerTiming.h"
#include "monitor/Clock.h"

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace monitor {

/// One charted value: the A/D reading, the input bits or the port D byte of one report.
struct Sample {
    Clock::time_point time;
    std::uint8_t code; ///< the report's command byte
    std::uint8_t value;
};

/// The three things the monitor charts over time.
enum class Series { AdValue, InputBits, PortD };

/// Reports in and out of one command code over the last second.
struct CodeRate {
    std::uint8_t code;
    int out;
    int in;
};

/// Everything the monitor keeps of the reports it was told of: the charted values of the last
/// Kept, the reports of the last second for the rates, the counts of each direction since it
/// started, and the answer timing. Adding a report costs a few appends and never paints.
class ReportLog {
public:
    /// The longest span shown.
    static constexpr std::chrono::seconds Kept{60};

    /// Every board's reports alike: the monitor shows what the layer does, whichever board.
    void add(hid::ReportDirection direction, const hid::Report& report, Clock::time_point time);
    /// Counts `count` input reports lost on their way to the layer as dropped.
    void addLost(std::uint64_t count);
    /// Counts requests that ran out of time by `now` as unanswered, and forgets the answer
    /// times and misses older than Kept.
    void expire(Clock::time_point now);

    /// The series' samples from `from` on, led by the last one before it (its level at `from`).
    std::span<const Sample> samples(Series series, Clock::time_point from) const;
    /// The reports of each code seen in the second before `now`, codes in ascending order.
    std::vector<CodeRate> rates(Clock::time_point now) const;
    const hid::DirectionCounts& counts() const { return counts_; }
    std::uint64_t total() const { return total_; }
    const AnswerTiming& timing() const { return timing_; }

private:
    struct Recent {
        Clock::time_point time;
        std::uint8_t code;
        bool out;
    };

    void append(Series series, Clock::time_point time, std::uint8_t code, std::uint8_t value);

    // Contiguous, so a span of samples can be handed to the charts without copying; the
    // oldest samples are dropped in blocks, which keeps adding constant on average.
    std::array<std::vector<Sample>, 3> series_;
    std::deque<Recent> recent_;
    hid::DirectionCounts counts_{};
    std::uint64_t total_ = 0;
    AnswerTiming timing_;
};

} // namespace monitor
