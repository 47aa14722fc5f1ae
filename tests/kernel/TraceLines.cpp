#include "TraceLines.h"

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
    if (!file_.is_open()) file_.open(path_);
    if (!file_.is_open()) return lines_;
    file_.clear();
    std::string chunk(64 * 1024, '\0');
    while (file_.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
           file_.gcount() > 0)
        partial_.append(chunk.data(), static_cast<std::size_t>(file_.gcount()));
    file_.clear();
    std::size_t start = 0;
    for (std::size_t end; (end = partial_.find('\n', start)) != partial_.npos; start = end + 1) {
        TraceLine line;
        if (Parse(partial_.substr(start, end - start), line)) lines_.push_back(line);
    }
    partial_.erase(0, start);
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
    return static_cast<std::uint32_t>(report[2]) | static_cast<std::uint32_t>(report[3]) << 8 |
           static_cast<std::uint32_t>(report[4]) << 16 |
           static_cast<std::uint32_t>(report[5]) << 24;
}
