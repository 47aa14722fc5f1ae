#pragma once

#include "check/CheckRecord.h"

#include <string>
#include <vector>

/// What the board checks print on standard output.
namespace check {

/// The board's product name, serial number, node and ids.
std::string BoardLine(const hid::DeviceInfo& board);
/// One line per step: its title, each measured value with its unit and limits, PASS or FAIL.
std::string StepLine(const StepResult& step);
/// "3 steps", or "3 steps, 12 runs" when steps repeat.
std::string StepCount(const Plan& plan);
/// The lines at the end of a run, before its verdict: the board, the plan's steps and their
/// runs by outcome, the report counts.
std::string Summary(const CheckRecord& record);
/// The verdict's word for an exit code: PASS, FAIL or ERROR.
std::string VerdictWord(int exitCode);
/// What goes with a verdict, a line each: the first few steps that did not pass ("failed: 2
/// read_ad: ..."), how many more, and a board that left; shown as the console shows text.
std::vector<std::string> VerdictNotes(const CheckRecord& record);
/// Station mode's verdict on a board: the first few steps that did not pass, then a large PASS,
/// FAIL or ERROR, and last the verdict, the board's serial and how many of the plan's steps
/// failed (and how many were not run), so that the verdict ends the screen however many fail.
/// In colour (green, red, amber) when asked.
std::string Banner(const CheckRecord& record, bool colour);
/// Colour for a terminal, unless NO_COLOR is set to a non-empty value (no-color.org).
bool ColourWanted(bool terminal, const char* noColor);
/// How many boards a station has checked, by outcome.
struct StationTally {
    std::size_t passed = 0;
    std::size_t failed = 0;
    std::size_t undecided = 0; ///< a step in error, or records not written

    /// 1 when a board failed, else 4 when one could not be decided, else 0.
    int exitCode() const;
};

/// What begins a station socket's lines and questions on the console: "[1-1.2] ".
std::string SocketLabel(const std::string& socket);

/// Station mode's last line: how many boards passed, failed and could not be decided.
std::string TallyLine(const StationTally& tally);

} // namespace check
