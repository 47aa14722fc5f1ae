#include "TraceLines.h"

#include "StandInWire.h"

#include <algorithm>
#include <sstream>

namespace {

bool Parse(const std::string& text, TraceLine& line) {
    std::istringstream words(text);
    std::string time;
    words >> time >> line.direction >> line.handle;
    std::size_t count = 0;
    for (unsigned value; count < line.report.size() && words >> std::hex >> value; ++count)
        line.report[count] = static_cast<std::uint8_t>(value);
    return count == line.report.size();
}

} // namespace

const std::vector<TraceLine>& TraceFile::lines() {
    for (const std::string& text : file_.newLines()) {
        TraceLine line;
        if (Parse(text, line)) lines_.push_back(line);
    }
    return lines_;
}

std::vector<TraceLine> TraceFile::lines(const std::string& direction) {
    std::vector<TraceLine> chosen;
    for (const TraceLine& line : lines())
        if (line.direction == direction) chosen.push_back(line);
    return chosen;
}

std::size_t TraceFile::count(const std::string& direction) {
    const auto& all = lines();
    return static_cast<std::size_t>(
        std::count_if(all.begin(), all.end(),
                      [&](const TraceLine& line) { return line.direction == direction; }));
}

std::uint32_t BurstNumber(const hid::Report& report) {
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i)
        number |= static_cast<std::uint32_t>(report[BurstNumberStart + i]) << (8 * i);
    return number;
}
