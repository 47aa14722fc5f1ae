#include "trace/ReportTrace.h"

#include "trace/TraceTarget.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <system_error>
#include <unistd.h>

namespace trace {
namespace {

using namespace std::chrono_literals;

/// How long the writer lets lines gather after a write, and so how late a line may reach the
/// file at most (plus the write itself).
constexpr auto GatherTime = 20ms;
/// How long the end of the program waits for a reader that is slow to take the last lines.
constexpr auto ShutdownGrace = 1s;
/// How often a writer waiting for a pipe to drain looks whether it should give up.
constexpr int PollStepMs = 50;

std::string Reason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

} // namespace

std::unique_ptr<ReportTrace> ReportTrace::open(const std::string& path, std::string& error,
                                               Complaint complain, std::size_t bufferLimit) {
    TraceTarget target = OpenTraceTarget(path, error);
    if (!target.fd.valid()) return nullptr;
    return std::unique_ptr<ReportTrace>(
        new ReportTrace(target.fd.release(), path == "-" ? "standard output" : path,
                        std::move(complain), bufferLimit, target.regularFile));
}

ReportTrace::ReportTrace(int fd, std::string name, Complaint complain, std::size_t bufferLimit,
                         bool regularFile)
    : fd_(fd), name_(std::move(name)), complain_(std::move(complain)), bufferLimit_(bufferLimit),
      regularFile_(regularFile), writer_([this] { writeLoop(); }) {}

ReportTrace::~ReportTrace() {
    finish();
}

std::uint64_t ReportTrace::finish() {
    if (!writer_.joinable()) return lostLines();
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true; // nothing recorded from now on reaches the file
        stopDeadline_ = std::chrono::steady_clock::now() + ShutdownGrace;
    }
    wake_.notify_one();
    writer_.join();
    ::close(fd_);
    const std::uint64_t lost = lostLines();
    if (lost > 0 && complain_)
        complain_(std::to_string(lost) + " trace lines were lost, never written to " + name_);
    return lost;
}

void ReportTrace::record(Direction direction, hid::Handle handle, const hid::Report& report) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    std::string line =
        formatLine(std::chrono::duration_cast<std::chrono::microseconds>(now).count(), direction,
                   handle, report);
    line += '\n';
    {
        const std::lock_guard lock(mutex_);
        if (failed_ || stopping_ || pending_.size() + line.size() > bufferLimit_) {
            ++lost_;
            return;
        }
        pending_ += line;
    }
    wake_.notify_one();
}

std::uint64_t ReportTrace::lostLines() const {
    const std::lock_guard lock(mutex_);
    return lost_;
}

void ReportTrace::writeLoop() {
    // A reader that closed its end of a pipe makes write() fail with EPIPE here instead of
    // ending the program with SIGPIPE: the signal stays pending on this thread and dies with it.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::string batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !pending_.empty() || stopping_; });
        if (pending_.empty()) return;
        batch.swap(pending_);
        const bool failedBefore = failed_;
        lock.unlock();

        std::string failure;
        const std::size_t written = failedBefore ? 0 : writeOut(batch, failure);
        const auto unwritten =
            std::count(batch.begin() + static_cast<std::ptrdiff_t>(written), batch.end(), '\n');
        batch.clear();
        if (!failure.empty() && complain_)
            complain_("writing the trace to " + name_ + " failed: " + failure +
                      "; tracing stops here, the program goes on");

        lock.lock();
        lost_ += static_cast<std::uint64_t>(unwritten);
        if (!failure.empty()) failed_ = true;
        if (!stopping_) wake_.wait_for(lock, GatherTime, [this] { return stopping_; });
    }
}

std::size_t ReportTrace::writeOut(const std::string& text, std::string& failure) {
    std::size_t done = 0;
    while (done < text.size()) {
        std::size_t chunk = text.size() - done;
        if (!regularFile_) {
            // Wait for room without blocking in write(), so that a reader that stopped can be
            // given up at the end; a pipe takes PIPE_BUF bytes whole once poll says so. A
            // non-blocking descriptor that still has no room answers EAGAIN and waits here
            // again.
            pollfd ready{fd_, POLLOUT, 0};
            const int events = ::poll(&ready, 1, PollStepMs);
            if (events <= 0) {
                if (pastShutdownGrace()) break;
                continue;
            }
            chunk = std::min<std::size_t>(chunk, PIPE_BUF);
        }
        const ssize_t written = ::write(fd_, text.data() + done, chunk);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (pastShutdownGrace()) break;
        } else {
            failure = written < 0 ? Reason(errno) : "nothing could be written";
            break;
        }
    }
    return done;
}

bool ReportTrace::pastShutdownGrace() const {
    const std::lock_guard lock(mutex_);
    return stopping_ && std::chrono::steady_clock::now() > stopDeadline_;
}

std::string ReportTrace::formatLine(std::int64_t utcMicroseconds, Direction direction,
                                    hid::Handle handle, const hid::Report& report) {
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
    line += traceWord(direction);
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

} // namespace trace
