#include "hid/ReportTrace.h"

#include <cerrno>
#include <charconv>
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
    // Floor division: a time before 1970 still has its fraction counted forward.
    std::int64_t second = utcMicroseconds / 1'000'000;
    std::int64_t micros = utcMicroseconds % 1'000'000;
    if (micros < 0) {
        --second;
        micros += 1'000'000;
    }

    // A board reports many times a second: the date and time are formatted once a second.
    thread_local std::int64_t stampSecond = -1;
    thread_local char stamp[40];
    thread_local std::size_t stampLength = 0;
    if (second != stampSecond) {
        const std::time_t seconds = static_cast<std::time_t>(second);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        stampLength = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
        stampSecond = second;
    }

    static constexpr char Hex[] = "0123456789abcdef";
    std::string line;
    line.reserve(stampLength + 32 + 3 * report.size());
    line.append(stamp, stampLength);
    char fraction[] = ".000000Z ";
    for (int digit = 6, rest = static_cast<int>(micros); digit > 0; --digit, rest /= 10)
        fraction[digit] = static_cast<char>('0' + rest % 10);
    line.append(fraction, sizeof fraction - 1);
    line += name(direction);
    line += ' ';
    char number[16];
    const auto [end, error] = std::to_chars(number, number + sizeof number, handle);
    line.append(number, end);
    for (const std::uint8_t byte : report) {
        line += ' ';
        line += Hex[byte >> 4];
        line += Hex[byte & 0xF];
    }
    return line;
}

} // namespace hid
