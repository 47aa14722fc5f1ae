// The source enumerates and opens on a call thread of its own: an open that waits never holds
// up the window.
#include "support/HidrawSourceFixture.h"

#include <QTimer>
#include <mutex>
#include <thread>

using hid::DeviceManager;
using hidraw::HidrawSource;
using testsupport::OpenGate;
using testsupport::WaitUntil;

namespace {

TEST_F(HidrawSourceTest, TheGuiThreadNeverEnumeratesOpensOrAsksANode) {
    system.attached = {Keyboard, Board};
    start();
    system.unplug(Board.path);
    rescan();
    system.failOpens(Board.path, {EACCES});
    system.plug(Board);
    rescan();
    system.allowOpens(Board.path);
    retryUnopened();
    ASSERT_NE(board(), 0);
    const std::lock_guard lock(system.mutex);
    EXPECT_EQ(system.callers.size(), 1u) << "one call thread, for the life of the source";
    EXPECT_FALSE(system.callers.count(std::this_thread::get_id()));
}

TEST_F(HidrawSourceTest, AnOpenThatWaitsLeavesTheEventLoopRunning) {
    OpenGate gate;
    system.attached = {Board};
    startWithOpensHeldAt(gate);

    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(std::chrono::milliseconds(5));
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 5; }));
    EXPECT_TRUE(gate.holdsOne()) << "the open was still under way";
    EXPECT_FALSE(source->isSettled());
    EXPECT_EQ(board(), 0);
    EXPECT_EQ(window.count(hid::HIDEventPlugged), 0);

    gate.open();
    settle();
    EXPECT_NE(board(), 0);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventPlugged) == 1; }));
}

TEST_F(HidrawSourceTest, ANodeThatLeavesWhileBeingOpenedIsNotAnnouncedAndItsNodeIsClosed) {
    OpenGate gate;
    system.attached = {Board};
    startWithOpensHeldAt(gate);
    source->removeNode(Board.path); // udev: unplugged while the open waits
    gate.open();
    settle();
    EXPECT_EQ(board(), 0);
    std::uint8_t byte;
    ASSERT_EQ(system.opened.size(), 1u);
    EXPECT_EQ(::recv(system.boardEnd.at(Board.path), &byte, 1, MSG_DONTWAIT), 0)
        << "the node it opened was closed";

    // Unplugged and plugged in again while the open waits: the new plug is opened anew.
    gate.close();
    source->rescan();
    ASSERT_TRUE(WaitUntil([&] { return gate.holdsOne(); }));
    source->removeNode(Board.path);
    source->rescan(); // the board listed again
    gate.open();
    settle();
    EXPECT_NE(board(), 0);
    EXPECT_EQ(system.opened.size(), 3u);
    testsupport::DrainEvents();
    EXPECT_EQ(window.count(hid::HIDEventPlugged), 1);
}

// udevadm trigger while the open that found no rights was still under way: the board stayed
// offline until the next trigger.
TEST_F(HidrawSourceTest, ARightsChangeWhileAFailingOpenIsUnderWayIsTriedAgain) {
    OpenGate gate;
    system.failOpens(Board.path, {EACCES});
    system.attached = {Board};
    startWithOpensHeldAt(gate);
    system.allowOpens(Board.path); // too late for the open under way
    source->retryUnopened();       // the change event
    gate.open();
    settle();
    EXPECT_NE(board(), 0);
    EXPECT_EQ(system.attemptsAt(Board.path), 2);
}

TEST_F(HidrawSourceTest, ASourceGoneWhileAnOpenWaitsDoesNotWaitForIt) {
    OpenGate gate;
    system.beforeAnswer = [&](const std::string&) { gate.pass(); };
    system.attached = {Board};
    auto other = std::make_unique<DeviceManager>();
    other->addSource(std::make_unique<HidrawSource>(manualOptions(), system.backend()));
    ASSERT_TRUE(WaitUntil([&] { return gate.holdsOne(); }));
    other.reset();
    EXPECT_TRUE(gate.holdsOne()) << "gone without waiting for the open";

    gate.open();
    std::uint8_t byte;
    EXPECT_TRUE(WaitUntil([&] {
        const std::lock_guard lock(system.mutex);
        return system.boardEnd.count(Board.path) &&
               ::recv(system.boardEnd.at(Board.path), &byte, 1, MSG_DONTWAIT) == 0;
    })) << "the node opened late was closed";
}

} // namespace
