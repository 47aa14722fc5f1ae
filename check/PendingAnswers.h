#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>

namespace check {

using Clock = std::chrono::steady_clock;

/// The requests sent to the board and still waiting for their answers, by command code. The
/// board answers in order, so an answer belongs to the oldest unanswered request of its code.
///
/// A request's answer time runs from the moment its write was told complete. The write's
/// completion and the answer come from different threads, so a quick board's answer can reach
/// the layer first: such an answer still belongs to its request, timed from when it was sent.
class PendingAnswers {
public:
    /// A request with this code is about to be handed to the layer.
    void sent(std::uint8_t code, Clock::time_point now);
    /// The oldest request of this code not yet written was written completely. Answers true
    /// when it now waits for its answer, false when that came first or no such request was sent.
    bool written(std::uint8_t code, Clock::time_point now);
    /// The oldest request of this code not yet written never will be (refused or failed).
    void notWritten(std::uint8_t code);
    /// An answer with this code arrived: how long its request waited, or nothing when no
    /// request of its code waits.
    std::optional<Clock::duration> answered(std::uint8_t code, Clock::time_point arrived);
    /// Forgets the unanswered requests older than `limit`; answers how many.
    std::size_t expire(Clock::time_point now, Clock::duration limit);
    /// Forgets every request still waiting for its answer; answers how many. Those answered
    /// before their write was told stay until it is, so a late completion is not taken for a
    /// newer request's.
    std::size_t clear();
    /// True when no request waits for its answer.
    bool empty() const;

private:
    struct Request {
        Clock::time_point since; ///< sent, then written
        bool written = false;
        bool answered = false; ///< answered before its write was told complete
    };
    using Requests = std::deque<Request>;

    static Requests::iterator firstUnwritten(Requests& requests);

    std::map<std::uint8_t, Requests> requests_;
};

} // namespace check
