#pragma once

#include "hid/ReportObserver.h"

#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

namespace hid {

/// Writes one line per report to a file:
///   2026-12-07T10:30:00.123456Z out 1 00 32 00 ... (33 bytes as two-digit hex)
/// Directions: `out`, `in`, `drop`, `fail` and `refuse`, one for each ReportDirection.
/// Lines are gathered in memory and reach the file within 50 ms, so tracing costs the
/// layer one formatted line per report and no system call.
class ReportTrace final : public ReportObserver {
public:
    using Direction = ReportDirection;

    /// Opens (truncates) the file; nullptr with `error` set when it cannot be opened.
    static std::unique_ptr<ReportTrace> open(const std::string& path, std::string& error);
    ~ReportTrace() override;

    void record(Direction direction, Handle handle, const Report& report) override;
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
