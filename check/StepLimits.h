#pragma once

#include "check/CheckRecord.h"
#include "check/Plan.h"

#include <QString>
#include <cstdint>
#include <vector>

/// Holds what the board answered against a step's limits. Pure: no board, no clock.
namespace check {

/// The text between double quotes, as figures show texts.
std::string Quoted(std::string text);
/// A byte as figures show it: "0x0F".
std::string Hex(std::int64_t value);
/// A limit in ms, as the plan would give it: "50", "2.5".
std::string LimitMs(double ms);

/// Figures with no limit yet: a number, shown as `shown`; a text, shown as `shown`.
Measurement NumberFigure(std::string quantity, std::string shown, double number);
Measurement TextFigure(std::string quantity, std::string text, std::string shown);

/// Whether an answer byte keeps the limits, as AdValue and InputBits judge it.
bool KeepsNumbers(std::uint8_t value, const NumberLimits& limits);
bool KeepsBits(std::uint8_t value, const BitLimits& bits);

Measurement AdValue(std::uint8_t value, const NumberLimits& limits);
Measurement InputBits(std::uint8_t value, const NumberLimits& limits, const BitLimits& bits);
/// Sets `undecided` to why, when a limit could not be judged (the pattern engine gave up).
Measurement AnswerText(const QString& text, const TextLimits& limits, std::string& undecided);
/// How many requests a step sent.
Measurement Requests(std::size_t count);
/// How long the answer took, against `limitMs`.
Measurement AnswerTime(double ms, double limitMs);
/// An answer that never came within `limitMs`: a failed answer time with no value.
Measurement NoAnswer(double limitMs);
/// A polling run: how many requests went, how many got no answer within the limit (`late`
/// of them answered after it), and the times of every answer, late ones included: median,
/// 99th percentile and longest (in ms; reordered).
std::vector<Measurement> PollFigures(std::size_t requests, std::size_t missed, std::size_t late,
                                     std::vector<double>& answerMs, const PollLimits& limits);

} // namespace check
