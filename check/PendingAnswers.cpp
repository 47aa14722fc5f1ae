#include "check/PendingAnswers.h"

#include <algorithm>

namespace check {
namespace {

using namespace std::chrono_literals;

Clock::duration Distance(Clock::duration a, Clock::duration b) {
    return a > b ? a - b : b - a;
}

} // namespace

Clock::duration LateWindow(Clock::duration limit) {
    return limit + std::max<Clock::duration>(limit, 100ms);
}

void PendingAnswers::settle(Requests& requests, Requests::iterator request) {
    if (request->written)
        requests.erase(request);
    else
        request->settled = true; // kept until its write is told, which then ends it
}

void PendingAnswers::sent(std::uint8_t code, Owner owner, std::optional<Clock::duration> limit,
                          Clock::time_point now) {
    codes_[code].requests.push_back({owner, limit, now});
}

std::optional<PendingAnswers::Written> PendingAnswers::written(std::uint8_t code,
                                                               Clock::time_point now) {
    Requests& requests = codes_[code].requests;
    const auto request =
        std::find_if(requests.begin(), requests.end(), [](const Request& r) { return !r.written; });
    if (request == requests.end()) return std::nullopt;
    const Written outcome{request->owner, open(*request)};
    if (outcome.awaitsAnswer) {
        request->written = true;
        request->since = now;
    } else {
        requests.erase(request); // no answer wanted, or it came first
    }
    return outcome;
}

std::optional<Owner> PendingAnswers::notWritten(std::uint8_t code) {
    Requests& requests = codes_[code].requests;
    const auto request =
        std::find_if(requests.begin(), requests.end(), [](const Request& r) { return !r.written; });
    if (request == requests.end()) return std::nullopt;
    const bool givenUp = request->settled; // answered first, or abandoned
    const Owner owner = request->owner;
    requests.erase(request);
    if (givenUp) return std::nullopt;
    return owner;
}

std::optional<PendingAnswers::Answer> PendingAnswers::answered(std::uint8_t code,
                                                               Clock::time_point arrived) {
    Code& entry = codes_[code];
    Requests& requests = entry.requests;
    std::vector<Requests::iterator> candidates;
    for (auto request = requests.begin(); request != requests.end(); ++request)
        if (open(*request)) candidates.push_back(request);
    if (candidates.empty()) return std::nullopt;

    std::size_t chosen = 0;
    const Clock::duration oldestTook = arrived - candidates[0]->since;
    if (entry.lastTook && oldestTook <= *candidates[0]->limit) {
        Clock::duration nearest = Distance(oldestTook, *entry.lastTook);
        for (std::size_t i = 1; i < candidates.size(); ++i) {
            const Clock::duration distance =
                Distance(arrived - candidates[i]->since, *entry.lastTook);
            if (distance < nearest) {
                nearest = distance;
                chosen = i;
            }
        }
    }
    Answer answer;
    answer.owner = candidates[chosen]->owner;
    answer.took = arrived - candidates[chosen]->since;
    answer.late = answer.took > *candidates[chosen]->limit;
    entry.lastTook = answer.took;
    for (std::size_t i = 0; i < chosen; ++i)
        answer.skipped.push_back(candidates[i]->owner);
    // From the newest down, so that erasing one leaves the older iterators valid.
    for (std::size_t i = chosen + 1; i-- > 0;)
        settle(requests, candidates[i]);
    return answer;
}

std::vector<Owner> PendingAnswers::closeWindows(Clock::time_point now) {
    std::vector<Owner> lost;
    for (auto& [code, entry] : codes_)
        std::erase_if(entry.requests, [&](const Request& request) {
            const bool closed = open(request) && request.written &&
                                now - request.since > LateWindow(*request.limit);
            if (closed) lost.push_back(request.owner);
            return closed;
        });
    return lost;
}

std::size_t PendingAnswers::abandon(Owner owner) {
    std::size_t abandoned = 0;
    for (auto& [code, entry] : codes_) {
        Requests& requests = entry.requests;
        for (auto request = requests.begin(); request != requests.end();) {
            if (request->owner != owner || request->settled) {
                ++request;
                continue;
            }
            abandoned += open(*request);
            if (request->written) {
                request = requests.erase(request);
            } else {
                request->settled = true;
                ++request;
            }
        }
    }
    return abandoned;
}

bool PendingAnswers::waiting(Owner owner) const {
    return std::any_of(codes_.begin(), codes_.end(), [&](const auto& entry) {
        return std::any_of(entry.second.requests.begin(), entry.second.requests.end(),
                           [&](const Request& r) { return r.owner == owner && open(r); });
    });
}

std::optional<Clock::time_point> PendingAnswers::nextClose() const {
    std::optional<Clock::time_point> next;
    for (const auto& [code, entry] : codes_)
        for (const Request& request : entry.requests)
            if (open(request) && request.written) {
                const Clock::time_point closes = request.since + LateWindow(*request.limit);
                if (!next || closes < *next) next = closes;
            }
    return next;
}

} // namespace check
