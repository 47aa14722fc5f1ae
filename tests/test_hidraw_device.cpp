#include "hidraw/HidrawDevice.h"
#include "support/EventLoop.h"
#include "support/ScriptedNode.h"

#include <QSignalSpy>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using hid::Report;
using hidraw::HidrawDevice;
using testsupport::NodeScript;
using testsupport::ScriptedCalls;
using testsupport::WaitUntil;

namespace {

// A SOCK_SEQPACKET socket pair keeps report boundaries as a hidraw node does: the device
// gets one end, the test plays the board on the other.
class HidrawDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
        device.attach(fds[0]);
        board = fds[1];
    }
    void TearDown() override {
        if (board >= 0) ::close(board);
    }

    void boardSends(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(::send(board, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    /// One report as the board received it; empty when none is waiting.
    std::vector<std::uint8_t> boardReceives() {
        std::vector<std::uint8_t> bytes(256);
        const ssize_t length = ::recv(board, bytes.data(), bytes.size(), MSG_DONTWAIT);
        bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return bytes;
    }
    void boardUnplugs() {
        ::close(board);
        board = -1;
    }

    static std::vector<std::uint8_t> counting(std::size_t length, std::uint8_t first) {
        std::vector<std::uint8_t> bytes(length);
        std::iota(bytes.begin(), bytes.end(), first);
        return bytes;
    }

    HidrawDevice device{
        hid::DeviceInfo{0x1234, 0x0001, "ZOV", "Board", "1", "/dev/hidraw7", "", {}}};
    int board = -1;
};

TEST_F(HidrawDeviceTest, OutputReportGoesOutAsAll33BytesWithTheReportIdFirst) {
    QSignalSpy completions(&device, &HidrawDevice::writeCompleted);
    Report report{};
    std::iota(report.begin() + 1, report.end(), std::uint8_t{100});
    ASSERT_EQ(device.write(report), hid::WriteResult::Queued);

    ASSERT_TRUE(WaitUntil([&] { return completions.size() == 1; }));
    EXPECT_EQ(completions.at(0).at(0).value<Report>(), report);
    EXPECT_TRUE(completions.at(0).at(1).toBool()) << "the kernel took the whole report";
    const std::vector<std::uint8_t> received = boardReceives();
    ASSERT_EQ(received.size(), 33u);
    EXPECT_EQ(received[0], 0) << "byte 0 is the report id, which the kernel strips";
    EXPECT_TRUE(std::equal(received.begin(), received.end(), report.begin()));
    EXPECT_TRUE(boardReceives().empty()) << "one write, one report";
}

TEST_F(HidrawDeviceTest, InputReportLandsAtBytes1To32WithByte0Zero) {
    QSignalSpy reports(&device, &HidrawDevice::reportReceived);
    const std::vector<std::uint8_t> sent = counting(32, 1); // 1..32: no byte is zero
    boardSends(sent);

    ASSERT_TRUE(WaitUntil([&] { return reports.size() == 1; }));
    const auto report = reports.at(0).at(0).value<Report>();
    EXPECT_EQ(report[0], 0);
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), report.begin() + 1));
}

TEST_F(HidrawDeviceTest, ShortAndLongInputReportsArePaddedOrCut) {
    QSignalSpy reports(&device, &HidrawDevice::reportReceived);
    boardSends(counting(8, 50));
    boardSends(counting(40, 150));

    ASSERT_TRUE(WaitUntil([&] { return reports.size() == 2; }));
    const auto shortReport = reports.at(0).at(0).value<Report>();
    for (std::size_t i = 1; i <= 8; ++i)
        EXPECT_EQ(shortReport[i], 50 + i - 1) << "index " << i;
    for (std::size_t i = 9; i < hid::ReportSize; ++i)
        EXPECT_EQ(shortReport[i], 0) << "index " << i;
    const auto longReport = reports.at(1).at(0).value<Report>();
    EXPECT_EQ(longReport[0], 0);
    EXPECT_EQ(longReport[1], 150);
    EXPECT_EQ(longReport[32], 150 + 31);
}

