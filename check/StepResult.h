#pragma once

#include "check/Plan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace check {

/// The limits a figure was held against, each as the plan gave it; one not given does not limit.
struct FigureLimits {
    std::optional<double> min; ///< in the figure's unit, as are max and equals
    std::optional<double> max;
    std::optional<double> equals;
    BitLimits bits;  ///< input bits
    TextLimits text; ///< answer text
};

/// One figure a step measured, with the limit it was held against.
struct Measurement {
    std::string quantity;            ///< "A/D value", "answer time", ...
    std::string value;               ///< as printed, without the unit
    std::optional<double> number;    ///< the value as a number, where it is one
    std::optional<std::string> text; ///< the value as a text (UTF-8, unquoted), where it is one
    std::string unit;                ///< "ms", or empty
    std::string limit;               ///< as printed; empty when nothing limits it
    FigureLimits limits;             ///< the same, field by field
    bool passed = true;

    /// The value with its unit where it is a number: "12.5 ms", "none", "\"Hello\"".
    std::string shown() const;
    /// "A/D value 128 breaks its limit 200..255", for a failed one.
    std::string failure() const;
};

/// A report a step sent, as the board got it.
struct SentReport {
    std::uint8_t code = 0;           ///< its command byte
    std::vector<std::uint8_t> bytes; ///< the whole report: the report id first, then the code
};

/// One run of one step (a repeated step gives one result per repetition).
struct StepResult {
    std::size_t number = 0;      ///< the step's place in the plan, from 1
    std::int64_t repetition = 1; ///< from 1; of `repeat`
    std::int64_t repeat = 1;
    StepType type = StepType::Wait;
    std::string name; ///< the plan's name for it, or its type
    std::vector<Measurement> measurements;
    /// What it sent, each report once (a poll sends its two requests by turns).
    std::vector<SentReport> sent;
    std::string failure;  ///< why it failed or could not decide; empty when it passed
    bool error = false;   ///< the step could not decide (failure says why): neither pass nor fail
    bool skipped = false; ///< a signal ended the run before this step ended, or before it began
    double seconds = 0;   ///< how long it ran

    bool passed() const { return failure.empty() && !skipped; }
    bool failed() const { return !failure.empty() && !error; }
    /// "pass", "fail", "error" or "skipped", as the records name a step's outcome.
    const char* outcome() const {
        return skipped ? "skipped" : passed() ? "pass" : error ? "error" : "fail";
    }
    /// "3 read_ad", or "3 read_ad (2/5)" for a repeated step.
    std::string title() const;
};

} // namespace check
