#pragma once

#include "hid/Report.h"
#include "hidraw/HidrawSource.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

/// A stand-in for a board behind a hidraw node: an AF_UNIX SOCK_SEQPACKET pair whose near end a
/// HidrawSource opens as the node and whose far end a thread of its own feeds with input
/// reports at a set rate. Output reports that reach the far end are read and thrown away.
class SocketBoard {
public:
    /// Makes the next report to send; called on the feeding thread only.
    using NextReport = std::function<hid::Report()>;

    SocketBoard();
    ~SocketBoard();
    SocketBoard(const SocketBoard&) = delete;
    SocketBoard& operator=(const SocketBoard&) = delete;

    /// Enumerates the board alone and opens it as the near end (once).
    hidraw::HidrawBackend backend();
    /// Options that open the board and look for nothing else.
    static hidraw::HidrawOptions options();

    /// Starts feeding `rate` reports a second, catching up every millisecond to the count the
    /// rate calls for; rate 0 sends as fast as the reader takes them.
    void start(int rate, NextReport next);
    void stop();

    std::uint64_t sent() const { return sent_.load(std::memory_order_relaxed); }
    /// CPU time the feeding thread has used so far: not the console's.
    std::chrono::nanoseconds feederCpu() const {
        return std::chrono::nanoseconds(feederCpuNs_.load(std::memory_order_relaxed));
    }

private:
    void feed(int rate, const NextReport& next);
    /// Blocks while the socket is full; false once stopped or on an error.
    bool send(const hid::Report& report);
    void drainOutput();

    int near_ = -1;
    int far_ = -1;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> sent_{0};
    std::atomic<std::int64_t> feederCpuNs_{0};
};

} // namespace testsupport
