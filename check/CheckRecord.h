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

    /// Failed: a step failed or the board left; else undecided: a step could not decide or
    /// reports were still in flight at the end; else passed.
    bool passed() const;
    bool failed() const;
    std::size_t failedSteps() const;
    /// AllPassed, StepFailed or Undecided, by the above.
    ExitCode exitCode() const;
};

} // namespace check
