// Opening a board's node: retries, refusals told once, and the advice that fixes a missing
// permission.
#include "hidraw/NodeProblems.h"
#include "support/HidrawSourceFixture.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

using hid::DeviceInfo;
using hid::Report;
using hidraw::HidrawOptions;
using testsupport::WaitUntil;

namespace {

TEST_F(HidrawSourceTest, OpenIsRetriedRightAfterAPlug) {
    start();
    system.failOpens(Board.path, {EACCES, EACCES, EACCES});
    system.list({Board});
    rescan();
    EXPECT_EQ(board(), 0) << "announced only once it opens";
    EXPECT_TRUE(system.opened.empty());

    system.allowOpens(Board.path);
    ASSERT_TRUE(WaitUntil([&] { return board() != 0; }));
    EXPECT_TRUE(source->device(Board.path)->isOpen());
    testsupport::DrainEvents();
    EXPECT_TRUE(system.warnings.empty());
    EXPECT_TRUE(listener.problems.empty()) << "udev had not set the rights yet: no problem";
}

// A board that could not be opened was shown ONLINE, and only a replug tried it again.
TEST_F(HidrawSourceTest, PermissionDeniedAfterTheRetriesIsToldOnceAndNotAnnounced) {
    HidrawOptions options = manualOptions();
    options.openRetries = 4;
    start(options);
    system.failOpens(Board.path, {EACCES});
    // Each open takes longer than the retry interval: the retries must still be counted.
    system.beforeAnswer = [](const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    };
    system.list({Keyboard, Board});
    rescan();

    ASSERT_TRUE(WaitUntil([&] { return !system.warnings.empty(); }));
    EXPECT_EQ(system.attemptsAt(Board.path), 1 + 4 + 1) << "and one more look to be sure";
    EXPECT_EQ(system.warnings, (std::vector<std::string>{hidraw::permissionMessage(Board.path)}));
    ASSERT_EQ(listener.problems.size(), 1u);
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::NoPermission);
    EXPECT_EQ(listener.problems[0].node, Board.path);
    EXPECT_EQ(board(), 0);
    EXPECT_EQ(layer.GetItemCount(), 1) << "only the keyboard counts";
    EXPECT_EQ(window.count(hid::HIDEventPlugged), 1);
    EXPECT_FALSE(layer.WriteEx(BoardVendor, BoardProduct, Report{}));

    // Plugged in again, still without permission: nothing told twice.
    system.unplug(Board.path);
    rescan();
    system.plug(Board);
    rescan();
    ASSERT_TRUE(WaitUntil([&] { return system.attemptsAt(Board.path) >= 2 * (1 + 4); }));
    testsupport::DrainEvents();
    EXPECT_EQ(board(), 0);
    EXPECT_EQ(system.warnings.size(), 1u);
    EXPECT_EQ(listener.problems.size(), 1u);
}

TEST_F(HidrawSourceTest, BoardPresentAtStartWithoutPermissionIsToldFromTheEventLoop) {
    system.attached = {Keyboard, Board};
    system.failOpens(Board.path, {EACCES});
    startUnsettled(manualOptions());
    EXPECT_TRUE(listener.problems.empty()) << "observers added after the source still hear it";
    settle();
    testsupport::DrainEvents();
    EXPECT_EQ(system.warnings, (std::vector<std::string>{hidraw::permissionMessage(Board.path)}));
    ASSERT_EQ(listener.problems.size(), 1u);
    const std::string& message = listener.problems[0].message;
    EXPECT_NE(message.find(Board.path), std::string::npos);
    EXPECT_NE(message.find(hidraw::UdevRuleFile), std::string::npos);
    EXPECT_NE(message.find("sudo udevadm control --reload-rules && sudo udevadm trigger"),
              std::string::npos);
    EXPECT_EQ(layer.GetItemCount(), 1) << "the program carries on, without the board";
}

