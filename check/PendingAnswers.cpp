#include "check/PendingAnswers.h"

#include <algorithm>
#include <utility>

namespace check {

void PendingAnswers::written(std::uint8_t code, Clock::time_point written) {
    waiting_[code].push_back(written);
}

std::optional<Clock::duration> PendingAnswers::answered(std::uint8_t code,
                                                        Clock::time_point arrived) {
    const auto it = waiting_.find(code);
    if (it == waiting_.end() || it->second.empty()) return std::nullopt;
    const Clock::duration took = arrived - it->second.front();
    it->second.pop_front();
    return took;
}

std::size_t PendingAnswers::expire(Clock::time_point now, Clock::duration limit) {
    std::size_t expired = 0;
    for (auto& [code, times] : waiting_)
        for (; !times.empty() && now - times.front() > limit; ++expired)
            times.pop_front();
    return expired;
}

std::size_t PendingAnswers::clear() {
    std::size_t cleared = 0;
    for (auto& [code, times] : waiting_)
        cleared += std::exchange(times, {}).size();
    return cleared;
}

bool PendingAnswers::empty() const {
    return std::all_of(waiting_.begin(), waiting_.end(),
                       [](const auto& entry) { return entry.second.empty(); });
}

} // namespace check
