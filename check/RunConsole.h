#pragma once

#include "check/CheckRecord.h"
#include "check/PlanRunner.h"

#include <QString>
#include <QStringList>
#include <memory>

/// What a run of a plan on one board prints and writes, the same for a single check and for
/// each board of a station.
namespace check {

/// A runner of `plan` on `board`, not started yet, that prints the board and the plan at once
/// and a line per step as it runs.
std::unique_ptr<PlanRunner> PrintingRunner(hid::DeviceManager& layer, hid::Handle board,
                                           const Plan& plan, const Provenance& provenance,
                                           Operator* person);

/// Tells on standard error each record that could not be written (`problems`).
void TellRecordProblems(const QStringList& problems);
/// Tells on standard output that a signal ends the run under way, and what becomes of it.
void TellInterrupted(const std::string& signalName);
/// Tells each record that could not be written (`problems`), then prints the summary; answers
/// the exit code, Undecided when a record could not be written. The verdict that goes with it
/// is the caller's to print last.
int EndRun(const CheckRecord& record, const QStringList& problems);
/// Prints the verdict line that goes with an exit code: PASS, FAIL or ERROR.
void PrintVerdict(int exitCode);

} // namespace check
