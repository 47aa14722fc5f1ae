#include "check/PendingAnswers.h"

#include <algorithm>

namespace check {

using namespace std::chrono_literals;

Clock::duration LateWindow(Clock::duration limit) {
    return limit + std::max<Clock::duration>(limit, 100ms);
}

void PendingAnswers::sent(std::uint8_t code, Owner owner, std::optional<Clock::duration> limit,
                          Clock::time_point now) {
    codes_[code].push_back({owner, limit, now, now});
}

std::optional<PendingAnswers::Written> PendingAnswers::written(std::uint8_t code,
                                                               Clock::time_point now) {
    Requests& requests = codes_[code];
    const auto request =
        std::find_if(requests.begin(), requests.end(), [](const Request& r) { return !r.written; });
    if (request == requests.end()) return std::nullopt;
    const Written outcome{request->owner, open(*request)};
    if (unanswered(*request)) {
        request->written = true;
        request->since = now;
    } else {
        requests.erase(request); // no answer wanted, or it came first
    }
    return outcome;
}

std::optional<Owner> PendingAnswers::notWritten(std::uint8_t code) {
    Requests& requests = codes_[code];
    const auto request =
        std::find_if(requests.begin(), requests.end(), [](const Request& r) { return !r.written; });
    if (request == requests.end()) return std::nullopt;
    const bool counted = request->lost || request->answered; // told already
    const Owner owner = request->owner;
    requests.erase(request);
    if (counted) return std::nullopt;
    return owner;
}

std::optional<PendingAnswers::Answer> PendingAnswers::answered(std::uint8_t code,
                                                               Clock::time_point arrived) {
    Requests& requests = codes_[code];
    const auto request = std::find_if(requests.begin(), requests.end(), unanswered);
    if (request == requests.end()) return std::nullopt;
    Answer answer;
    answer.owner = request->owner;
    answer.took = arrived - request->sent;
    answer.late = answer.took > *request->limit || request->lost;
    answer.lost = request->lost;
    if (request->written)
        requests.erase(request);
    else
        request->answered = true; // kept until its write is told, which then ends it
    return answer;
}

std::vector<Owner> PendingAnswers::closeWindows(Clock::time_point now) {
    std::vector<Owner> lost;
    for (auto& [code, requests] : codes_)
        for (Request& request : requests)
            if (open(request) && request.written &&
                now - request.since > LateWindow(*request.limit)) {
                request.lost = true;
                lost.push_back(request.owner);
            }
    return lost;
}

std::size_t PendingAnswers::abandon(Owner owner) {
    std::size_t abandoned = 0;
    for (auto& [code, requests] : codes_)
        for (Request& request : requests) {
            if (request.owner != owner) continue;
            abandoned += open(request);
            request.lost = true;
        }
    return abandoned;
}

bool PendingAnswers::waiting(Owner owner) const {
    return std::any_of(codes_.begin(), codes_.end(), [&](const auto& entry) {
        return std::any_of(entry.second.begin(), entry.second.end(),
                           [&](const Request& r) { return r.owner == owner && open(r); });
    });
}

std::optional<Clock::time_point> PendingAnswers::nextClose() const {
    std::optional<Clock::time_point> next;
    for (const auto& [code, requests] : codes_)
        for (const Request& request : requests)
            if (open(request) && request.written) {
                const Clock::time_point closes = request.since + LateWindow(*request.limit);
                if (!next || closes < *next) next = closes;
            }
    return next;
}

} // namespace check