TEST_F(HidrawDeviceTest, BurstArrivesCompleteAndInOrder) {
    QSignalSpy reports(&device, &HidrawDevice::reportReceived);
    constexpr int Count = 133;
    for (int i = 0; i < Count; ++i)
        boardSends({static_cast<std::uint8_t>(i), 0xAA});

    ASSERT_TRUE(WaitUntil([&] { return reports.size() == Count; }));
    for (int i = 0; i < Count; ++i)
        ASSERT_EQ(reports.at(i).at(0).value<Report>()[1], static_cast<std::uint8_t>(i));
}

TEST_F(HidrawDeviceTest, UnplugWhileReadingClosesOnceAfterDeliveringWhatCame) {
    QSignalSpy reports(&device, &HidrawDevice::reportReceived);
    QSignalSpy failures(&device, &HidrawDevice::failed);
    boardSends(counting(32, 1));
    boardUnplugs();

    ASSERT_TRUE(WaitUntil([&] { return failures.size() == 1; }));
    EXPECT_EQ(reports.size(), 1) << "the report sent before the unplug still arrives";
    EXPECT_EQ(failures.at(0).at(0).toInt(), ENODEV);
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.write(Report{}), hid::WriteResult::Refused);
    testsupport::DrainEvents();
    EXPECT_EQ(failures.size(), 1);
}

TEST(HidrawDeviceClosed, ListedButNotOpenedDeviceRefusesWrites) {
    HidrawDevice keyboard(
        hid::DeviceInfo{0x046d, 0xc31c, "Logitech", "Keyboard", "", "/dev/hidraw0", "", {}});
    EXPECT_FALSE(keyboard.isOpen());
    EXPECT_EQ(keyboard.write(Report{}), hid::WriteResult::Refused);
    EXPECT_EQ(keyboard.info().path, "/dev/hidraw0");
}

// --- The device's threads against a node that answers as the test says -----------------------

class ScriptedNode : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
        ASSERT_TRUE(device.attach(fds[0], ScriptedCalls(script)));
        board = fds[1];
    }
    void TearDown() override {
        script->release();
        ::close(board);
    }
    static Report command(std::uint8_t code) {
        Report report{};
        report[1] = code;
        return report;
    }
    /// The completions so far, as "code:errno" (errno 0 when sent).
    static std::vector<std::string> outcomes(const QSignalSpy& spy) {
        std::vector<std::string> list;
        for (const auto& call : spy)
            list.push_back(std::to_string(call.at(0).value<Report>()[1]) + ":" +
                           std::to_string(call.at(1).toBool() ? 0 : call.at(2).toInt()));
        return list;
    }

    std::shared_ptr<NodeScript> script = std::make_shared<NodeScript>();
    HidrawDevice device{
        hid::DeviceInfo{0x1234, 0x0001, "ZOV", "Board", "1", "/dev/hidraw7", "", {}}};
    int board = -1;
};

// Only a write error that means the board is gone closes the device; any other fails that
// report alone.
TEST_F(ScriptedNode, WriteErrorsThatDoNotMeanGoneFailThatReportAlone) {
    script->failWrites(1, ETIMEDOUT);
    script->failWrites(2, EPIPE);
    script->failWrites(3, EPROTO);
    script->failWrites(4, EILSEQ);
    QSignalSpy completions(&device, &HidrawDevice::writeCompleted);
    QSignalSpy failures(&device, &HidrawDevice::failed);
    for (std::uint8_t code = 1; code <= 5; ++code)
        ASSERT_EQ(device.write(command(code)), hid::WriteResult::Queued);

    ASSERT_TRUE(WaitUntil([&] { return completions.size() == 5; }));
    EXPECT_EQ(outcomes(completions),
              (std::vector<std::string>{"1:" + std::to_string(ETIMEDOUT),
                                        "2:" + std::to_string(EPIPE), "3:" + std::to_string(EPROTO),
                                        "4:" + std::to_string(EILSEQ), "5:0"}));
    EXPECT_EQ(failures.size(), 0);
    EXPECT_TRUE(device.isOpen());
}

