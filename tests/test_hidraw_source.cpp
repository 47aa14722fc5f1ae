#include "board/BoardProblems.h"
#include "hid/DeviceManager.h"
#include "hid/HidEvent.h"
#include "hidraw/HidrawDevice.h"
#include "hidraw/HidrawSource.h"
#include "hid/ReportObserver.h"
#include "support/BoardNode.h"
#include "support/EventLoop.h"
#include "support/ScriptedNode.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <thread>
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
/// of a socket pair (or fail as told), and the lines the operator would read. The source calls
/// enumerate, open and describe from its call thread: they, and what the test changes while
/// the source may be calling them, hold the mutex.
struct FakeSystem {
    std::mutex mutex;
    std::vector<DeviceInfo> attached;
    std::map<std::string, std::deque<int>> openErrors; // errno per attempt, then success
    std::vector<std::string> opened;                   // every successful open, by node
    std::map<std::string, int> attempts;               // every open, by node
    std::map<std::string, int> boardEnd;               // the test's end of each opened node
    std::map<int, std::string> nodeOf;                 // the console's end of each, by descriptor
    std::map<std::string, hid::NodeDetails> details; // what an open node answers, if not the board
    std::vector<std::string> warnings;
    std::shared_ptr<testsupport::NodeScript> script = std::make_shared<testsupport::NodeScript>();
    int enumerations = 0;
    std::set<std::thread::id> callers; // the threads that enumerated, opened or asked a node
    /// Runs in every open once its answer is known, without the mutex: an open that waits.
    /// Set it before the source may open.
    std::function<void(const std::string& node)> beforeAnswer;

    ~FakeSystem() {
        for (const auto& [node, fd] : boardEnd)
            ::close(fd);
    }

    hid::HidrawBackend backend() {
        hid::HidrawBackend backend;
        backend.enumerate = [this] {
            const std::lock_guard lock(mutex);
            callers.insert(std::this_thread::get_id());
            ++enumerations;
            return attached;
        };
        backend.open = [this](const std::string& node) {
            const int answer = openNow(node);
            if (beforeAnswer) beforeAnswer(node);
            return answer;
        };
        backend.describe = [this](int fd, hid::NodeDetails& answer) {
            const std::lock_guard lock(mutex);
            callers.insert(std::this_thread::get_id());
            const std::string& node = nodeOf.at(fd);
            if (!details.count(node)) return testsupport::DescribeAsBoard(fd, answer);
            answer = details.at(node);
            return 0;
        };
        backend.calls = testsupport::ScriptedCalls(script);
        backend.warn = [this](const std::string& line) { warnings.push_back(line); };
        return backend;
    }

    int openNow(const std::string& node) {
        const std::lock_guard lock(mutex);
        callers.insert(std::this_thread::get_id());
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
        nodeOf[fds[0]] = node;
        opened.push_back(node);
        return fds[0];
    }

    void list(std::vector<DeviceInfo> devices) {
        const std::lock_guard lock(mutex);
        attached = std::move(devices);
    }
    void plug(const DeviceInfo& device) {
        const std::lock_guard lock(mutex);
        attached.push_back(device);
    }
    void unplug(const std::string& node) {
        const std::lock_guard lock(mutex);
        std::erase_if(attached, [&](const DeviceInfo& info) { return info.path == node; });
    }
    void failOpens(const std::string& node, std::deque<int> errors) {
        const std::lock_guard lock(mutex);
        openErrors[node] = std::move(errors);
    }
    void allowOpens(const std::string& node) { failOpens(node, {}); }
    int attemptsAt(const std::string& node) {
        const std::lock_guard lock(mutex);
        return attempts[node];
    }
    int enumerationCount() {
        const std::lock_guard lock(mutex);
        return enumerations;
    }
    void closeBoardEnd(const std::string& node) {
        const std::lock_guard lock(mutex);
        ::close(boardEnd.at(node));
        boardEnd.erase(node);
    }
};

