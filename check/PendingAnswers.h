#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace check {

using Clock = std::chrono::steady_clock;

/// Who sent a request: the place its step's result has, or will have, in the run's record.
using Owner = std::size_t;

/// How long a request stays open for its answer: its limit, then as long again (at least
/// 100 ms more), so that a late answer is still told apart from the next request's.
Clock::duration LateWindow(Clock::duration limit);

/// The requests sent to the board whose write or answer is still to come, by command code.
///
/// The board answers each code in order. A request is open from its send until it is
/// answered, or until its late window (LateWindow, from its write's completion) closes: then
/// it is lost, and counts as unanswered. An answer belongs to the oldest request of its code
/// not answered yet, lost ones included, so an answer later than its limit, however late, is
/// its own request's late answer and never a later request's. A board that leaves a request
/// unanswered therefore makes the later answers of that code look later, never sooner: no
/// answer passes for a request it does not belong to.
///
/// An answer's time runs from the moment its request was handed to the layer. The news of the
/// write's completion can come late (it crosses threads, and waits its turn behind other
/// events), and a board may answer before it: timed from the send, an answer is never taken
/// for quicker than it was. Its late window counts from the write's completion, so that a
/// write held up in the layer does not lose its answer.
class PendingAnswers {
public:
    /// What an answer answered.
    struct Answer {
        Owner owner = 0;
        Clock::duration took{};
        bool late = false; ///< later than its request's limit
        bool lost = false; ///< its request's late window had closed: counted unanswered already
    };
    /// What a write's completion completed.
    struct Written {
        Owner owner;
        bool awaitsAnswer = false; ///< its answer is still to come
    };

    /// A request with this code is about to be handed to the layer. `limit` is how long its
    /// answer may take; a request that wants no answer has none.
    void sent(std::uint8_t code, Owner owner, std::optional<Clock::duration> limit,
              Clock::time_point now);
    /// An answer with this code is awaited for a request sent with another code (written
    /// under that code, with no answer wanted): open from now, its late window counting at once.
    /// Once that window closes it is forgotten: no request of this code was sent, so a later
    /// answer of this code is a later request's.
    void expect(std::uint8_t code, Owner owner, Clock::duration limit, Clock::time_point now);
    /// The oldest request of this code not yet written was written completely.
    std::optional<Written> written(std::uint8_t code, Clock::time_point now);
    /// The oldest request of this code not yet written never will be (refused or failed).
    std::optional<Owner> notWritten(std::uint8_t code);
    /// An answer with this code arrived: the request it answers, or nothing when every request
    /// of its code has its answer.
    std::optional<Answer> answered(std::uint8_t code, Clock::time_point arrived);
    /// Closes the late windows that have passed; answers the owners of the requests lost so.
    std::vector<Owner> closeWindows(Clock::time_point now);
    /// Counts every open request of `owner` as lost now; answers how many.
    std::size_t abandon(Owner owner);
    /// True while a request of `owner` is open.
    bool waiting(Owner owner) const;
    /// When the next late window closes; nothing while none is counting (no open request, or
    /// only requests whose write is still to complete).
    std::optional<Clock::time_point> nextClose() const;

private:
    struct Request {
        Owner owner;
        std::optional<Clock::duration> limit; ///< none: no answer wanted
        Clock::time_point sent;               ///< handed to the layer
        Clock::time_point since;              ///< sent, then written: its window counts from it
        bool written = false;
        bool lost = false;     ///< its window closed, or it was given up: counted unanswered
        bool answered = false; ///< kept only until its write is told
        /// Awaited under another code than its request's (expect): the board owes no answer of
        /// this code, so once lost it is forgotten rather than kept for a late answer.
        bool awaited = false;
    };
    using Requests = std::deque<Request>;
    /// A code's requests, oldest first. The first `settled` are written and lost: they wait
    /// only for a late answer to pair with, so the per-tick work skips them, and a long run
    /// of a silent board costs no more per tick than a short one.
    struct Code {
        Requests requests;
        std::size_t settled = 0;

        Requests::iterator live() { return requests.begin() + std::ptrdiff_t(settled); }
        Requests::const_iterator live() const { return requests.begin() + std::ptrdiff_t(settled); }
        /// Forgets the awaited answers that are lost, then takes written, lost requests after
        /// the settled ones into them.
        void settle();
    };

    /// Waiting for its answer: within its window, or lost.
    static bool unanswered(const Request& r) { return r.limit && !r.answered; }
    static bool open(const Request& r) { return unanswered(r) && !r.lost; }

    std::map<std::uint8_t, Code> codes_;
};

} // namespace check