class GoneOnWrite : public ScriptedNode, public ::testing::WithParamInterface<int> {};

TEST_P(GoneOnWrite, ClosesTheDeviceAndFailsWhatWasQueuedBehind) {
    script->failWrites(1, GetParam());
    QSignalSpy completions(&device, &HidrawDevice::writeCompleted);
    QSignalSpy failures(&device, &HidrawDevice::failed);
    for (std::uint8_t code = 1; code <= 3; ++code)
        ASSERT_EQ(device.write(command(code)), hid::WriteResult::Queued);

    ASSERT_TRUE(WaitUntil([&] { return failures.size() == 1; }));
    EXPECT_EQ(failures.at(0).at(0).toInt(), GetParam());
    EXPECT_FALSE(device.isOpen());
    const std::string canceled = std::to_string(ECANCELED);
    EXPECT_EQ(outcomes(completions), (std::vector<std::string>{"1:" + std::to_string(GetParam()),
                                                               "2:" + canceled, "3:" + canceled}))
        << "every report is accounted for, and before the failure";
}

INSTANTIATE_TEST_SUITE_P(HidrawDevice, GoneOnWrite, ::testing::Values(ENODEV, ESHUTDOWN));

class GoneOnRead : public ScriptedNode, public ::testing::WithParamInterface<int> {};

TEST_P(GoneOnRead, ClosesTheDevice) {
    QSignalSpy failures(&device, &HidrawDevice::failed);
    script->failReads(GetParam());
    const std::uint8_t wake[32] = {4};
    ASSERT_EQ(::send(board, wake, sizeof wake, MSG_NOSIGNAL), 32);

    ASSERT_TRUE(WaitUntil([&] { return failures.size() == 1; }));
    EXPECT_EQ(failures.at(0).at(0).toInt(), GetParam());
    EXPECT_FALSE(device.isOpen());
}

INSTANTIATE_TEST_SUITE_P(HidrawDevice, GoneOnRead, ::testing::Values(EIO, ENODEV));

// hidraw's write waits for the board: one that did not answer froze the window for 5 s a
// report, and its close with it.
TEST_F(ScriptedNode, AWriteTheKernelHoldsNeitherStopsTheEventLoopNorTheClose) {
    script->blockWrites(9);
    QSignalSpy completions(&device, &HidrawDevice::writeCompleted);
    ASSERT_EQ(device.write(command(9)), hid::WriteResult::Queued);
    ASSERT_TRUE(WaitUntil([&] { return script->isBlocked(); }));

    // The window goes on: its timer ticks, and reports queue up to the limit, then are refused.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(std::chrono::milliseconds(5));
    // The one being written counts towards the limit.
    for (std::size_t i = 1; i < HidrawDevice::WriteQueueLimit; ++i)
        ASSERT_EQ(device.write(command(10)), hid::WriteResult::Queued) << i;
    EXPECT_EQ(device.write(command(11)), hid::WriteResult::Refused);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 5; }));
    EXPECT_TRUE(completions.isEmpty());

    // Board input still arrives while the write hangs.
    QSignalSpy reports(&device, &HidrawDevice::reportReceived);
    const std::uint8_t answer[32] = {13};
    ASSERT_EQ(::send(board, answer, sizeof answer, MSG_NOSIGNAL), 32);
    EXPECT_TRUE(WaitUntil([&] { return reports.size() == 1; }));

    device.close();
    EXPECT_TRUE(script->isBlocked() && !script->returned()) << "close did not wait for the write";
    ASSERT_EQ(completions.size(), static_cast<int>(HidrawDevice::WriteQueueLimit));
    EXPECT_EQ(completions.at(0).at(0).value<Report>()[1], 9);
    for (const auto& call : completions) {
        EXPECT_FALSE(call.at(1).toBool());
        EXPECT_EQ(call.at(2).toInt(), ECANCELED);
    }

    // When the kernel lets go, the abandoned thread ends without a word.
    script->release();
    ASSERT_TRUE(WaitUntil([&] { return script->returned(); }));
    testsupport::DrainEvents();
    EXPECT_EQ(completions.size(), static_cast<int>(HidrawDevice::WriteQueueLimit));
}