// Neither fixing the node's mode nor udevadm trigger brought the board online without a replug.
TEST_F(HidrawSourceTest, UnusableBoardComesOnlineOnTheNextRescanOrChangeEvent) {
    system.attached = {Board};
    system.failOpens(Board.path, {EACCES});
    start();
    rescan();
    EXPECT_EQ(board(), 0);

    system.allowOpens(Board.path); // the rule installed, or the mode fixed
    retryUnopened();               // what a udev change event does
    EXPECT_NE(board(), 0);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventPlugged) == 1; }));
    EXPECT_TRUE(source->device(Board.path)->isOpen());

    // And through a re-scan, after the board was taken away and given back without rights.
    system.unplug(Board.path);
    rescan();
    system.failOpens(Board.path, {EPERM});
    system.list({Board});
    rescan();
    ASSERT_TRUE(WaitUntil([&] { return system.attemptsAt(Board.path) >= 1 + 1 + 10 + 1; }));
    EXPECT_EQ(board(), 0);
    system.allowOpens(Board.path);
    rescan();
    EXPECT_NE(board(), 0);
}

TEST_F(HidrawSourceTest, UnusableBoardIsRetriedOnATimerWhileUdevRuns) {
    HidrawOptions options = boardOptions();
    options.hotplug = HidrawOptions::Hotplug::UdevMonitor;
    options.rescanInterval = std::chrono::milliseconds(20);
    const DeviceInfo numbered{BoardVendor, BoardProduct,   "ZOV", "ZOV-USB",
                              "B2",        "/dev/hidraw4", "",    {}};
    system.attached = {Board, numbered};
    system.failOpens(Board.path, {EACCES});
    system.details[numbered.path] = hidraw::NodeDetails{BoardVendor, BoardProduct, WithReportId()};
    options.confirmInterval = std::chrono::milliseconds(10);
    start(options);
    ASSERT_TRUE(source->usesUdevMonitor()); // a quiet one where the machine has no netlink
    const int atStart = system.attemptsAt(Board.path);
    ASSERT_TRUE(WaitUntil([&] { return system.attemptsAt(Board.path) >= atStart + 3; }));
    // Opening a board refused for its format wakes the USB device: only events and re-scans do,
    // besides the second look that confirms it.
    EXPECT_EQ(system.attemptsAt(numbered.path), 2);
    system.allowOpens(Board.path); // chmod makes no udev event
    EXPECT_TRUE(WaitUntil([&] { return board() != 0; }));
}

TEST_F(HidrawSourceTest, OtherOpenFailuresNameTheNodeAndTheError) {
    system.attached = {Board,
                       {BoardVendor, BoardProduct, "ZOV", "ZOV-USB", "B2", "/dev/hidraw4", "", {}}};
    system.failOpens(Board.path, {EBUSY});
    system.failOpens("/dev/hidraw4", {EIO});
    start();
    testsupport::DrainEvents();
    ASSERT_EQ(listener.problems.size(), 2u);
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::Busy);
    EXPECT_NE(listener.problems[0].message.find(Board.path), std::string::npos);
    EXPECT_EQ(listener.problems[1].kind, hid::DeviceProblem::Kind::OpenFailed);
    EXPECT_NE(listener.problems[1].message.find("/dev/hidraw4"), std::string::npos);
    EXPECT_NE(listener.problems[1].message.find(std::strerror(EIO)), std::string::npos);
    ASSERT_EQ(system.warnings.size(), 2u);
    EXPECT_EQ(system.warnings[1], "zov-usb-test: " + listener.problems[1].message);
    EXPECT_EQ(layer.GetItemCount(), 0);
}

// A node freed and taken by another device during the open retries was driven as the board.
TEST_F(HidrawSourceTest, NodeThatAnswersOtherIdsIsClosedAndNotUsed) {
    system.attached = {Board};
    system.details[Board.path] =
        hidraw::NodeDetails{0x046d, 0xc077, testsupport::BoardReportDescriptor()};
    start();
    testsupport::DrainEvents();
    EXPECT_EQ(board(), 0);
    ASSERT_EQ(listener.problems.size(), 1u);
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::WrongIdentity);
    EXPECT_NE(listener.problems[0].message.find("0x046d"), std::string::npos);
    std::uint8_t byte;
    EXPECT_EQ(::recv(system.boardEnd.at(Board.path), &byte, 1, MSG_DONTWAIT), 0)
        << "the node was closed";

    system.details.erase(Board.path); // the board itself, plugged in again
    rescan();
    EXPECT_NE(board(), 0);
}

