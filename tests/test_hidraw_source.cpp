#include "hid/DeviceManager.h"
#include "hid/HidEvent.h"
#include "hid/HidrawDevice.h"
#include "hid/HidrawSource.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>
#include <cerrno>
#include <deque>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

using hid::DeviceInfo;
using hid::DeviceManager;
using hid::HidrawOptions;
using hid::HidrawSource;
using hid::Report;
using testsupport::WaitUntil;

namespace {

constexpr int BoardVendor = 0x1234;
constexpr int BoardProduct = 0x0001;

const DeviceInfo Board{BoardVendor, BoardProduct, "ZOV", "ZOV-USB", "B1", "/dev/hidraw3", {}};
const DeviceInfo Keyboard{0x046d, 0xc31c, "Logitech", "USB Keyboard", "", "/dev/hidraw0", {}};
const DeviceInfo Mouse{0x046d, 0xc077, "Logitech", "USB Mouse", "", "/dev/hidraw1", {}};

/// The system as the source sees it: an enumeration the test edits, nodes that open as one end
/// of a socket pair (or fail as told), and the lines the operator would read.
struct FakeSystem {
    std::vector<DeviceInfo> attached;
    std::map<std::string, std::deque<int>> openErrors; // errno per attempt, then success
    std::vector<std::string> opened;                   // every successful open, by node
    std::map<std::string, int> attempts;               // every open, by node
    std::map<std::string, int> boardEnd;               // the test's end of each opened node
    std::vector<std::string> warnings;
    int enumerations = 0;

    ~FakeSystem() {
        for (const auto& [node, fd] : boardEnd)
            ::close(fd);
    }

    hid::HidrawBackend backend() {
        hid::HidrawBackend backend;
        backend.enumerate = [this] {
            ++enumerations;
            return attached;
        };
        backend.open = [this](const std::string& node) {
            ++attempts[node];
            auto& errors = openErrors[node];
            if (!errors.empty()) {
                const int error = errors.front();
                if (errors.size() > 1) errors.pop_front(); // the last error stays
                return -error;
            }
            int fds[2];
            if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
                return -errno;
            if (boardEnd.count(node)) ::close(boardEnd[node]);
            boardEnd[node] = fds[1];
            opened.push_back(node);
            return fds[0];
        };
        backend.warn = [this](const std::string& line) { warnings.push_back(line); };
        return backend;
    }

    void failOpens(const std::string& node, std::deque<int> errors) {
        openErrors[node] = std::move(errors);
    }
    void allowOpens(const std::string& node) { openErrors[node].clear(); }
    void unplug(const std::string& node) {
        std::erase_if(attached, [&](const DeviceInfo& info) { return info.path == node; });
    }
    void closeBoardEnd(const std::string& node) {
        ::close(boardEnd.at(node));
        boardEnd.erase(node);
    }
};

/// Stands in for the window: records the HID events posted to it.
class EventRecorder : public QObject {
public:
    std::vector<std::pair<std::uint32_t, hid::Handle>> events;
    int count(std::uint32_t code) const {
        return static_cast<int>(std::count_if(
            events.begin(), events.end(), [&](const auto& event) { return event.first == code; }));
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() != hid::HidEvent::messageType()) return QObject::event(event);
        const auto* message = static_cast<hid::HidEvent*>(event);
        events.emplace_back(message->wParam(), message->lParam());
        return true;
    }
};

class HidrawSourceTest : public ::testing::Test {
protected:
    /// Starts the source inside a layer; re-scans only when the test calls rescan().
    HidrawSource& start(HidrawOptions options = manualOptions()) {
        auto owned = std::make_unique<HidrawSource>(std::move(options), system.backend());
        source = owned.get();
        layer.Connect(&window);
        layer.addSource(std::move(owned));
        return *source;
    }
    static HidrawOptions manualOptions() {
        HidrawOptions options;
        options.hotplug = HidrawOptions::Hotplug::None;
        options.openRetryInterval = std::chrono::milliseconds(10);
        return options;
    }
    hid::Handle board() { return layer.GetHandle(BoardVendor, BoardProduct); }

