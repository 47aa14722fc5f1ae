#include "check/StepLimits.h"

#include "check/TextPattern.h"
#include "stats/Percentile.h"

#include <algorithm>
#include <bitset>
#include <cstdio>

namespace check {
namespace {

std::string Ms(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    return text;
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::string BitNames(const std::vector<std::int64_t>& bits) {
    std::vector<std::string> names;
    for (const std::int64_t bit : bits)
        names.push_back(std::to_string(bit));
    return Join(names);
}

/// The number limits as text.
std::vector<std::string> Numbers(const NumberLimits& limits, std::string (*show)(std::int64_t)) {
    std::vector<std::string> parts;
    if (limits.equals) parts.push_back("= " + show(*limits.equals));
    if (limits.min && limits.max)
        parts.push_back(show(*limits.min) + ".." + show(*limits.max));
    else if (limits.min)
        parts.push_back(">= " + show(*limits.min));
    else if (limits.max)
        parts.push_back("<= " + show(*limits.max));
    return parts;
}

std::string Decimal(std::int64_t value) {
    return std::to_string(value);
}

/// A figure in ms held against an optional upper limit.
Measurement MsFigure(std::string quantity, double ms, std::optional<double> limit) {
    return {std::move(quantity),   Ms(ms), ms, "ms", limit ? "<= " + LimitMs(*limit) + " ms" : "",
            !limit || ms <= *limit};
}

} // namespace

std::string Quoted(std::string text) {
    text.insert(text.begin(), '"');
    text.push_back('"');
    return text;
}

std::string Hex(std::int64_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02llX", static_cast<unsigned long long>(value));
    return text;
}

std::string LimitMs(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", ms);
    return text;
}

bool KeepsNumbers(std::uint8_t value, const NumberLimits& limits) {
    return (!limits.equals || value == *limits.equals) && (!limits.min || value >= *limits.min) &&
           (!limits.max || value <= *limits.max);
}

bool KeepsBits(std::uint8_t value, const BitLimits& bits) {
    bool kept = !bits.mask || !bits.value || (value & *bits.mask) == (*bits.value & *bits.mask);
    for (const std::int64_t bit : bits.bitsHigh)
        kept = kept && (value >> bit & 1) == 1;
    for (const std::int64_t bit : bits.bitsLow)
        kept = kept && (value >> bit & 1) == 0;
    return kept;
}

Measurement AdValue(std::uint8_t value, const NumberLimits& limits) {
    return {"A/D value", std::to_string(value),          double(value),
            "",          Join(Numbers(limits, Decimal)), KeepsNumbers(value, limits)};
}

Measurement InputBits(std::uint8_t value, const NumberLimits& limits, const BitLimits& bits) {
    std::vector<std::string> parts = Numbers(limits, Hex);
    if (bits.mask && bits.value)
        parts.push_back("mask " + Hex(*bits.mask) + " = " + Hex(*bits.value));
    if (!bits.bitsHigh.empty()) parts.push_back("bits high " + BitNames(bits.bitsHigh));
    if (!bits.bitsLow.empty()) parts.push_back("bits low " + BitNames(bits.bitsLow));
    return {"input bits",  Hex(value) + " (" + std::bitset<8>(value).to_string() + ")",
            double(value), "",
            Join(parts),   KeepsNumbers(value, limits) && KeepsBits(value, bits)};
}

Measurement AnswerText(const QString& text, const TextLimits& limits, std::string& undecided) {
    std::vector<std::string> parts;
    bool kept = true;
    if (limits.equals) {
        parts.push_back("= " + Quoted(*limits.equals));
        kept = kept && text == QString::fromStdString(*limits.equals);
    }
    if (limits.prefix) {
        parts.push_back("starts with " + Quoted(*limits.prefix));
        kept = kept && text.startsWith(QString::fromStdString(*limits.prefix));
    }
    if (limits.matches) {
        parts.push_back("matches /" + *limits.matches + "/");
        const auto matches = MatchesWhole(*limits.matches, text.toStdString(), undecided);
        kept = kept && matches.value_or(false);
    }
    return {"answer text", Quoted(text.toStdString()), std::nullopt, "", Join(parts), kept};
}

Measurement AnswerTime(double ms, double limitMs) {
    return MsFigure("answer time", ms, limitMs);
}

std::vector<Measurement> PollFigures(std::size_t requests, std::size_t missed, std::size_t late,
                                     std::vector<double>& answerMs, const PollLimits& limits) {
    const std::int64_t maxMissed = limits.maxMissed.value_or(0);
    std::vector<Measurement> figures{
        {"requests", std::to_string(requests), double(requests), "", "", true},
        {"missed", std::to_string(missed), double(missed), "", "<= " + std::to_string(maxMissed),
         std::int64_t(missed) <= maxMissed},
        {"late answers", std::to_string(late), double(late), "", "", true}};
    if (answerMs.empty()) return figures;
    figures.push_back(
        MsFigure("median answer time", stats::Percentile(answerMs, 0.5), limits.medianMs));
    figures.push_back(
        MsFigure("p99 answer time", stats::Percentile(answerMs, 0.99), limits.p99Ms));
    figures.push_back(MsFigure("longest answer time",
                               *std::max_element(answerMs.begin(), answerMs.end()), limits.maxMs));
    return figures;
}

} // namespace check
