#pragma once

#include "check/CheckRecord.h"
#include "check/PlanRunner.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

/// What a run of a plan on one board prints and writes, the same for a single check and for
/// each board of a station.
namespace check {

/// Where a run's lines go: text of whole lines, each ending with '\n'.
using PrintText = std::function<void(const std::string& text)>;
/// Prints on standard output, at once, from any thread (check/Console.h).
void PrintOut(const std::string& text);

/// A runner of `plan` on `board`, not started yet, that prints the board and the plan at once
/// and a line per step as it runs, through `print`.
std::unique_ptr<PlanRunner> PrintingRunner(hid::DeviceManager& layer, hid::Handle board,
                                           const Plan& plan, const Provenance& provenance,
                                           Operator* person, PrintText print = PrintOut);

/// Tells on standard error each record that could not be written (`problems`).
void TellRecordProblems(const QStringList& problems);
/// The line that tells that a signal ends the run under way, and what becomes of it.
std::string InterruptedLine(const std::string& signalName);
/// Tells it on standard output.
void TellInterrupted(const std::string& signalName);
/// Tells each record that could not be written (`problems`), then prints the summary; answers
/// the exit code, Undecided when a record could not be written. The verdict that goes with it
/// is the caller's to print last.
int EndRun(const CheckRecord& record, const QStringList& problems);
/// Prints the verdict line that goes with an exit code: PASS, FAIL or ERROR.
void PrintVerdict(int exitCode);

} // namespace check
