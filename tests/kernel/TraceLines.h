#pragma once

#include "hid/Report.h"

#include <string>
#include <vector>

/// One line of a trace file: "<time> <direction> <handle> <33 hex bytes>".
struct TraceLine {
    std::string direction;
    hid::Handle handle = 0;
    hid::Report report{};
};

/// The lines of the trace file at `path` (complete lines only).
std::vector<TraceLine> ReadTrace(const std::string& path);

/// The number a burst report of the stand-in carries at bytes 2 to 5 (little-endian).
std::uint32_t BurstNumber(const hid::Report& report);