// A report the kernel was still writing when the device closed was told failed, though the
// board got it: the trace said `fail` for a report that went out.
TEST_F(ScriptedNode, AWriteTheKernelFinishesDuringTheCloseIsToldSent) {
    script->blockWrites(9);
    script->slowWrite = std::chrono::milliseconds(20); // well within the close's grace
    QSignalSpy completions(&device, &HidrawDevice::writeCompleted);
    ASSERT_EQ(device.write(command(9)), hid::WriteResult::Queued);
    ASSERT_EQ(device.write(command(10)), hid::WriteResult::Queued);
    ASSERT_TRUE(WaitUntil([&] { return script->isBlocked(); }));

    device.close();
    EXPECT_EQ(outcomes(completions),
              (std::vector<std::string>{"9:0", "10:" + std::to_string(ECANCELED)}));
}

// A check's end gives up what it no longer waits for, so that every report is settled before
// its counts are taken: the one being written goes on, the others are cancelled at once.
TEST_F(ScriptedNode, CancellingQueuedWritesLeavesTheOneUnderWay) {
    script->blockWrites(9);
    QSignalSpy completions(&device, &HidrawDevice::writeCompleted);
    for (const std::uint8_t code : {9, 10, 11})
        ASSERT_EQ(device.write(command(code)), hid::WriteResult::Queued);
    ASSERT_TRUE(WaitUntil([&] { return script->isBlocked(); }));

    device.cancelQueuedWrites();
    const std::string canceled = std::to_string(ECANCELED);
    EXPECT_EQ(outcomes(completions),
              (std::vector<std::string>{"10:" + canceled, "11:" + canceled}));
    script->release();
    ASSERT_TRUE(WaitUntil([&] { return completions.size() == 3; }));
    EXPECT_EQ(outcomes(completions).back().substr(0, 2), "9:")
        << "the one under way ends as written";
    testsupport::DrainEvents();
    EXPECT_EQ(completions.size(), 3) << "what was cancelled is never written";
}

// --- Input while the GUI thread is busy -----------------------------------------------------

/// A socket pair whose board end holds about as many reports as the kernel keeps for a
/// hidraw reader (64); the board's sends fail when it is full, as the kernel drops them.
struct SmallQueuePair {
    static constexpr int BoardBuffer = 24576;
    SmallQueuePair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) return;
        console = fds[0];
        board = fds[1];
        ::setsockopt(board, SOL_SOCKET, SO_SNDBUF, &BoardBuffer, sizeof BoardBuffer);
    }
    ~SmallQueuePair() {
        if (board >= 0) ::close(board);
    }
    /// Reports of 32 bytes the board end takes before it is full, nobody reading.
    static int capacity() {
        SmallQueuePair pair;
        int count = 0;
        const std::uint8_t report[32] = {};
        while (::send(pair.board, report, sizeof report, MSG_DONTWAIT | MSG_NOSIGNAL) > 0)
            ++count;
        ::close(pair.console);
        return count;
    }
    int console = -1; // handed to the device, which closes it
    int board = -1;
};

/// Keeps the calling thread busy, without the event loop, for `span`.
void BusyFor(std::chrono::milliseconds span) {
    const auto until = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < until) {
    }
}

