#pragma once

#include "check/Provenance.h"
#include "check/StepResult.h"
#include "hid/DeviceSource.h"
#include "hid/ReportDirection.h"

#include <QDateTime>
#include <string>
#include <vector>

namespace check {

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
    Provenance provenance;     ///< the program, host, plan file and station that made the record
    std::size_t planSteps = 0; ///< the plan's steps, each counted once however often it repeats
    hid::DeviceInfo board;
    QDateTime started; ///< UTC
    QDateTime ended;   ///< UTC
    std::vector<StepResult> steps;
    hid::DirectionCounts counts{}; ///< the run's reports, by what became of them
    bool boardLeft = false;        ///< the board left during the run, which ended it
    /// Reports still being written when the run ended, after waiting for them: the counts
    /// cannot tell what became of them.
    std::uint64_t writesInFlight = 0;
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
