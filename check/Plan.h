#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// A board check plan: an ordered list of steps, each sending one kind of request to the board
/// and holding its answer against limits. Read from TOML by ParsePlan (check/PlanParser.h).
namespace check {

enum class StepType {
    ReadAd,
    ReadInputs,
    ReadText,
    WritePort,
    SendText,
    SendClock,
    Send,
    Poll,
    Wait
};

/// The plan's word for each type ("read_ad", ...), and back.
std::string_view TypeName(StepType type);
std::optional<StepType> TypeNamed(std::string_view name);

/// Limits on a number the board answers; any may be missing.
struct NumberLimits {
    std::optional<std::int64_t> min;
    std::optional<std::int64_t> max;
    std::optional<std::int64_t> equals;
    bool operator==(const NumberLimits&) const = default;
};

/// Limits on the input bits: the value under `mask` must be `value`; bits_high and bits_low
/// name single bits (0 to 7).
struct BitLimits {
    std::optional<std::int64_t> mask;
    std::optional<std::int64_t> value;
    std::vector<std::int64_t> bitsHigh;
    std::vector<std::int64_t> bitsLow;
    bool operator==(const BitLimits&) const = default;
};

/// Limits on the answer text (UTF-8); `matches` is a regular expression the whole text matches.
struct TextLimits {
    std::optional<std::string> equals;
    std::optional<std::string> prefix;
    std::optional<std::string> matches;
    bool operator==(const TextLimits&) const = default;
};

/// Limits on a polling run's answers.
struct PollLimits {
    std::optional<std::int64_t> maxMissed;
    std::optional<double> medianMs;
    std::optional<double> p99Ms;
    std::optional<double> maxMs;
    bool operator==(const PollLimits&) const = default;
};

struct Step {
    StepType type = StepType::Wait;
    std::string name; ///< as the plan gives it; empty for none
    std::int64_t repeat = 1;
    std::optional<double> answerWithinMs;       ///< read_* and poll
    NumberLimits number;                        ///< read_ad; read_inputs' `equals`, `min` and `max`
    BitLimits bits;                             ///< read_inputs
    TextLimits text;                            ///< read_text
    std::int64_t value = 0;                     ///< write_port
    std::string sendText;                       ///< send_text
    std::int64_t code = 0;                      ///< send
    std::map<std::int64_t, std::int64_t> bytes; ///< send: byte index to value
    std::int64_t durationMs = 0;                ///< poll and wait_ms
    PollLimits poll;
    bool operator==(const Step&) const = default;
};

struct Plan {
    std::string name;
    std::vector<Step> steps;
    bool operator==(const Plan&) const = default;
};

/// How long an answer may take when the step sets no answer_within_ms.
inline constexpr double DefaultAnswerWithinMs = 1000;
/// The polling period, as the window's loop polls.
inline constexpr std::int64_t PollPeriodMs = 20;

} // namespace check