/// Holds the opens that reach it until opened, like a device that takes its time to wake;
/// after ten seconds it opens by itself, so that a source that waits for it fails the test
/// instead of hanging it.
class Gate {
public:
    void pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
        --waiting_;
    }
    void open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void close() {
        const std::lock_guard lock(mutex_);
        open_ = false;
    }
    bool holdsOne() {
        const std::lock_guard lock(mutex_);
        return waiting_ > 0;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int waiting_ = 0;
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

std::vector<std::uint8_t> WithReportId();

class HidrawSourceTest : public ::testing::Test {
protected:
    /// Starts the source inside a layer and waits until the devices present are announced;
    /// re-scans only when the test calls rescan().
    HidrawSource& start(HidrawOptions options = manualOptions()) {
        startUnsettled(std::move(options));
        settle();
        return *source;
    }
    void startUnsettled(HidrawOptions options) {
        auto owned = std::make_unique<HidrawSource>(std::move(options), system.backend());
        source = owned.get();
        layer.Connect(&window);
        layer.addProblemObserver(listener);
        layer.addObserver(listener);
        layer.addSource(std::move(owned));
    }
    /// Runs the event loop until the source has done all it was asked to.
    void settle() {
        ASSERT_TRUE(WaitUntil([&] { return source->isSettled(); }));
    }
    void rescan() {
        source->rescan();
        settle();
    }
    void retryUnopened() {
        source->retryUnopened();
        settle();
    }
    static HidrawOptions manualOptions() {
        HidrawOptions options;
        options.hotplug = HidrawOptions::Hotplug::None;
        options.openRetryInterval = std::chrono::milliseconds(10);
        return options;
    }
    hid::Handle board() { return layer.GetHandle(BoardVendor, BoardProduct); }
    /// Waits until the board's end of its node has received a report; empty if none came.
    std::vector<std::uint8_t> boardReceives(const std::string& node = Board.path) {
        std::vector<std::uint8_t> bytes(64);
        ssize_t length = -1;
        WaitUntil([&] {
            length = ::recv(system.boardEnd.at(node), bytes.data(), bytes.size(), MSG_DONTWAIT);
            return length >= 0;
        });
        bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return bytes;
    }

    /// Every problem the layer passed on, and every report's direction, as the window and the
    /// trace hear of them.
    struct Listener final : hid::DeviceProblemObserver, hid::ReportObserver {
        void deviceProblem(const hid::DeviceProblem& problem) override {
            problems.push_back(problem);
        }
        void record(hid::ReportDirection direction, hid::Handle, const Report& report) override {
            directions.push_back(std::string(hid::traceWord(direction)) + " " +
                                 std::to_string(report[1]));
        }
        std::vector<hid::DeviceProblem> problems;
        std::vector<std::string> directions;
    };

    FakeSystem system;
    EventRecorder window;
    Listener listener;
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
    rescan();
    system.plug(Board);
    rescan();
    EXPECT_NE(board(), 0) << "plugged in again on the same node";
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
    EXPECT_EQ(system.attemptsAt(Board.path), 1 + 4);
    EXPECT_EQ(system.warnings, (std::vector<std::string>{hid::permissionMessage(Board.path)}));
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
    EXPECT_EQ(system.warnings, (std::vector<std::string>{hid::permissionMessage(Board.path)}));
    ASSERT_EQ(listener.problems.size(), 1u);
    const std::string& message = listener.problems[0].message;
    EXPECT_NE(message.find(Board.path), std::string::npos);
    EXPECT_NE(message.find(hid::UdevRuleFile), std::string::npos);
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
    HidrawOptions options;
    options.hotplug = HidrawOptions::Hotplug::UdevMonitor;
    options.rescanInterval = std::chrono::milliseconds(20);
    const DeviceInfo numbered{BoardVendor, BoardProduct,   "ZOV", "ZOV-USB",
                              "B2",        "/dev/hidraw4", {}};
    system.attached = {Board, numbered};
    system.failOpens(Board.path, {EACCES});
    system.details[numbered.path] = hid::NodeDetails{BoardVendor, BoardProduct, WithReportId()};
    start(options);
    ASSERT_TRUE(source->usesUdevMonitor()); // a quiet one where the machine has no netlink
    ASSERT_TRUE(WaitUntil([&] { return system.attemptsAt(Board.path) >= 4; }));
    // Opening a board refused for its format wakes the USB device: only events and re-scans do.
    EXPECT_EQ(system.attemptsAt(numbered.path), 1);
    system.allowOpens(Board.path); // chmod makes no udev event
    EXPECT_TRUE(WaitUntil([&] { return board() != 0; }));
}

TEST_F(HidrawSourceTest, OtherOpenFailuresNameTheNodeAndTheError) {
    system.attached = {Board,
                       {BoardVendor, BoardProduct, "ZOV", "ZOV-USB", "B2", "/dev/hidraw4", {}}};
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
        hid::NodeDetails{0x046d, 0xc077, testsupport::BoardReportDescriptor()};
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

struct FormatCase {
    const char* name;
    std::vector<std::uint8_t> descriptor;
    const char* found; // in the message
};

class WrongFormat : public HidrawSourceTest, public ::testing::WithParamInterface<FormatCase> {};

// A board with a report id got its input shifted by one byte and its output without the id.
TEST_P(WrongFormat, BoardIsNotDrivenAndTheMessageSaysWhatItFound) {
    system.attached = {Board};
    system.details[Board.path] = hid::NodeDetails{BoardVendor, BoardProduct, GetParam().descriptor};
    start();
    testsupport::DrainEvents();
    EXPECT_EQ(board(), 0);
    ASSERT_EQ(listener.problems.size(), 1u);
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::WrongFormat);
    const std::string& message = listener.problems[0].message;
    EXPECT_NE(message.find(Board.path), std::string::npos);
    EXPECT_NE(message.find(GetParam().found), std::string::npos) << message;
    EXPECT_NE(message.find("32-byte input and output reports without a report id"),
              std::string::npos);
}

std::vector<std::uint8_t> WithReportId() {
    std::vector<std::uint8_t> bytes = testsupport::BoardReportDescriptor();
    bytes.insert(bytes.begin() + 7, {0x85, 0x01}); // Report ID (1) inside the collection
    return bytes;
}

std::vector<std::uint8_t> WithOutputOf64() {
    std::vector<std::uint8_t> bytes = testsupport::BoardReportDescriptor();
    bytes.insert(bytes.end() - 5, {0x95, 0x40}); // Report Count (64) before the Output item
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    HidrawSource, WrongFormat,
    ::testing::Values(FormatCase{"ReportId", WithReportId(), "numbered reports"},
                      FormatCase{"LongOutput", WithOutputOf64(), "output reports of 64 bytes"},
                      FormatCase{"CutOff", {0x06, 0x00}, "cannot read"}),
    [](const auto& info) { return std::string(info.param.name); });

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
        system.details[Board.path] = hid::NodeDetails{BoardVendor, BoardProduct, WithReportId()};
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

TEST_F(HidrawSourceTest, AutoModeFindsAPlugWhetherOrNotUdevSpeaks) {
    HidrawOptions options; // Auto: the monitor where udev runs, with a safety re-scan beside it
    options.rescanInterval = std::chrono::milliseconds(20);
    options.safetyRescanInterval = std::chrono::milliseconds(20);
    start(options);
    system.list({Board}); // no udev event comes for a fake
    EXPECT_TRUE(WaitUntil([&] { return board() != 0; }));
}

TEST_F(HidrawSourceTest, PeriodicRescanFindsPlugAndUnplugAndRunsNoMoreOftenThanAsked) {
    HidrawOptions options;
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

// The window's thread enumerated and opened nodes itself: an open that waits for a device to
// wake froze the window meanwhile.
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
    Gate gate;
    system.beforeAnswer = [&](const std::string&) { gate.pass(); };
    system.attached = {Board};
    startUnsettled(manualOptions());
    ASSERT_TRUE(WaitUntil([&] { return gate.holdsOne(); }));

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
    Gate gate;
    system.beforeAnswer = [&](const std::string&) { gate.pass(); };
    system.attached = {Board};
    startUnsettled(manualOptions());
    ASSERT_TRUE(WaitUntil([&] { return gate.holdsOne(); }));
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
    Gate gate;
    system.beforeAnswer = [&](const std::string&) { gate.pass(); };
    system.failOpens(Board.path, {EACCES});
    system.attached = {Board};
    startUnsettled(manualOptions());
    ASSERT_TRUE(WaitUntil([&] { return gate.holdsOne(); }));
    system.allowOpens(Board.path); // too late for the open under way
    source->retryUnopened();       // the change event
    gate.open();
    settle();
    EXPECT_NE(board(), 0);
    EXPECT_EQ(system.attemptsAt(Board.path), 2);
}

TEST_F(HidrawSourceTest, ASourceGoneWhileAnOpenWaitsDoesNotWaitForIt) {
    Gate gate;
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
