#include "check/PendingAnswers.h"

#include <algorithm>

namespace check {

using namespace std::chrono_literals;

Clock::duration LateWindow(Clock::duration limit) {
    return limit + std::max<Clock::duration>(limit, 100ms);
}

void PendingAnswers::Code::settle() {
    requests.erase(std::remove_if(live(), requests.end(),
                                  [](const Request& r) { return r.awaited && r.lost; }),
                   requests.end());
    while (settled < requests.size() && requests[settled].written && requests[settled].lost)
        ++settled;
}

void PendingAnswers::sent(std::uint8_t code, Owner owner, std::optional<Clock::duration> limit,
                          Clock::time_point now) {
    codes_[code].requests.push_back({owner, limit, now, now});
}

void PendingAnswers::expect(std::uint8_t code, Owner owner, Clock::duration limit,
                            Clock::time_point now) {
    codes_[code].requests.push_back({.owner = owner,
                                     .limit = limit,
                                     .sent = now,
                                     .since = now,
                                     .written = true,
                                     .awaited = true});
}

std::optional<PendingAnswers::Written> PendingAnswers::written(std::uint8_t code,
                                                               Clock::time_point now) {
    Code& entry = codes_[code];
    const auto request = std::find_if(entry.live(), entry.requests.end(),
                                      [](const Request& r) { return !r.written; });
    if (request == entry.requests.end()) return std::nullopt;
    const Written outcome{request->owner, open(*request)};
    if (unanswered(*request)) {
        request->written = true;
        request->since = now;
        entry.settle(); // one given up before its write
    } else {
        entry.requests.erase(request); // no answer wanted, or it came first
    }
    return outcome;
}

std::optional<Owner> PendingAnswers::notWritten(std::uint8_t code) {
    Code& entry = codes_[code];
    const auto request = std::find_if(entry.live(), entry.requests.end(),
                                      [](const Request& r) { return !r.written; });
    if (request == entry.requests.end()) return std::nullopt;
    const bool counted = request->lost || request->answered; // told already
    const Owner owner = request->owner;
    entry.requests.erase(request);
    if (counted) return std::nullopt;
    return owner;
}

std::optional<PendingAnswers::Answer> PendingAnswers::answered(std::uint8_t code,
                                                               Clock::time_point arrived) {
    Code& entry = codes_[code];
    Requests& requests = entry.requests;
    const auto request = std::find_if(requests.begin(), requests.end(), unanswered);
    if (request == requests.end()) return std::nullopt;
    Answer answer;
    answer.owner = request->owner;
    answer.took = arrived - request->sent;
    answer.late = answer.took > *request->limit || request->lost;
    answer.lost = request->lost;
    if (request->written) {
        if (request < entry.live()) --entry.settled; // the oldest settled one
        requests.erase(request);
    } else {
        request->answered = true; // kept until its write is told, which then ends it
    }
    return answer;
}

std::vector<Owner> PendingAnswers::closeWindows(Clock::time_point now) {
    std::vector<Owner> lost;
    for (auto& [code, entry] : codes_) {
        for (auto request = entry.live(); request != entry.requests.end(); ++request)
            if (open(*request) && request->written &&
                now - request->since > LateWindow(*request->limit)) {
                request->lost = true;
                lost.push_back(request->owner);
            }
        entry.settle();
    }
    return lost;
}

std::size_t PendingAnswers::abandon(Owner owner) {
    std::size_t abandoned = 0;
    for (auto& [code, entry] : codes_) {
        for (auto request = entry.live(); request != entry.requests.end(); ++request) {
            if (request->owner != owner) continue;
            abandoned += open(*request);
            request->lost = true;
        }
        entry.settle();
    }
    return abandoned;
}

bool PendingAnswers::waiting(Owner owner) const {
    return std::any_of(codes_.begin(), codes_.end(), [&](const auto& each) {
        const Code& entry = each.second;
        return std::any_of(entry.live(), entry.requests.end(),
                           [&](const Request& r) { return r.owner == owner && open(r); });
    });
}

std::optional<Clock::time_point> PendingAnswers::nextClose() const {
    std::optional<Clock::time_point> next;
    for (const auto& [code, entry] : codes_)
        for (auto request = entry.live(); request != entry.requests.end(); ++request)
            if (open(*request) && request->written) {
                const Clock::time_point closes = request->since + LateWindow(*request->limit);
                if (!next || closes < *next) next = closes;
            }
    return next;
}

} // namespace check