// Reports were read only when the window's thread was free, so the kernel's queue overflowed
// behind a busy window and reports vanished without a trace. How many the stand-in queue had to
// refuse depends on how fast this machine reads (bench/ measures that); every report it took must
// reach the window, in order, or be counted lost.
TEST(HidrawDeviceInput, AThousandReportsASecondAllArriveWhileTheGuiThreadIsBusy) {
    constexpr auto Busy = std::chrono::milliseconds(200);
    const int capacity = SmallQueuePair::capacity();
    ASSERT_LT(capacity, 150) << "the stand-in queue must overflow if nobody read while busy";

    SmallQueuePair pair;
    HidrawDevice device(
        hid::DeviceInfo{0x1234, 0x0001, "ZOV", "Board", "1", "/dev/hidraw7", "", {}});
    ASSERT_TRUE(device.attach(pair.console));
    std::vector<std::uint16_t> received;
    std::uint64_t lost = 0;
    QObject::connect(&device, &HidrawDevice::reportReceived, [&](const Report& report) {
        received.push_back(static_cast<std::uint16_t>(report[1] | report[2] << 8));
    });
    QObject::connect(&device, &HidrawDevice::reportsLost, [&](quint64 count) { lost += count; });

    constexpr int Count = 1000;
    std::vector<std::uint16_t> taken; // by the stand-in queue; read once the feeder is done
    std::atomic<int> droppedByTheQueue{0};
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < Count; ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(i));
            const std::uint8_t report[32] = {static_cast<std::uint8_t>(i & 0xFF),
                                             static_cast<std::uint8_t>(i >> 8)};
            if (::send(pair.board, report, sizeof report, MSG_DONTWAIT | MSG_NOSIGNAL) < 0)
                ++droppedByTheQueue;
            else
                taken.push_back(static_cast<std::uint16_t>(i));
        }
        feeding = false;
    });
    // The window's thread is busy 200 ms of every 250 while the reports come.
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [&] { BusyFor(Busy); });
    busy.start(std::chrono::milliseconds(50));
    const bool allCame =
        WaitUntil([&] { return !feeding && received.size() + lost + droppedByTheQueue == Count; },
                  std::chrono::seconds(20));
    busy.stop();
    feeder.join();

    ASSERT_TRUE(allCame) << received.size() << " arrived, " << lost << " counted lost";
    ASSERT_EQ(received.size() + lost, taken.size());
    if (lost == 0) {
        EXPECT_EQ(received, taken);
    } else { // in order, none twice, only what was sent
        EXPECT_TRUE(std::adjacent_find(received.begin(), received.end(), std::greater_equal<>()) ==
                    received.end());
        EXPECT_TRUE(std::includes(taken.begin(), taken.end(), received.begin(), received.end()));
    }
}

// The hand-off to a GUI thread that has stopped must not grow without bound, nor lose
// reports without counting them.
TEST(HidrawDeviceInput, ReportsBeyondTheHandOffLimitAreCountedAsLost) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
    HidrawDevice device(
        hid::DeviceInfo{0x1234, 0x0001, "ZOV", "Board", "1", "/dev/hidraw7", "", {}});
    ASSERT_TRUE(device.attach(fds[0]));
    std::vector<std::uint16_t> received;
    std::uint64_t lost = 0;
    QObject::connect(&device, &HidrawDevice::reportReceived, [&](const Report& report) {
        received.push_back(static_cast<std::uint16_t>(report[1] | report[2] << 8));
    });
    QObject::connect(&device, &HidrawDevice::reportsLost, [&](quint64 count) { lost += count; });

    constexpr int Count = static_cast<int>(HidrawDevice::HandOffLimit) + 500;
    // The GUI thread waits for the whole burst without running its event loop.
    std::thread([&] {
        for (int i = 0; i < Count; ++i) {
            const std::uint8_t report[32] = {static_cast<std::uint8_t>(i & 0xFF),
                                             static_cast<std::uint8_t>(i >> 8)};
            ::send(fds[1], report, sizeof report, MSG_NOSIGNAL); // blocks while the socket is full
        }
    }).join();

    ASSERT_TRUE(WaitUntil([&] { return received.size() + lost == Count; }));
    EXPECT_GT(lost, 0u);
    ASSERT_GE(received.size(), HidrawDevice::HandOffLimit);
    for (std::size_t i = 0; i < HidrawDevice::HandOffLimit; ++i)
        ASSERT_EQ(received[i], i) << "the oldest are kept, in order";
    EXPECT_TRUE(std::is_sorted(received.begin(), received.end()));
    ::close(fds[1]);
}

} // namespace
