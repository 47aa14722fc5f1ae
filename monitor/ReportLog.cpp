#include "monitor/ReportLog.h"

#include "board/BoardFirmware.h"

#include <algorithm>
#include <map>

namespace monitor {

using hid::ReportDirection;

void ReportLog::add(ReportDirection direction, const hid::Report& report, Clock::time_point time) {
    ++counts_[hid::directionIndex(direction)];
    ++total_;
    if (direction != ReportDirection::In && direction != ReportDirection::Out) return;
    const std::uint8_t code = report[board::firmware::Command];
    const bool out = direction == ReportDirection::Out;
    recent_.push_back({time, code, out});
    while (time - recent_.front().time > std::chrono::seconds(1))
        recent_.pop_front();

    if (out) {
        if (code != board::firmware::StoreClock)
            append(Series::PortD, time, code, report[board::firmware::PortD]);
        if (AnswerTiming::isRequestCode(code)) timing_.request(code, time);
        return;
    }
    if (code == board::firmware::ReadAdc)
        append(Series::AdValue, time, code, report[board::firmware::AdValue]);
    if (code == board::firmware::ReadInputs)
        append(Series::InputBits, time, code, report[board::firmware::InputBits]);
    if (AnswerTiming::isRequestCode(code)) timing_.answer(code, time);
}

void ReportLog::addLost(std::uint64_t count) {
    counts_[hid::directionIndex(ReportDirection::Dropped)] += count;
    total_ += count;
}

void ReportLog::expire(Clock::time_point now) {
    timing_.expire(now);
    timing_.forgetBefore(now - Kept);
}

void ReportLog::append(Series series, Clock::time_point time, std::uint8_t code,
                       std::uint8_t value) {
    std::vector<Sample>& samples = series_[static_cast<std::size_t>(series)];
    samples.push_back({time, code, value});
    // Keep one sample from before the span, for the level the lanes start at. Dropping only
    // once a quarter of the samples are stale moves each sample a bounded number of times.
    const auto firstKept = std::partition_point(
        samples.begin(), samples.end(), [&](const Sample& s) { return s.time < time - Kept; });
    const auto stale = firstKept - samples.begin() - 1;
    if (stale > 0 && std::size_t(stale) * 4 >= samples.size())
        samples.erase(samples.begin(), samples.begin() + stale);
}

std::span<const Sample> ReportLog::samples(Series series, Clock::time_point from) const {
    const std::vector<Sample>& samples = series_[static_cast<std::size_t>(series)];
    auto first = std::partition_point(samples.begin(), samples.end(),
                                      [&](const Sample& s) { return s.time < from; });
    if (first != samples.begin()) --first;
    return {first, samples.end()};
}

std::vector<CodeRate> ReportLog::rates(Clock::time_point now) const {
    std::map<std::uint8_t, CodeRate> byCode;
    for (auto it = recent_.rbegin();
         it != recent_.rend() && now - it->time <= std::chrono::seconds(1); ++it) {
        CodeRate& rate = byCode.try_emplace(it->code, CodeRate{it->code, 0, 0}).first->second;
        ++(it->out ? rate.out : rate.in);
    }
    std::vector<CodeRate> rates;
    for (const auto& [code, rate] : byCode)
        rates.push_back(rate);
    return rates;
}

} // namespace monitor
