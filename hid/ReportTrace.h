#pragma once

#include "hid/Report.h"

#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

namespace hid {

/// Writes one line per report to a file:
///   2026-12-07T10:30:00.123456Z out 1 00 32 00 ... (33 bytes as two-digit hex)
/// Directions: `out` (WriteEx; handle 0 when no device was found), `in` (a report from a
/// device) and `drop` (a queued input report dropped because the queue was full).
/// Lines are gathered in memory and reach the file within 50 ms, so tracing costs the
/// layer one formatted line per report and no system call.
class ReportTrace final {
public:
    enum class Direction { Out, In, Dropped };

    /// Opens (truncates) the file; nullptr with `error` set when it cannot be opened.
    static std::unique_ptr<ReportTrace> open(const std::string& path, std::string& error);
    ~ReportTrace();

    void record(Direction direction, Handle handle, const Report& report);
    /// Writes what is gathered to the file now.
    void flush();

    /// One trace line, without its newline, for the given UTC time in microseconds.
    static std::string formatLine(std::int64_t utcMicroseconds, Direction direction, Handle handle,
                                  const Report& report);

private:
    explicit ReportTrace(std::FILE* file);

    std::FILE* file_;
    std::string pending_;
    QTimer flushTimer_;
};

} // namespace hid
