#pragma once

#include "hid/ReportObserver.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace trace {

/// Writes one line per report to a file:
///   2026-12-07T10:30:00.123456Z out 1 00 32 00 ... (33 bytes as two-digit hex)
/// The word after the time is the direction's traceWord (hid/ReportDirection.h).
///
/// The layer's thread only formats the line and queues it; a thread of the trace's own writes
/// the queue out within about 20 ms, so a slow disk or a reader that stops reading a pipe never
/// holds up the window. The queue holds at most `bufferLimit` bytes; lines past it are lost and
/// counted. The first write that fails is told once with its reason, and tracing stops there.
class ReportTrace final : public hid::ReportObserver {
public:
    using Direction = hid::ReportDirection;
    /// Hears what goes wrong after the trace was opened, from the trace's own thread: a failing
    /// write, once, and at the end how many lines never reached the file.
    using Complaint = std::function<void(const std::string& message)>;

    static constexpr std::size_t DefaultBufferLimit = std::size_t{1} << 20;

    /// Opens `path` for writing as OpenTraceTarget does, creating it with mode 0644 or
    /// emptying it; "-" is standard output. Never waits for a reader, and refuses what a
    /// trace should not go to (a device other than a terminal, a symbolic link to a file).
    /// Answers nullptr with `error` set when the file cannot be used.
    static std::unique_ptr<ReportTrace> open(const std::string& path, std::string& error,
                                             Complaint complain,
                                             std::size_t bufferLimit = DefaultBufferLimit);
    /// Writes what is still queued, waiting at most hid::ShutdownGrace for a slow reader, closes
    /// the file and tells how many lines were lost, if any; answers that count. Lines recorded
    /// after it are lost. Only the first call does anything.
    std::uint64_t finish();
    /// Finishes the trace.
    ~ReportTrace() override;
    ReportTrace(const ReportTrace&) = delete;
    ReportTrace& operator=(const ReportTrace&) = delete;

    void record(Direction direction, hid::Handle handle, const hid::Report& report) override;

    /// Lines that will never reach the file: past the queue's limit, after a failed write, or
    /// left when the reader was too slow at the end.
    std::uint64_t lostLines() const;

    /// One trace line, without its newline, for the given UTC time in microseconds.
    static std::string formatLine(std::int64_t utcMicroseconds, Direction direction,
                                  hid::Handle handle, const hid::Report& report);

private:
    ReportTrace(int fd, std::string name, Complaint complain, std::size_t bufferLimit,
                bool regularFile);
    void writeLoop();
    /// Writes `text`; answers how many bytes reached the file. Sets `failure` to the reason
    /// when a write failed.
    std::size_t writeOut(const std::string& text, std::string& failure);
    bool pastShutdownGrace() const;

    const int fd_;
    const std::string name_;
    const Complaint complain_;
    const std::size_t bufferLimit_;
    const bool regularFile_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::string pending_;
    std::uint64_t lost_ = 0;
    bool failed_ = false;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point stopDeadline_;
    std::thread writer_; // last: starts once everything above is set
};

} // namespace trace
