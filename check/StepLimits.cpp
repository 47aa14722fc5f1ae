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
    Measurement figure = NumberFigure(std::move(quantity), Ms(ms), ms);
    figure.unit = "ms";
    if (limit) figure.limit = "<= " + LimitMs(*limit) + " ms";
    figure.limits.max = limit;
    figure.passed = !limit || ms <= *limit;
    return figure;
}

Measurement Count(std::string quantity, std::size_t count) {
    return NumberFigure(std::move(quantity), std::to_string(count), double(count));
}

/// A figure held against number limits, shown as `shown`.
Measurement HeldNumber(std::string quantity, std::string shown, std::uint8_t value,
                       const NumberLimits& limits, std::string limitText) {
    Measurement figure = NumberFigure(std::move(quantity), std::move(shown), value);
    figure.limit = std::move(limitText);
    const auto number = [](std::optional<std::int64_t> n) {
        return n ? std::optional<double>(double(*n)) : std::nullopt;
    };
    figure.limits.min = number(limits.min);
    figure.limits.max = number(limits.max);
    figure.limits.equals = number(limits.equals);
    figure.passed = KeepsNumbers(value, limits);
    return figure;
}

} // namespace

Measurement NumberFigure(std::string quantity, std::string shown, double number) {
    Measurement figure;
    figure.quantity = std::move(quantity);
    figure.value = std::move(shown);
    figure.number = number;
    return figure;
}

Measurement TextFigure(std::string quantity, std::string text, std::string shown) {
    Measurement figure;
    figure.quantity = std::move(quantity);
    figure.value = std::move(shown);
    figure.text = std::move(text);
    return figure;
}

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
    return HeldNumber("A/D value", std::to_string(value), value, limits,
                      Join(Numbers(limits, Decimal)));
}

Measurement InputBits(std::uint8_t value, const NumberLimits& limits, const BitLimits& bits) {
    std::vector<std::string> parts = Numbers(limits, Hex);
    if (bits.mask && bits.value)
        parts.push_back("mask " + Hex(*bits.mask) + " = " + Hex(*bits.value));
    if (!bits.bitsHigh.empty()) parts.push_back("bits high " + BitNames(bits.bitsHigh));
    if (!bits.bitsLow.empty()) parts.push_back("bits low " + BitNames(bits.bitsLow));
    Measurement figure =
        HeldNumber("input bits", Hex(value) + " (" + std::bitset<8>(value).to_string() + ")", value,
                   limits, Join(parts));
    figure.limits.bits = bits;
    figure.passed = figure.passed && KeepsBits(value, bits);
    return figure;
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
    Measurement figure = TextFigure("answer text", text.toStdString(), Quoted(text.toStdString()));
    figure.limit = Join(parts);
    figure.limits.text = limits;
    figure.passed = kept;
    return figure;
}

Measurement Requests(std::size_t count) {
    return Count("requests", count);
}

Measurement AnswerTime(double ms, double limitMs) {
    return MsFigure("answer time", ms, limitMs);
}

Measurement NoAnswer(double limitMs) {
    Measurement figure = MsFigure("answer time", 0, limitMs);
    figure.value = "none";
    figure.number.reset();
    figure.passed = false;
    return figure;
}

std::vector<Measurement> PollFigures(std::size_t requests, std::size_t missed, std::size_t late,
                                     std::vector<double>& answerMs, const PollLimits& limits) {
    const std::int64_t maxMissed = limits.maxMissed.value_or(0);
    std::vector<Measurement> figures{
        Requests(requests),
        Count("missed", missed),
        Count("late answers", late),
    };
    figures[1].limit = "<= " + std::to_string(maxMissed);
    figures[1].limits.max = double(maxMissed);
    figures[1].passed = std::int64_t(missed) <= maxMissed;
    if (answerMs.empty()) return figures;
    figures.push_back(
        MsFigure("median answer time", stats::Percentile(answerMs, 0.5), limits.medianMs));
    figures.push_back(MsFigure("p99 answer time", stats::Percentile(answerMs, 0.99), limits.p99Ms));
    figures.push_back(MsFigure("longest answer time",
                               *std::max_element(answerMs.begin(), answerMs.end()), limits.maxMs));
    return figures;
}

} // namespace check
