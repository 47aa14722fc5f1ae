#include "support/SocketBoard.h"

#include "protocol/ReportLayout.h"
#include "support/FakeHidrawNode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace testsupport {

namespace {

constexpr const char* Node = "/dev/hidraw-bench";

std::int64_t ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

SocketBoard::SocketBoard() {
    // Non-blocking, as a hidraw node is opened; the feeder never waits in a call either.
    near_ = OpenFakeHidrawNode(far_);
    if (near_ < 0) {
        std::fprintf(stderr, "zov_scenario: socketpair: %s\n", std::strerror(-near_));
        std::exit(1);
    }
}

SocketBoard::~SocketBoard() {
    stop();
    if (near_ >= 0) ::close(near_);
    ::close(far_);
}

hidraw::HidrawBackend SocketBoard::backend() {
    hidraw::HidrawBackend backend = FakeHidrawBackend(
        [] {
            return std::vector<hid::DeviceInfo>{{protocol::DeviceVendorID,
                                                 protocol::DeviceProductID,
                                                 "Bench",
                                                 "Socket board",
                                                 "S1",
                                                 Node,
                                                 "",
                                                 {}}};
        },
        [this](const std::string&) {
            if (near_ < 0) return -ENODEV;
            // The device takes the descriptor as a node's, its own to close.
            return std::exchange(near_, -1);
        });
    backend.warn = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    return backend;
}

hidraw::HidrawOptions SocketBoard::options() {
    hidraw::HidrawOptions options;
    options.openIds = {{protocol::DeviceVendorID, protocol::DeviceProductID}};
    options.hotplug = hidraw::HidrawOptions::Hotplug::None;
    return options;
}

void SocketBoard::start(int rate, NextReport next) {
    stop();
    running_ = true;
    thread_ = std::thread([this, rate, next = std::move(next)] { feed(rate, next); });
}

void SocketBoard::stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
}

void SocketBoard::feed(int rate, const NextReport& next) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::int64_t cpu0 = ThreadCpuNs() - feederCpuNs_.load();
    std::uint64_t count = 0;
    auto tick = start;
    while (running_.load(std::memory_order_relaxed)) {
        const double due = rate > 0
                               ? std::chrono::duration<double>(Clock::now() - start).count() * rate
                               : double(count + 64);
        while (double(count) < due && running_.load(std::memory_order_relaxed)) {
            // Counted before it goes: the reader may have it before send() returns.
            sent_.store(++count, std::memory_order_relaxed);
            if (!send(next())) return;
        }
        drainOutput();
        feederCpuNs_.store(ThreadCpuNs() - cpu0, std::memory_order_relaxed);
        if (rate > 0) {
            tick += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(tick);
        }
    }
}

bool SocketBoard::send(const hid::Report& report) {
    while (running_.load(std::memory_order_relaxed)) {
        // The node carries the report without its id byte.
        const ssize_t written =
            ::send(far_, report.data() + 1, report.size() - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written >= 0) return true;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        // The reader is behind: wait for room, but never so long that stop() would hang.
        pollfd room{far_, POLLOUT, 0};
        ::poll(&room, 1, 10);
    }
    return false;
}

void SocketBoard::drainOutput() {
    std::uint8_t buffer[64];
    while (::recv(far_, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

} // namespace testsupport
