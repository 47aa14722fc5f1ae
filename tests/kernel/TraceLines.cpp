#include "TraceLines.h"

#include <fstream>
#include <sstream>

std::vector<TraceLine> ReadTrace(const std::string& path) {
    std::vector<TraceLine> lines;
    std::ifstream file(path);
    for (std::string text; std::getline(file, text);) {
        if (file.eof()) break; // a line still being written
        std::istringstream words(text);
        std::string time;
        TraceLine line;
        words >> time >> line.direction >> line.handle;
        std::size_t count = 0;
        for (unsigned value; count < line.report.size() && words >> std::hex >> value; ++count)
            line.report[count] = static_cast<std::uint8_t>(value);
        if (count == line.report.size()) lines.push_back(line);
    }
    return lines;
}

std::uint32_t BurstNumber(const hid::Report& report) {
    return static_cast<std::uint32_t>(report[2]) | static_cast<std::uint32_t>(report[3]) << 8 |
           static_cast<std::uint32_t>(report[4]) << 16 |
           static_cast<std::uint32_t>(report[5]) << 24;
}
