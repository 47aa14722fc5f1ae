#include "hid/HidrawDevice.h"
#include "support/EventLoop.h"

#include <QSignalSpy>
#include <array>
#include <cerrno>
#include <gtest/gtest.h>
#include <numeric>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using hid::HidrawDevice;
using hid::Report;
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

    HidrawDevice device{hid::DeviceInfo{0x1234, 0x0001, "ZOV", "Board", "1", "/dev/hidraw7", {}}};
    int board = -1;
};

TEST_F(HidrawDeviceTest, OutputReportGoesOutAsAll33BytesWithTheReportIdFirst) {
    Report report{};
    std::iota(report.begin() + 1, report.end(), std::uint8_t{100});
    ASSERT_TRUE(device.write(report));

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
    // More than one wake-up's worth, so the notifier has to come back for the rest.
    constexpr int Count = HidrawDevice::MaxReadsPerWakeup * 2 + 5;
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
    EXPECT_FALSE(device.write(Report{}));
    testsupport::DrainEvents();
    EXPECT_EQ(failures.size(), 1);
}

TEST_F(HidrawDeviceTest, WriteToAnUnpluggedDeviceFailsItFromTheEventLoop) {
    QSignalSpy failures(&device, &HidrawDevice::failed);
    // The reading side would notice too; stop it so the write is what finds the loss.
    boardUnplugs();
    ASSERT_FALSE(device.write(Report{})); // must not raise SIGPIPE either
    EXPECT_EQ(failures.size(), 0) << "not inside the caller's write";
    ASSERT_TRUE(WaitUntil([&] { return failures.size() == 1; }));
    EXPECT_FALSE(device.isOpen());
    testsupport::DrainEvents();
    EXPECT_EQ(failures.size(), 1);
}

TEST(HidrawDeviceClosed, ListedButNotOpenedDeviceRefusesWrites) {
    HidrawDevice keyboard(
        hid::DeviceInfo{0x046d, 0xc31c, "Logitech", "Keyboard", "", "/dev/hidraw0", {}});
    EXPECT_FALSE(keyboard.isOpen());
    EXPECT_FALSE(keyboard.write(Report{}));
    EXPECT_EQ(keyboard.info().path, "/dev/hidraw0");
}

} // namespace