// A board back on its node between two looks (no udev, or its events lost) but unusable now
// was opened again on every look, and never told: it stayed OFFLINE without a word.
TEST_F(HidrawSourceTest, BoardBackOnItsNodeBetweenLooksButUnusableIsTold) {
    system.attached = {Board};
    start();
    const auto comesBackAs = [&](const std::function<void()>& change) {
        system.closeBoardEnd(Board.path);
        ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));
        change();
        rescan();
    };
    comesBackAs([&] {
        system.details[Board.path] = hidraw::NodeDetails{BoardVendor, BoardProduct, WithReportId()};
    });
    ASSERT_TRUE(WaitUntil([&] { return !listener.problems.empty(); }));
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::WrongFormat);

    system.details.erase(Board.path);
    rescan();
    ASSERT_NE(board(), 0);
    comesBackAs([&] { system.failOpens(Board.path, {EACCES}); });
    ASSERT_TRUE(WaitUntil([&] { return listener.problems.size() == 2; }));
    EXPECT_EQ(listener.problems[1].kind, hid::DeviceProblem::Kind::NoPermission);
    EXPECT_EQ(system.warnings.size(), 2u);
    EXPECT_EQ(board(), 0);
}

TEST_F(HidrawSourceTest, ProblemsAreToldOncePerNodeAndKind) {
    system.attached = {Board};
    system.failOpens(Board.path, {EACCES});
    start();
    rescan();
    retryUnopened();
    system.failOpens(Board.path, {EBUSY});
    rescan();
    rescan();
    testsupport::DrainEvents();
    ASSERT_EQ(listener.problems.size(), 2u);
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::NoPermission);
    EXPECT_EQ(listener.problems[1].kind, hid::DeviceProblem::Kind::Busy);
    EXPECT_EQ(system.warnings.size(), 2u);
}

// A board plugged in and out every moment failed in passing (its node gone halfway through
// the open) and was told as a board that cannot be used.
TEST_F(HidrawSourceTest, AReplugStormShowsNoNotice) {
    start();
    system.beforeAnswer = [this](const std::string& node) {
        system.unplug(node);
        system.failOpens(node, {ENOENT});
        system.failDescribes(node, ENODEV);
    };
    for (int plug = 0; plug < 5; ++plug) {
        system.allowOpens(Board.path);
        system.failDescribes(Board.path, 0);
        system.plug(Board);
        rescan();
        rescan();
    }
    testsupport::DrainEvents();
    EXPECT_EQ(system.attemptsAt(Board.path), 5 * 2) << "each plug looked at again";
    EXPECT_TRUE(listener.problems.empty());
    EXPECT_TRUE(system.warnings.empty());
}

TEST_F(HidrawSourceTest, ABoardThatStaysUnusableIsToldAtTheSecondLook) {
    start();
    system.failDescribes(Board.path, EIO);
    system.plug(Board);
    source->rescan();
    ASSERT_TRUE(WaitUntil([&] { return !listener.problems.empty(); }));
    EXPECT_EQ(system.attemptsAt(Board.path), 2);
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::OpenFailed);
}

TEST(PermissionMessage, IsOneLineNamingTheNodeAndTheRule) {
    const std::string line = hidraw::permissionMessage("/dev/hidraw5");
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.rfind("zov-usb-test: ", 0), 0u);
    EXPECT_NE(line.find("/dev/hidraw5"), std::string::npos);
    EXPECT_NE(line.find(hidraw::UdevRuleFile), std::string::npos);
    EXPECT_NE(line.find("/etc/udev/rules.d"), std::string::npos);
    EXPECT_NE(line.find("udevadm control --reload-rules"), std::string::npos);
    EXPECT_NE(line.find("udevadm trigger"), std::string::npos);
}

TEST(UdevRule, TheFileTheMessageNamesGrantsAccessToTheBoard) {
    std::ifstream file(std::string(ZOV_SOURCE_DIR "/data/") + hidraw::UdevRuleFile);
    ASSERT_TRUE(file) << "the message names a rule the project does not ship";
    std::stringstream text;
    text << file.rdbuf();
    const std::string rule = text.str();
    // udev compares the sysfs text, which is lower-case hex.
    EXPECT_NE(rule.find("KERNEL==\"hidraw*\""), std::string::npos);
    EXPECT_NE(rule.find("ATTRS{idVendor}==\"1234\""), std::string::npos);
    EXPECT_NE(rule.find("ATTRS{idProduct}==\"0001\""), std::string::npos);
    EXPECT_NE(rule.find("TAG+=\"uaccess\""), std::string::npos);
    // The uaccess tag only works when set before 73-seat-late.rules runs.
    EXPECT_LT(std::string(hidraw::UdevRuleFile), std::string("73-seat-late.rules"));
}

} // namespace