    FakeSystem system;
    EventRecorder window;
    DeviceManager layer;
    HidrawSource* source = nullptr;
};

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
    std::uint8_t wire[64];
    ASSERT_EQ(::recv(boardEnd, wire, sizeof wire, MSG_DONTWAIT), 33);
    EXPECT_EQ(wire[0], 0);
    EXPECT_EQ(wire[1], 13);
    EXPECT_EQ(wire[23], 1);

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

TEST_F(HidrawSourceTest, RescanAnnouncesArrivalsAndRemovals) {
    system.attached = {Keyboard};
    start();
    ASSERT_EQ(board(), 0);

    system.attached.push_back(Board);
    source->rescan();
    const hid::Handle handle = board();
    ASSERT_NE(handle, 0);
    EXPECT_EQ(layer.GetItemCount(), 2);
    EXPECT_EQ(system.opened, (std::vector<std::string>{Board.path}));

    system.unplug(Board.path);
    source->rescan();
    EXPECT_EQ(board(), 0);
    EXPECT_EQ(layer.GetItemCount(), 1);
    EXPECT_EQ(layer.GetVendorID(handle), BoardVendor) << "ids still answer after the removal";
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; }));
    EXPECT_EQ(window.events.back(), std::make_pair(hid::HIDEventChanged, hid::Handle{0}));
}

TEST_F(HidrawSourceTest, UdevRemovalIsMatchedByNode) {
    system.attached = {Keyboard, Board};
    start();
    const hid::Handle handle = board();
    // udev reports the removal before the enumeration shows it, with the node alone.
    source->removeNode(Board.path);
    EXPECT_EQ(board(), 0);
    EXPECT_EQ(layer.GetItemCount(), 1);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; }));
    EXPECT_EQ(window.events[window.events.size() - 2].second, handle);

    system.unplug(Board.path);
    source->rescan();
    system.attached.push_back(Board);
    source->rescan();
    EXPECT_NE(board(), 0) << "plugged in again on the same node";
}

TEST_F(HidrawSourceTest, UnplugWhileReadingRemovesTheBoardOnce) {
    system.attached = {Board};
    start();
    ASSERT_NE(board(), 0);
    system.closeBoardEnd(Board.path); // the node hangs up while the notifier watches it

    ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));
    EXPECT_EQ(source->device(Board.path), nullptr);
    // sysfs still lists the node for a moment: it must not come back as a new board.
    system.failOpens(Board.path, {ENODEV});
    source->rescan();
    EXPECT_EQ(board(), 0);
    testsupport::DrainEvents();
    EXPECT_EQ(window.count(hid::HIDEventUnplugged), 1);
    EXPECT_EQ(window.count(hid::HIDEventPlugged), 1);
}

TEST_F(HidrawSourceTest, BoardPluggedAgainOnTheSameNodeBetweenScansComesBack) {
    system.attached = {Board};
    start();
    system.closeBoardEnd(Board.path);
    ASSERT_TRUE(WaitUntil([&] { return board() == 0; }));

    // Same node, same details: only a successful open tells the new plug from the old one.
    source->rescan();
    EXPECT_NE(board(), 0);
    EXPECT_EQ(system.opened.size(), 2u);
}

TEST_F(HidrawSourceTest, OpenIsRetriedRightAfterAPlug) {
    start();
    system.failOpens(Board.path, {EACCES, EACCES, EACCES});
    system.attached = {Board};
    source->rescan();
    ASSERT_NE(board(), 0) << "listed at once, opened when udev has caught up";
    EXPECT_TRUE(system.opened.empty());

    system.allowOpens(Board.path);
    ASSERT_TRUE(WaitUntil([&] { return system.opened.size() == 1; }));
    EXPECT_TRUE(source->device(Board.path)->isOpen());
    EXPECT_TRUE(system.warnings.empty());
}

