#include "check/PendingAnswers.h"

#include <algorithm>

namespace check {

PendingAnswers::Requests::iterator PendingAnswers::firstUnwritten(Requests& requests) {
    return std::find_if(requests.begin(), requests.end(),
                        [](const Request& request) { return !request.written; });
}

void PendingAnswers::sent(std::uint8_t code, Clock::time_point now) {
    requests_[code].push_back({now});
}

bool PendingAnswers::written(std::uint8_t code, Clock::time_point now) {
    Requests& requests = requests_[code];
    const auto request = firstUnwritten(requests);
    if (request == requests.end()) return false;
    if (request->answered) {
        requests.erase(request); // its answer came first; nothing more to wait for
        return false;
    }
    request->written = true;
    request->since = now;
    return true;
}

void PendingAnswers::notWritten(std::uint8_t code) {
    Requests& requests = requests_[code];
    if (const auto request = firstUnwritten(requests); request != requests.end())
        requests.erase(request);
}

std::optional<Clock::duration> PendingAnswers::answered(std::uint8_t code,
                                                        Clock::time_point arrived) {
    Requests& requests = requests_[code];
    const auto request = std::find_if(requests.begin(), requests.end(),
                                      [](const Request& r) { return !r.answered; });
    if (request == requests.end()) return std::nullopt;
    const Clock::duration took = arrived - request->since;
    if (request->written)
        requests.erase(request);
    else
        request->answered = true; // kept until its write is told, which then ends it
    return took;
}

std::size_t PendingAnswers::expire(Clock::time_point now, Clock::duration limit) {
    std::size_t expired = 0;
    for (auto& [code, requests] : requests_)
        std::erase_if(requests, [&](const Request& request) {
            const bool old = now - request.since > limit;
            expired += old && !request.answered;
            return old;
        });
    return expired;
}

std::size_t PendingAnswers::clear() {
    std::size_t unanswered = 0;
    for (auto& [code, requests] : requests_)
        unanswered += std::erase_if(requests, [](const Request& r) { return !r.answered; });
    return unanswered;
}

bool PendingAnswers::empty() const {
    return std::all_of(requests_.begin(), requests_.end(), [](const auto& entry) {
        return std::all_of(entry.second.begin(), entry.second.end(),
                           [](const Request& r) { return r.answered; });
    });
}

} // namespace check
