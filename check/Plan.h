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
    Wait,
    Prompt, ///< the operator confirms, or refuses
    Ask,    ///< the operator answers yes or no
    Scan    ///< the operator types or scans a text: the board's label
};

/// True for the steps an operator answers.
bool IsOperatorStep(StepType type);
/// True for the steps that read one value from the board.
bool IsReadStep(StepType type);

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
    std::int64_t retry = 0; ///< extra tries of a run that did not pass
    /// A run that does not pass (after its tries) stops the plan; none: as the plan says.
    std::optional<bool> stopOnFail;
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
    /// read_*: the request is repeated every polling period until the answer keeps the limits,
    /// for at most `withinMs`.
    bool until = false;
    double withinMs = 0;
    /// send: the code of the answer it waits for; and the limits that answer is held against,
    /// each as a read step of the value it names (read_ad, read_inputs, read_text) holds it.
    std::optional<std::int64_t> expectCode;
    std::vector<Step> answer;
    std::string operatorText;              ///< prompt, ask, scan: what the operator is told
    std::optional<std::int64_t> timeoutMs; ///< prompt, ask, scan; none: waits for the operator
    bool expect = true;                    ///< ask: the answer that passes
    std::optional<std::string> pattern;    ///< scan: a regular expression for the whole text
    bool equalsSerial = false;             ///< scan: the text is the board's serial number

    /// True when the step waits for an answer to a send.
    bool awaitsSendAnswer() const { return expectCode || !answer.empty(); }
    bool operator==(const Step&) const = default;
};

struct Plan {
    std::string name;
    std::vector<Step> steps;
    /// Run after the steps whatever became of them: after a pass, a failure, a stop or a signal.
    std::vector<Step> teardown;
    bool stopOnFail = false; ///< a step that does not pass stops the plan (its steps may say)
    bool operator==(const Plan&) const = default;
};

/// How long an answer may take when the step sets no answer_within_ms.
inline constexpr double DefaultAnswerWithinMs = 1000;
/// The polling period, as the window's loop polls.
inline constexpr std::int64_t PollPeriodMs = 20;

} // namespace check