TEST_F(HidrawSourceTest, PermissionDeniedAfterTheRetriesWarnsOnceNamingTheNode) {
    HidrawOptions options = manualOptions();
    options.openRetries = 4;
    start(options);
    system.failOpens(Board.path, {EACCES});
    system.attached = {Board};
    source->rescan();

    ASSERT_TRUE(WaitUntil([&] { return !system.warnings.empty(); }));
    EXPECT_EQ(system.attempts[Board.path], 1 + 4);
    EXPECT_EQ(system.warnings, (std::vector<std::string>{hid::permissionMessage(Board.path)}));
    EXPECT_NE(board(), 0) << "the board is still listed";
    EXPECT_FALSE(layer.WriteEx(BoardVendor, BoardProduct, Report{}));

    // Plugged in again, still without permission: no second line.
    system.unplug(Board.path);
    source->rescan();
    system.attached = {Board};
    source->rescan();
    ASSERT_TRUE(WaitUntil([&] { return system.attempts[Board.path] == 2 * (1 + 4); }));
    EXPECT_NE(board(), 0);
    EXPECT_EQ(system.warnings.size(), 1u);
}

TEST_F(HidrawSourceTest, BoardPresentAtStartWithoutPermissionWarnsAtOnce) {
    system.attached = {Keyboard, Board};
    system.failOpens(Board.path, {EACCES});
    start();
    EXPECT_EQ(system.warnings, (std::vector<std::string>{hid::permissionMessage(Board.path)}));
    EXPECT_EQ(layer.GetItemCount(), 2) << "the program carries on";
}

TEST_F(HidrawSourceTest, OtherOpenFailuresNameTheError) {
    system.attached = {Board};
    system.failOpens(Board.path, {EBUSY});
    start();
    ASSERT_EQ(system.warnings.size(), 1u);
    EXPECT_NE(system.warnings[0].find(Board.path), std::string::npos);
    EXPECT_NE(system.warnings[0].find(std::strerror(EBUSY)), std::string::npos);
}

TEST_F(HidrawSourceTest, PeriodicRescanFindsPlugAndUnplugWithinASecond) {
    HidrawOptions options;
    options.hotplug = HidrawOptions::Hotplug::Rescan; // as where no udev daemon runs
    system.attached = {Keyboard};
    start(options);
    EXPECT_FALSE(source->usesUdevMonitor());

    QElapsedTimer clock;
    clock.start();
    system.attached.push_back(Board);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventPlugged) == 2; },
                          std::chrono::milliseconds(1500)));
    system.unplug(Board.path);
    ASSERT_TRUE(WaitUntil([&] { return window.count(hid::HIDEventUnplugged) == 1; },
                          std::chrono::milliseconds(1500)));
    // Never more often than once a second: the first enumeration plus one per full second.
    EXPECT_LE(system.enumerations, 1 + clock.elapsed() / 1000 + 1);
    EXPECT_EQ(layer.GetItemCount(), 1);
}

TEST(PermissionMessage, IsOneLineNamingTheNodeAndTheRule) {
    const std::string line = hid::permissionMessage("/dev/hidraw5");
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.rfind("zov-usb-test: ", 0), 0u);
    EXPECT_NE(line.find("/dev/hidraw5"), std::string::npos);
    EXPECT_NE(line.find(hid::UdevRuleFile), std::string::npos);
    EXPECT_NE(line.find("/etc/udev/rules.d"), std::string::npos);
    EXPECT_NE(line.find("udevadm control --reload-rules"), std::string::npos);
    EXPECT_NE(line.find("udevadm trigger"), std::string::npos);
}

TEST(UdevRule, TheFileTheMessageNamesGrantsAccessToTheBoard) {
    std::ifstream file(std::string(ZOV_SOURCE_DIR "/data/") + hid::UdevRuleFile);
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
    EXPECT_LT(std::string(hid::UdevRuleFile), std::string("73-seat-late.rules"));
}

} // namespace
