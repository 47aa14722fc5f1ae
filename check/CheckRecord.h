#pragma once

#include "check/Plan.h"
#include "check/Provenance.h"
#include "hid/DeviceSource.h"
#include "hid/ReportDirection.h"

#include <QDateTime>
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
    std::size_t number = 0;      ///< the step's place in the plan (or its teardown), from 1
    std::int64_t repetition = 1; ///< from 1; of `repeat`
    std::int64_t repeat = 1;
    std::int64_t attempt = 1; ///< which try of this repetition, from 1 (`retry` gives more)
    bool retried = false;     ///< it did not pass and was tried again: the next try decides
    bool teardown = false;    ///< one of the plan's teardown steps
    StepType type = StepType::Wait;
    std::string name; ///< the plan's name for it, or its type
    std::vector<Measurement> measurements;
    /// What it sent, each report once (a poll sends its two requests by turns).
    std::vector<SentReport> sent;
    std::string failure; ///< why it failed or could not decide; empty when it passed
    bool error = false;  ///< the step could not decide (failure says why): neither pass nor fail
    /// The run ended before this step ended, or before it began: a signal, a step that stops
    /// the plan, a teardown out of time.
    bool skipped = false;
    std::string skipReason; ///< why it was skipped
    double seconds = 0;     ///< how long it ran

    bool passed() const { return failure.empty() && !skipped; }
    bool failed() const { return !failure.empty() && !error; }
    /// True when its outcome counts for the run's: every run but a try that was tried again.
    bool decides() const { return !retried; }
    /// "pass", "fail", "error" or "skipped", as the records name a step's outcome.
    const char* outcome() const {
        return skipped ? "skipped" : passed() ? "pass" : error ? "error" : "fail";
    }
    /// "3 read_ad", "3 read_ad (2/5)" for a repeated step, "3 read_ad (try 2)" for a try after
    /// the first, "teardown 1 write_port" for a teardown step.
    std::string title() const;
};

/// Exit codes of `zov-usb-test check`: what a CI job or a line acts on.
enum ExitCode {
    AllPassed = 0,  ///< every step passed, and every output asked for was written whole
    StepFailed = 1, ///< the board failed a step or left
    BadCommand = 2, ///< a bad plan or command line; nothing was sent
    NoBoard = 3,    ///< no usable board
    Undecided = 4,  ///< the check could not decide, or could not write what was asked
};

/// "pass", "fail" or "error", as the records name the outcome an exit code stands for.
const char* OutcomeName(int exitCode);

/// The records' outcome of a check that found no board.
inline constexpr const char* NoBoardOutcome = "no board";
/// The records' outcome of a run a signal ended: its steps not run are skipped.
inline constexpr const char* AbortedOutcome = "aborted";

/// Everything one run of a plan on one board found: what the --json and --junit records hold.
struct CheckRecord {
    std::string planName;
    Provenance provenance; ///< the program, host, plan file and station that made the record
    /// The plan's steps and teardown steps, each counted once however often it runs.
    std::size_t planSteps = 0;
    hid::DeviceInfo board;
    QDateTime started; ///< UTC
    QDateTime ended;   ///< UTC
    std::vector<StepResult> steps;
    hid::DirectionCounts counts{}; ///< the run's reports, by what became of them
    bool boardLeft = false;        ///< the board left during the run, which ended it
    /// Reports still being written when the run ended, after waiting for them: the counts
    /// cannot tell what became of them.
    std::uint64_t writesInFlight = 0;
    /// What the operator scanned as the board's label (a passing scan step); empty for none.
    std::string label;
    /// The signal that ended the run before its plan's end ("SIGTERM"); empty when none did.
    std::string interruptedBy;
    /// Why no board was checked, as told on standard error; empty when one was. Such a record
    /// has no board and no steps.
    std::string noBoard;

    /// Failed: a step failed or the board left; else undecided: a step could not decide,
    /// reports were still in flight at the end, or a signal ended the run; else passed.
    bool passed() const;
    bool failed() const;
    std::size_t failedSteps() const;
    /// AllPassed, StepFailed or Undecided, by the above; NoBoard for a check that found none.
    ExitCode exitCode() const;
    /// What the records call it: NoBoardOutcome, AbortedOutcome, or OutcomeName(exitCode()).
    const char* outcome() const;
    /// Why the check did not run its plan to the end: "no usable board ..." or "interrupted
    /// by SIGTERM"; empty when it did (a board that left is told by boardLeft).
    std::string reason() const;
};

/// The record of a run of `plan`, made as `provenance` says, before it begins.
CheckRecord PlanRecord(const Plan& plan, Provenance provenance);

} // namespace check
