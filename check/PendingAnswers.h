#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>

namespace check {

using Clock = std::chrono::steady_clock;

/// The requests written to the board and still waiting for their answers, by command code. The
/// board answers in order, so an answer belongs to the oldest request of its code still waiting.
class PendingAnswers {
public:
    /// A request with this code was written at `written`.
    void written(std::uint8_t code, Clock::time_point written);
    /// An answer with this code arrived: how long its request waited, or nothing when no
    /// request of its code waits.
    std::optional<Clock::duration> answered(std::uint8_t code, Clock::time_point arrived);
    /// Forgets the requests written before `now - limit`; answers how many.
    std::size_t expire(Clock::time_point now, Clock::duration limit);
    /// Forgets every waiting request; answers how many.
    std::size_t clear();
    bool empty() const;

private:
    std::map<std::uint8_t, std::deque<Clock::time_point>> waiting_;
};

} // namespace check
