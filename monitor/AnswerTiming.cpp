#include "monitor/AnswerTiming.h"

#include "stats/Percentile.h"

#include <algorithm>

namespace monitor {
namespace {

template <class Container, class TimeOf>
void dropBefore(Container& entries, Clock::time_point cutoff, TimeOf timeOf) {
    while (!entries.empty() && timeOf(entries.front()) < cutoff)
        entries.pop_front();
}

} // namespace

bool AnswerTiming::isRequestCode(std::uint8_t code) {
    return std::find(Codes.begin(), Codes.end(), code) != Codes.end();
}

std::size_t AnswerTiming::slot(std::uint8_t code) {
    return static_cast<std::size_t>(std::find(Codes.begin(), Codes.end(), code) - Codes.begin());
}

void AnswerTiming::request(std::uint8_t code, Clock::time_point sent) {
    codes_[slot(code)].waiting.push_back(sent);
}

void AnswerTiming::answer(std::uint8_t code, Clock::time_point received) {
    PerCode& entry = codes_[slot(code)];
    expire(entry, received);
    if (entry.waiting.empty()) return; // nobody asked, or the request ran out of time
    const Clock::duration took = received - entry.waiting.back();
    entry.waiting.pop_back();
    entry.answered.push_back({received, took});
    entry.last = took;
}

void AnswerTiming::expire(Clock::time_point now) {
    for (PerCode& entry : codes_)
        expire(entry, now);
}

void AnswerTiming::expire(PerCode& entry, Clock::time_point now) {
    const auto late = std::find_if(entry.waiting.begin(), entry.waiting.end(),
                                   [&](Clock::time_point sent) { return now - sent <= Deadline; });
    entry.unanswered.insert(entry.unanswered.end(), entry.waiting.begin(), late);
    entry.waiting.erase(entry.waiting.begin(), late);
}

void AnswerTiming::forgetBefore(Clock::time_point cutoff) {
    for (PerCode& entry : codes_) {
        dropBefore(entry.answered, cutoff, [](const Answered& a) { return a.received; });
        dropBefore(entry.unanswered, cutoff, [](Clock::time_point sent) { return sent; });
    }
}

AnswerTiming::Figures AnswerTiming::figures(std::uint8_t code, Clock::time_point spanStart) const {
    const PerCode& entry = codes_[slot(code)];
    Figures figures;
    figures.last = entry.last;
    figures.unanswered = static_cast<std::size_t>(
        std::count_if(entry.unanswered.begin(), entry.unanswered.end(),
                      [&](Clock::time_point sent) { return sent >= spanStart; }));
    std::vector<Clock::duration> took;
    for (const Answered& answered : entry.answered)
        if (answered.received >= spanStart) took.push_back(answered.took);
    figures.answered = took.size();
    if (took.empty()) return figures;
    figures.longest = *std::max_element(took.begin(), took.end());
    figures.median = stats::Percentile(took, 0.5);
    figures.p99 = stats::Percentile(took, 0.99);
    return figures;
}

std::optional<Clock::time_point> AnswerTiming::nextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const PerCode& entry : codes_)
        if (!entry.waiting.empty() && (!next || entry.waiting.front() + Deadline < *next))
            next = entry.waiting.front() + Deadline;
    return next;
}

} // namespace monitor
