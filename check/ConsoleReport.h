#pragma once

#include "check/CheckRecord.h"
#include "check/StepResult.h"

#include <string>

/// What the board checks print on standard output.
namespace check {

/// The board's product name, serial number, node and ids.
std::string BoardLine(const hid::DeviceInfo& board);
/// One line per step: its title, each measured value with its unit and limits, PASS or FAIL.
std::string StepLine(const StepResult& step);
/// The lines at the end of a run: the board, the steps passed and failed, the report counts.
std::string Summary(const CheckRecord& record);
/// Station mode's verdict on a board: a large PASS or FAIL, then the failing steps. A board
/// whose records could not be written fails.
std::string Banner(const CheckRecord& record, bool recordsWritten);
/// Station mode's last line: how many boards passed and how many failed.
std::string TallyLine(std::size_t passed, std::size_t failed);

} // namespace check
