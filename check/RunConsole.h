#pragma once

#include "check/CheckRecord.h"
#include "check/PlanRunner.h"

#include <QString>
#include <memory>

/// What a run of a plan on one board prints and writes, the same for a single check and for
/// each board of a station.
namespace check {

/// A runner of `plan` on `board`, not started yet, that prints the board and the plan at once
/// and a line per step as it runs.
std::unique_ptr<PlanRunner> PrintingRunner(hid::DeviceManager& layer, hid::Handle board,
                                           const Plan& plan, const std::string& planFile);

/// Writes the run's records (an empty path: not asked for), telling on standard error each
/// that could not be written, then prints the summary; answers the exit code, Undecided when a
/// record could not be written. The verdict that goes with it is the caller's to print last.
int EndRun(const CheckRecord& record, const QString& jsonPath, const QString& junitPath);
/// Prints the verdict line that goes with an exit code: PASS, FAIL or ERROR.
void PrintVerdict(int exitCode);

} // namespace check
