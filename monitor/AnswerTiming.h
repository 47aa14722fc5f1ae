#pragma once

#include "board/BoardFirmware.h"
#include "monitor/Clock.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace monitor {

/// Pairs each request for an answer (codes 2, 4 and 13) with the answer of the same code that
/// follows it, and keeps how long each took. An answer belongs to the latest request of its code
/// still waiting; an earlier request left waiting (the board skipped it) counts as unanswered once
/// Deadline has passed, as does a request whose answer comes later than that.
///
/// This is the monitor's own view: the console handles each answer by its command byte alone.
class AnswerTiming {
public:
    static constexpr std::chrono::milliseconds Deadline{100};
    static constexpr std::array<std::uint8_t, 3> Codes{
        board::firmware::ReadText, board::firmware::ReadAdc, board::firmware::ReadInputs};

    struct Figures {
        std::optional<Clock::duration> last; ///< the latest answer's time, whenever it came
        Clock::duration median{};            ///< over the answers in the span
        Clock::duration p99{};
        Clock::duration longest{};
        std::size_t answered = 0;   ///< in the span
        std::size_t unanswered = 0; ///< requests sent in the span left without an answer
    };

    static bool isRequestCode(std::uint8_t code);

    void request(std::uint8_t code, Clock::time_point sent);
    void answer(std::uint8_t code, Clock::time_point received);
    /// Counts every request older than Deadline at `now` as unanswered.
    void expire(Clock::time_point now);
    /// Forgets answers and misses from before `cutoff`.
    void forgetBefore(Clock::time_point cutoff);

    Figures figures(std::uint8_t code, Clock::time_point spanStart) const;
    /// When the earliest waiting request runs out of time; none while nothing waits.
    std::optional<Clock::time_point> nextDeadline() const;

private:
    struct Answered {
        Clock::time_point received;
        Clock::duration took;
    };
    struct PerCode {
        std::vector<Clock::time_point> waiting; // oldest first
        std::deque<Answered> answered;
        std::deque<Clock::time_point> unanswered; // when each was sent
        std::optional<Clock::duration> last;
    };

    static std::size_t slot(std::uint8_t code);
    static void expire(PerCode& code, Clock::time_point now);

    std::array<PerCode, Codes.size()> codes_;
};

} // namespace monitor
