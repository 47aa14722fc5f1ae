#pragma once

#include "GrowingFile.h"
#include "hid/Report.h"

#include <string>
#include <vector>

/// One line of a trace file: "<time> <direction> <handle> <33 hex bytes>".
struct TraceLine {
    std::string direction;
    hid::Handle handle = 0;
    hid::Report report{};
};

/// A trace file that another process is writing, read as it grows: each call takes only the
/// lines completed since the last, so waiting on a long trace stays cheap.
class TraceFile {
public:
    explicit TraceFile(std::string path) : file_(std::move(path)) {}

    /// Every complete line so far.
    const std::vector<TraceLine>& lines();
    /// Those with this direction.
    std::vector<TraceLine> lines(const std::string& direction);
    std::size_t count(const std::string& direction);

private:
    GrowingFile file_;
    std::vector<TraceLine> lines_;
};

/// The number a burst report of the stand-in carries at bytes 2 to 5 (little-endian).
std::uint32_t BurstNumber(const hid::Report& report);
