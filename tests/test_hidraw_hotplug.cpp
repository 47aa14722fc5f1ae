// A hidraw source finds boards as they come and go: by re-scans, udev removals and its own
// periodic looks.
#include "support/HidrawSourceFixture.h"

#include <QElapsedTimer>

using hidraw::HidrawOptions;
using testsupport::WaitUntil;

namespace {

TEST_F(HidrawSourceTest, EveryHidDeviceIsListedButOnlyTheBoardIsOpened) {
    system.attached = {Keyboard, Board, Mouse};
    start();

    EXPECT_EQ(layer.GetItemCount(), 3);
    EXPECT_EQ(system.opened, (std::vector<std::string>{Board.path}));
    ASSERT_NE(board(), 0);
    char name[255];
    ASSERT_TRUE(layer.GetProductName(board(), name));
    EXPECT_STREQ(name, "ZOV-USB");
    EXPECT_TRUE(source->device(Board.path)->isOpen());
    EXPECT_FALSE(source->device(Keyboard.path)->isOpen());
    EXPECT_TRUE(system.warnings.empty());
}

TEST_F(HidrawSourceTest, RescanAnnouncesArrivalsAndRemovals) {
    system.attached = {Keyboard};
    start();
    ASSERT_EQ(board(), 0);

    system.plug(Board);
    rescan();
    const hid::Handle handle = board();
    ASSERT_NE(handle, 0);
    EXPECT_EQ(layer.GetItemCount(), 2);
    EXPECT_EQ(system.opened, (std::vector<std::string>{Board.path}));

    system.unplug(Board.path);
    rescan();
    EXPECT_EQ(board(), 0);
    EXPECT_EQ(layer.GetItemCount(), 1);
    EXPECT_EQ(layer.GetVendorID(handle), BoardVendor) << "ids still answer after the removal";
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; }));
    EXPECT_EQ(window.log().back(), "window 3:0") << "then the list changed";
}

TEST_F(HidrawSourceTest, UdevRemovalIsMatchedByNode) {
    system.attached = {Keyboard, Board};
    start();
    const hid::Handle handle = layer.GetHandle(Keyboard.vendorId, Keyboard.productId);
    // udev reports the removal before the enumeration shows it, with the node alone.
    source->removeNode(Keyboard.path);
    EXPECT_EQ(layer.GetItemCount(), 1);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; }));
    EXPECT_EQ(window.log()[window.log().size() - 2], "window 2:" + std::to_string(handle));

    system.unplug(Keyboard.path);
    rescan();
    system.plug(Keyboard);
    rescan();
    EXPECT_EQ(layer.GetItemCount(), 2) << "plugged in again on the same node";
}

// udev can report a board's removal so late that a scan has found the next board on its node
// meanwhile: that board stays, and its answers come in.
TEST_F(HidrawSourceTest, LateUdevRemovalLeavesTheNextBoardOnTheNode) {
    system.attached = {Board};
    start();
    system.closeBoardEnd(Board.path); // unplugged: the kernel hangs up the open node at once
    ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));
    hid::DeviceInfo next = Board;
    next.serialNumber = "B2";
    system.list({next});
    rescan();
    const hid::Handle handle = board();
    ASSERT_NE(handle, 0);

    source->removeNode(Board.path); // the first board's removal, from udev
    rescan();                       // the next board's arrival, from udev
    ASSERT_EQ(board(), handle);
    ASSERT_TRUE(layer.SetReadNotify(handle, true));
    const std::uint8_t answer[32] = {4, 77};
    ASSERT_EQ(::send(system.boardEnd.at(Board.path), answer, sizeof answer, MSG_NOSIGNAL), 32);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventRead) == 1; }));
    EXPECT_EQ(window.count(hid::HIDEventUnplugged), 1);
}

TEST_F(HidrawSourceTest, UnplugWhileReadingRemovesTheBoardOnce) {
    system.attached = {Board};
    HidrawOptions options = manualOptions();
    options.openRetries = 0; // a failed open would be told at once
    start(options);
    ASSERT_NE(board(), 0);
    system.closeBoardEnd(Board.path); // the node hangs up while the notifier watches it

    ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));
    EXPECT_EQ(source->device(Board.path), nullptr);
    // sysfs still lists the node for a moment: it must not come back as a new board.
    system.failOpens(Board.path, {ENODEV});
    rescan();
    EXPECT_EQ(board(), 0);
    testsupport::DrainEvents();
    EXPECT_EQ(window.count(hid::HIDEventUnplugged), 1);
    EXPECT_EQ(window.count(hid::HIDEventPlugged), 1);
    EXPECT_TRUE(listener.problems.empty()) << "a node gone when opened is an unplug";
    EXPECT_TRUE(system.warnings.empty());
}

TEST_F(HidrawSourceTest, BoardPluggedAgainOnTheSameNodeBetweenScansComesBack) {
    system.attached = {Board};
    start();
    system.closeBoardEnd(Board.path);
    ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));

    // Same node, same details: only a successful open tells the new plug from the old one.
    rescan();
    EXPECT_NE(board(), 0);
    EXPECT_EQ(system.opened.size(), 2u);
}

TEST_F(HidrawSourceTest, AutoModeFindsAPlugWhetherOrNotUdevSpeaks) {
    HidrawOptions options =
        boardOptions(); // Auto: the monitor where udev runs, with a safety re-scan beside it
    options.rescanInterval = std::chrono::milliseconds(20);
    options.safetyRescanInterval = std::chrono::milliseconds(20);
    start(options);
    system.list({Board}); // no udev event comes for a fake
    EXPECT_TRUE(WaitUntil([&] { return board() != 0; }));
}

TEST_F(HidrawSourceTest, PeriodicRescanFindsPlugAndUnplugAndRunsNoMoreOftenThanAsked) {
    HidrawOptions options = boardOptions();
    options.hotplug = HidrawOptions::Hotplug::Rescan; // as where no udev daemon runs
    options.rescanInterval = std::chrono::milliseconds(100);
    system.attached = {Keyboard};
    start(options);
    EXPECT_FALSE(source->usesUdevMonitor());

    QElapsedTimer clock;
    clock.start();
    system.plug(Board);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventPlugged) == 2; }));
    system.unplug(Board.path);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; }));
    // Never more often than the interval: the first enumeration plus one per full interval.
    // A slow machine only makes fewer.
    EXPECT_LE(system.enumerationCount(), 1 + clock.elapsed() / 100 + 1);
    EXPECT_EQ(layer.GetItemCount(), 1);
}

} // namespace
