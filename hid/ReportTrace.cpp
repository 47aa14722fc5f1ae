#include "hid/ReportTrace.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace hid {
namespace {

constexpr auto FlushDelay = std::chrono::milliseconds(50);

const char* name(ReportTrace::Direction direction) {
    switch (direction) {
    case ReportTrace::Direction::Out:
        return "out";
    case ReportTrace::Direction::In:
        return "in";
    case ReportTrace::Direction::Dropped:
        return "drop";
    case ReportTrace::Direction::Failed:
        return "fail";
    case ReportTrace::Direction::Refused:
        return "refuse";
    }
    return "?";
}

} // namespace

std::unique_ptr<ReportTrace> ReportTrace::open(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<ReportTrace>(new ReportTrace(file));
}

ReportTrace::ReportTrace(std::FILE* file) : file_(file) {
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushDelay);
    QObject::connect(&flushTimer_, &QTimer::timeout, [this] { flush(); });
}

ReportTrace::~ReportTrace() {
    flush();
    std::fclose(file_);
}

void ReportTrace::record(Direction direction, Handle handle, const Report& report) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    pending_ += formatLine(std::chrono::duration_cast<std::chrono::microseconds>(now).count(),
                           direction, handle, report);
    pending_ += '\n';
    if (!flushTimer_.isActive()) flushTimer_.start();
}

void ReportTrace::flush() {
    if (pending_.empty()) return;
    std::fwrite(pending_.data(), 1, pending_.size(), file_);
    std::fflush(file_);
    pending_.clear();
}

std::string ReportTrace::formatLine(std::int64_t utcMicroseconds, Direction direction,
                                    Handle handle, const Report& report) {
    const std::time_t seconds = static_cast<std::time_t>(utcMicroseconds / 1'000'000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[40];
    const std::size_t stampLength = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);

    char head[96];
    const int headLength =
        std::snprintf(head, sizeof head, "%.*s.%06lldZ %s %d", static_cast<int>(stampLength), stamp,
                      static_cast<long long>(utcMicroseconds % 1'000'000), name(direction), handle);
    static constexpr char Hex[] = "0123456789abcdef";
    std::string line(head, static_cast<std::size_t>(headLength));
    line.reserve(line.size() + 3 * report.size());
    for (const std::uint8_t byte : report) {
        line += ' ';
        line += Hex[byte >> 4];
        line += Hex[byte & 0xF];
    }
    return line;
}

} // namespace hid
