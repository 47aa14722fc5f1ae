// Reports both ways between the layer and a hidraw node, and the read and write errors that
// keep the board or remove it.
#include "support/HidrawSourceFixture.h"

#include <cerrno>
#include <cstring>

using hid::Report;
using testsupport::WaitUntil;

namespace {

TEST_F(HidrawSourceTest, ReportsTravelBothWaysThroughTheLayer) {
    system.attached = {Board};
    start();
    const hid::Handle handle = board();
    ASSERT_TRUE(layer.SetReadNotify(handle, true));
    const int boardEnd = system.boardEnd.at(Board.path);

    Report out{};
    out[1] = 13;
    out[23] = 1;
    ASSERT_TRUE(layer.WriteEx(BoardVendor, BoardProduct, out));
    const std::vector<std::uint8_t> wire = boardReceives();
    ASSERT_EQ(wire.size(), 33u);
    EXPECT_EQ(wire[0], 0);
    EXPECT_EQ(wire[1], 13);
    EXPECT_EQ(wire[23], 1);
    ASSERT_TRUE(WaitUntil([&] { return !listener.directions.empty(); }));
    EXPECT_EQ(listener.directions, std::vector<std::string>{"out 13"});

    std::uint8_t answer[32] = {13};
    answer[19] = 0x5A; // lands at index 20 of the report
    ASSERT_EQ(::send(boardEnd, answer, sizeof answer, MSG_NOSIGNAL), 32);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventRead) == 1; }));
    Report in;
    in.fill(0xFF);
    ASSERT_TRUE(layer.Read(handle, in));
    EXPECT_EQ(in[0], 0);
    EXPECT_EQ(in[1], 13);
    EXPECT_EQ(in[20], 0x5A);
}

// A timed-out or stalled write was taken for an unplug: "HID Device Unplugged" with the board in.
TEST_F(HidrawSourceTest, WriteErrorsKeepTheBoardAndAreToldOncePerKind) {
    system.attached = {Board};
    start();
    system.script->failWrites(1, ETIMEDOUT);
    system.script->failWrites(2, EPIPE);
    const hid::Handle handle = board();
    for (std::uint8_t code : {1, 1, 2, 3}) {
        Report report{};
        report[1] = code;
        ASSERT_TRUE(layer.WriteEx(BoardVendor, BoardProduct, report));
    }
    ASSERT_TRUE(WaitUntil([&] { return listener.directions.size() == 4; }));
    EXPECT_EQ(listener.directions,
              (std::vector<std::string>{"fail 1", "fail 1", "fail 2", "out 3"}));
    EXPECT_EQ(board(), handle) << "still attached";
    EXPECT_EQ(layer.failedReports(), 3u);
    ASSERT_EQ(system.warnings.size(), 2u);
    EXPECT_NE(system.warnings[0].find(Board.path), std::string::npos);
    EXPECT_NE(system.warnings[0].find(std::strerror(ETIMEDOUT)), std::string::npos);
    EXPECT_NE(system.warnings[1].find(std::strerror(EPIPE)), std::string::npos);
    testsupport::DrainEvents();
    EXPECT_EQ(window.count(hid::HIDEventUnplugged), 0);
}

TEST_F(HidrawSourceTest, WriteEnodevRemovesTheBoard) {
    system.attached = {Board};
    start();
    system.script->failWrites(1, ENODEV);
    Report report{};
    report[1] = 1;
    ASSERT_TRUE(layer.WriteEx(BoardVendor, BoardProduct, report));
    ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));
    EXPECT_EQ(listener.directions, std::vector<std::string>{"fail 1"})
        << "a report that never left is not 'out'";
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; }));
    EXPECT_TRUE(system.warnings.empty()) << "the unplug speaks for itself";
}

TEST_F(HidrawSourceTest, ReadEioRemovesTheBoard) {
    system.attached = {Board};
    start();
    system.script->failReads(EIO);
    const std::uint8_t wake[32] = {4};
    ASSERT_EQ(::send(system.boardEnd.at(Board.path), wake, sizeof wake, MSG_NOSIGNAL), 32);
    ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; }));
}

} // namespace
