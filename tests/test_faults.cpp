// Faults and soak: the board comes and goes every 20 ms while the window polls it, its writes
// fail, its answers stop or flood the queue. Nothing may crash or leak, and the window has to
// end in the state the last event calls for.
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "hid/ReportObserver.h"
#include "hidraw/HidrawDevice.h"
#include "hidraw/HidrawSource.h"
#include "support/EventLoop.h"
#include "support/FakeHidrawNode.h"
#include "support/FirmwareBoardEnd.h"
#include "support/ForwardingHidLayer.h"
#include "window/Colours.h"
#include "window/LampShape.h"
#include "window/MainForm.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using testsupport::DrainEvents;
using testsupport::FirmwareBoardEnd;
using testsupport::WaitUntil;

constexpr int BoardVendor = 0x1234;
constexpr int BoardProduct = 0x0001;
// A bound for the whole of a soak, so a hang fails the test instead of blocking the suite.
constexpr auto SoakDeadline = 60s;

/// Passes every call on to the real layer and counts the reports the window took out.
class CountingLayer final : public testsupport::ForwardingHidLayer {
public:
    using ForwardingHidLayer::ForwardingHidLayer;

    std::uint64_t reportsRead = 0;
    hid::Report lastRead{};

    bool Read(hid::Handle handle, hid::Report& buffer) override {
        if (!ForwardingHidLayer::Read(handle, buffer)) return false;
        ++reportsRead;
        lastRead = buffer;
        return true;
    }
};

/// Timers running for `root` and everything below it, once the event loop has had its turn
/// (the dispatcher knows a timer only while it runs).
int RegisteredTimers(QObject* root) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    // Item views run zero-interval timers for their delayed layout: let those fire first.
    DrainEvents();
    int count = static_cast<int>(dispatcher->registeredTimers(root).size());
    for (QObject* child : root->findChildren<QObject*>())
        count += static_cast<int>(dispatcher->registeredTimers(child).size());
    return count;
}

/// Open descriptors of this process.
int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

/// Objects whose deleteLater is pending are deleted now, so that what is left can be counted.
void DeleteDeferred() {
    DrainEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

/// Calls `step` every 20 ms, `times` times, and answers once it has.
bool RunEvery20ms(int times, const std::function<void(int)>& step) {
    int done = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (done < times) step(done++);
    });
    ticker.start(20ms);
    return WaitUntil([&] { return done == times; }, SoakDeadline);
}

bool ShowsOnline(const window::MainForm& form) {
    return form.windowTitle().startsWith("HID Device Online") &&
           form.controls().Label6->text() == "ONLINE" &&
           form.controls().LED1->fillColour() == window::colours::Green;
}

bool ShowsUnplugged(const window::MainForm& form) {
    return form.windowTitle() == "HID Device Unplugged" &&
           form.controls().Label6->text() == "OFFLINE" &&
           form.controls().LED1->fillColour() == window::colours::Red;
}

// --- The virtual board behind the real layer -------------------------------------------------

class VirtualBoardFaults : public ::testing::Test {
protected:
    VirtualBoardFaults() {
        board = &board::VirtualBoard::attachTo(layer);
        form = std::make_unique<window::MainForm>(counting);
        form->show();
        WaitUntil([&] { return ShowsOnline(*form); });
    }

    const window::Controls& ui() const { return form->controls(); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    hid::Handle boardHandle() { return layer.GetHandle(BoardVendor, BoardProduct); }
    /// Every report the board sent is read, dropped or still waiting.
    bool reportsAccountedFor() {
        return board->reportsSent() ==
               counting.reportsRead + layer.droppedReports() + layer.queuedReports(boardHandle());
    }

    hid::DeviceManager layer;
    CountingLayer counting{layer};
    board::VirtualBoard* board;
    std::unique_ptr<window::MainForm> form;
};

TEST_F(VirtualBoardFaults, PlugAndUnplugEvery20msWhilePollingEndsOnlineAndPollsAgain) {
    ASSERT_TRUE(ShowsOnline(*form));
    click(ui().StartLoop);
    const int timersBefore = RegisteredTimers(form.get());
    ASSERT_GE(timersBefore, 1) << "the polling timer runs";

    // 100 toggles: ends plugged, as it began.
    ASSERT_TRUE(
        RunEvery20ms(100, [&](int) { board->isPlugged() ? board->unplug() : board->plug(); }));
    ASSERT_TRUE(board->isPlugged());
    ASSERT_TRUE(WaitUntil([&] { return ShowsOnline(*form); }));
    EXPECT_EQ(layer.GetItemCount(), 1) << "every departed board was let go";
    EXPECT_EQ(boardHandle(), 51) << "one new handle per plug, none reused";
    EXPECT_TRUE(ui().Timer2->isActive());
    EXPECT_EQ(RegisteredTimers(form.get()), timersBefore);

    // Reads were re-armed for the last handle: the polls' answers still reach the window.
    board->setAdValue(201);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 201"; }));
    click(ui().StopLoop);
    DrainEvents();
    EXPECT_EQ(RegisteredTimers(form.get()), timersBefore - 1) << "the loop's timer stopped";
}

TEST_F(VirtualBoardFaults, PlugAndUnplugEvery20msWhilePollingEndsOffline) {
    click(ui().StartLoop);
    const int timersBefore = RegisteredTimers(form.get());
    const std::uint64_t writesBefore = board->reportsReceived();

    // 101 toggles: ends unplugged.
    ASSERT_TRUE(
        RunEvery20ms(101, [&](int) { board->isPlugged() ? board->unplug() : board->plug(); }));
    ASSERT_FALSE(board->isPlugged());
    ASSERT_TRUE(WaitUntil([&] { return ShowsUnplugged(*form); }));
    DrainEvents();
    EXPECT_TRUE(ShowsUnplugged(*form)) << "no late event brings it back";
    EXPECT_EQ(layer.GetItemCount(), 0);
    EXPECT_EQ(boardHandle(), 0);
    EXPECT_GT(board->reportsReceived(), writesBefore) << "the loop reached the board meanwhile";
    // The loop goes on with nothing to talk to: its writes fail quietly.
    const std::uint64_t writesWhileGone = board->reportsReceived();
    const std::uint64_t reportsBefore = board->reportsSent();
    ASSERT_TRUE(RunEvery20ms(5, [](int) {}));
    EXPECT_EQ(board->reportsReceived(), writesWhileGone);
    EXPECT_EQ(board->reportsSent(), reportsBefore) << "no answer from before the unplug";
    EXPECT_TRUE(ui().Timer2->isActive());
    EXPECT_EQ(RegisteredTimers(form.get()), timersBefore);
}

TEST_F(VirtualBoardFaults, FailingWritesWhilePollingKeepTheWindowUpUntilTheyWorkAgain) {
    board->setAdValue(10);
    click(ui().StartLoop);
    ASSERT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 10"; }));

    board->setWritesFail(true);
    const std::uint64_t received = board->reportsReceived();
    DrainEvents(); // answers to polls made before the failure
    const std::uint64_t answered = board->reportsSent();
    board->setAdValue(20);
    ASSERT_TRUE(RunEvery20ms(25, [](int) {}));
    EXPECT_EQ(board->reportsReceived(), received) << "no write got through";
    EXPECT_EQ(board->reportsSent(), answered) << "so nothing was answered";
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 10");
    EXPECT_TRUE(ShowsOnline(*form)) << "a failed write is not an unplug";
    EXPECT_TRUE(ui().Timer2->isActive());

    board->setWritesFail(false);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 20"; }));
    EXPECT_TRUE(reportsAccountedFor());
}

TEST_F(VirtualBoardFaults, FloodFasterThanTheWindowReadsDropsTheOldestAndCountsEveryOne) {
    click(ui().StartLoop);
    ASSERT_TRUE(WaitUntil([&] { return board->reportsSent() >= 4; })); // polls answered
    const hid::Handle handle = boardHandle();
    constexpr std::size_t Limit = hid::DeviceManager::DefaultQueueLimit;
    constexpr std::size_t Burst = Limit * 3 + 7; // far more than the queue holds

    // Bursts sent between two turns of the event loop, while polling goes on; the layer's
    // arithmetic is checked around each burst.
    int mismatches = 0;
    std::uint8_t value = 0;
    ASSERT_TRUE(RunEvery20ms(20, [&](int) {
        const std::size_t queuedBefore = layer.queuedReports(handle);
        const std::uint64_t droppedBefore = layer.droppedReports();
        for (std::size_t i = 0; i < Burst; ++i) {
            hid::Report report{};
            report[1] = 4; // an A/D answer the window shows
            report[19] = ++value;
            board->sendReport(report);
        }
        const std::size_t expectedDrops = queuedBefore + Burst - Limit;
        if (layer.droppedReports() - droppedBefore != expectedDrops ||
            layer.queuedReports(handle) != Limit || !reportsAccountedFor())
            ++mismatches;
    }));
    EXPECT_EQ(mismatches, 0);
    EXPECT_GE(layer.droppedReports(), 20 * (Burst - Limit));

    click(ui().StopLoop); // sends once more, and the board answers that too
    ASSERT_TRUE(WaitUntil([&] { return layer.queuedReports(handle) == 0; }, SoakDeadline));
    DrainEvents();
    hid::Report last{};
    last[1] = 4;
    last[19] = 77;
    board->sendReport(last);
    ASSERT_TRUE(WaitUntil([&] { return layer.queuedReports(handle) == 0; }, SoakDeadline));
    DrainEvents();
    EXPECT_TRUE(reportsAccountedFor())
        << "sent " << board->reportsSent() << ", read " << counting.reportsRead << ", dropped "
        << layer.droppedReports();
    EXPECT_EQ(counting.lastRead, last) << "the newest report is never the one dropped";
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 77");
    EXPECT_TRUE(ShowsOnline(*form));
}

TEST_F(VirtualBoardFaults, EverythingAtOnceThenACalmEnding) {
    click(ui().StartLoop);
    const int timersBefore = RegisteredTimers(form.get());
    ASSERT_TRUE(RunEvery20ms(120, [&](int tick) {
        if (tick % 3 == 0) board->isPlugged() ? board->unplug() : board->plug();
        board->setWritesFail(tick % 5 == 1);
        for (int i = 0; i < (tick % 4 == 0 ? 1500 : 3); ++i)
            board->sendReport(hid::Report{0, 13, 0, 0, 0, 0, 0,
                                          0, 0,  0, 0, 0, 0, 0,
                                          0, 0,  0, 0, 0, 0, static_cast<std::uint8_t>(tick)});
    }));
    board->setWritesFail(false);
    board->plug();
    board->setInputBits(0b0110'0110);
    ASSERT_TRUE(WaitUntil([&] { return ShowsOnline(*form); }));
    EXPECT_TRUE(WaitUntil([&] { return ui().Text1->text() == "01100110"; }));
    EXPECT_EQ(layer.GetItemCount(), 1);
    EXPECT_EQ(RegisteredTimers(form.get()), timersBefore);
}

// --- A hidraw board over socket pairs ---------------------------------------------------------

class HidrawFaults : public ::testing::Test {
protected:
    static inline const hid::DeviceInfo Board{BoardVendor, BoardProduct,   "ZOV", "ZOV-USB",
                                              "B1",        "/dev/hidraw5", "",    {}};

    void start(bool plugged) {
        attached = plugged;
        auto owned = makeSource();
        source = owned.get();
        layer.addSource(std::move(owned));
        // As main does: the window comes once the boards present at start are open.
        ASSERT_TRUE(WaitUntil([&] { return source->isSettled(); }));
        form = std::make_unique<window::MainForm>(counting);
        layer.addProblemObserver(*form); // after the window, as main does
        form->show();
        DeleteDeferred();
    }

    /// A hidraw source whose board node is a socket pair, the board's end served by
    /// FirmwareBoardEnd.
    std::unique_ptr<hidraw::HidrawSource> makeSource() {
        hidraw::HidrawOptions options;
        options.openIds = {{Board.vendorId, Board.productId}};
        options.hotplug = hidraw::HidrawOptions::Hotplug::None; // the test re-scans
        options.openRetries = 0;
        auto backend = testsupport::FakeHidrawBackend(
            [this] {
                return attached ? std::vector<hid::DeviceInfo>{Board}
                                : std::vector<hid::DeviceInfo>{};
            },
            [this](const std::string&) {
                if (openError != 0) return -openError;
                int fd = -1;
                const int console = testsupport::OpenFakeHidrawNode(
                    fd, {.blockingWrites = blockingNode, .sendBuffer = 4096});
                // The board's end watches its socket from the GUI thread; this runs on the
                // source's call thread, before the source hears of the open.
                if (console >= 0)
                    QMetaObject::invokeMethod(
                        qApp, [this, fd] { boardEnd = std::make_unique<FirmwareBoardEnd>(fd); },
                        Qt::QueuedConnection);
                return console;
            });
        return std::make_unique<hidraw::HidrawSource>(options, std::move(backend));
    }

    void plug() {
        attached = true;
        source->rescan();
    }
    void unplug() {
        attached = false;
        boardEnd.reset();
        source->rescan();
    }
    /// The cable pulled while the node still lists: the device sees the end of its file.
    void breakLink() { boardEnd.reset(); }
    std::size_t liveDevices() const { return source->findChildren<hidraw::HidrawDevice*>().size(); }
    const window::Controls& ui() const { return form->controls(); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Read by the source's call thread too.
    std::atomic<bool> attached = false;
    std::atomic<bool> blockingNode = false;
    std::atomic<int> openError = 0; // what opening the node answers, 0 for success
    std::unique_ptr<FirmwareBoardEnd> boardEnd;
    hid::DeviceManager layer;
    CountingLayer counting{layer};
    hidraw::HidrawSource* source = nullptr;
    std::unique_ptr<window::MainForm> form;
};

TEST_F(HidrawFaults, PlugUnplugAndBrokenLinksEvery20msLeakNoDescriptorOrDevice) {
    start(false);
    click(ui().StartLoop);
    const int descriptorsUnplugged = OpenDescriptors();
    const int timersBefore = RegisteredTimers(form.get());

    // Even ticks plug; odd ones unplug cleanly or break the link, which a re-scan finds and
    // opens again while the node is still listed.
    ASSERT_TRUE(RunEvery20ms(100, [&](int tick) {
        if (tick % 2 == 0)
            plug();
        else if (tick % 4 == 1)
            unplug();
        else
            breakLink();
        if (tick % 4 == 3) source->rescan();
    }));
    // Once the re-scans asked for are done (the last may have opened the board again), the
    // link breaks once more: once the device has seen that, a re-scan brings it back.
    ASSERT_TRUE(WaitUntil([&] { return source->isSettled(); }));
    breakLink();
    ASSERT_TRUE(WaitUntil([&] { return layer.GetItemCount() == 0 && ShowsUnplugged(*form); }));
    source->rescan();
    ASSERT_TRUE(WaitUntil([&] { return ShowsOnline(*form); }));
    DeleteDeferred();
    EXPECT_EQ(layer.GetItemCount(), 1);
    EXPECT_EQ(liveDevices(), 1u) << "every withdrawn device was deleted";
    EXPECT_EQ(OpenDescriptors(), descriptorsUnplugged + 3)
        << "one socket pair, both ends here, and the device's stop signal";
    ASSERT_TRUE(boardEnd);
    boardEnd->adValue = 99;
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 99"; }));

    unplug();
    ASSERT_TRUE(WaitUntil([&] { return ShowsUnplugged(*form); }));
    DeleteDeferred();
    EXPECT_EQ(layer.GetItemCount(), 0);
    EXPECT_EQ(liveDevices(), 0u);
    EXPECT_EQ(OpenDescriptors(), descriptorsUnplugged);
    EXPECT_EQ(RegisteredTimers(form.get()), timersBefore);
}

TEST_F(HidrawFaults, BoardThatStopsAnsweringBlocksWritesButNothingBreaks) {
    start(true);
    ASSERT_TRUE(WaitUntil([&] { return ShowsOnline(*form); }));
    boardEnd->adValue = 5;
    click(ui().StartLoop);
    ASSERT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 5"; }));
    const int descriptors = OpenDescriptors();

    // It stops reading: the socket fills and the console's writes fail as "try again".
    boardEnd->quiet = true;
    const int served = boardEnd->requests;
    ASSERT_TRUE(RunEvery20ms(30, [](int) {}));
    const int waiting = boardEnd->waitingRequests();
    EXPECT_GT(waiting, 0) << "the polls went on while the board kept quiet";
    EXPECT_TRUE(ShowsOnline(*form)) << "a full buffer is not an unplug";
    EXPECT_EQ(layer.GetItemCount(), 1);
    EXPECT_TRUE(source->device(Board.path)->isOpen());
    EXPECT_EQ(OpenDescriptors(), descriptors);

    // It comes back: the backlog is served and new polls are answered.
    boardEnd->adValue = 6;
    boardEnd->quiet = false;
    boardEnd->serve();
    const int backlogServed = boardEnd->requests;
    EXPECT_GE(backlogServed, served + waiting);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 6"; }));
    // The writes held back while the socket was full go on once it has room.
    EXPECT_TRUE(WaitUntil([&] { return boardEnd->requests > backlogServed; }));
}

// A board the console could not open showed ONLINE with a green lamp, and only a line on
// standard error said why; fixing the node's rights did not bring it online without a replug.
TEST_F(HidrawFaults, BoardThatCannotBeOpenedStaysOfflineSaysWhyAndComesOnlineOnceFixed) {
    openError = EACCES;
    start(true);
    QMessageBox* message = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        message = form->findChild<QMessageBox*>("DeviceProblemMessage");
        return message && message->isVisible();
    }));
    EXPECT_TRUE(message->text().contains(QString::fromStdString(Board.path)));
    EXPECT_TRUE(
        message->text().contains("sudo udevadm control --reload-rules && sudo udevadm trigger"));
    EXPECT_FALSE(message->isModal());
    EXPECT_EQ(ui().Label6->text(), "OFFLINE");
    EXPECT_FALSE(ShowsOnline(*form));
    EXPECT_EQ(layer.GetItemCount(), 0);

    // Another problem with the same node replaces the text in the same box.
    openError = EBUSY;
    source->rescan();
    ASSERT_TRUE(WaitUntil([&] { return message->text().contains("busy"); }));
    EXPECT_EQ(form->findChildren<QMessageBox*>("DeviceProblemMessage").size(), 1);

    openError = 0; // the rule installed and udevadm trigger run, or the node's mode fixed
    source->rescan();
    EXPECT_TRUE(WaitUntil([&] { return ShowsOnline(*form); }));
}

/// Shuts the board's end down after `after` unless the test ends first, so that a close that
/// waits for a hanging write fails the test instead of hanging it.
class HangValve {
public:
    HangValve(int fd, std::chrono::milliseconds after)
        : thread_([this, fd, after] {
              std::unique_lock lock(mutex_);
              if (done_.wait_for(lock, after, [this] { return dismissed_; })) return;
              fired_ = true;
              ::shutdown(fd, SHUT_RDWR);
          }) {}
    ~HangValve() {
        {
            const std::lock_guard lock(mutex_);
            dismissed_ = true;
        }
        done_.notify_all();
        thread_.join();
    }
    bool fired() {
        const std::lock_guard lock(mutex_);
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool dismissed_ = false;
    bool fired_ = false;
    std::thread thread_;
};

/// Counts the reports the layer observed, by direction, and the refused ones by command code.
struct RefusedCounter final : hid::ReportObserver {
    void record(hid::ReportDirection direction, hid::Handle, const hid::Report& report) override {
        ++directions[direction];
        if (direction == hid::ReportDirection::Refused) ++refused[report[1]];
    }
    std::map<hid::ReportDirection, int> directions;
    std::map<std::uint8_t, int> refused;
};

// hidraw's write waits for the board: a board that stopped taking reports froze every click
// and poll tick of the window for up to 5 s, and its unplug and the window's close with them.
TEST_F(HidrawFaults, BoardWhoseWritesHangLeavesTheWindowRunningAndLetsItGo) {
    blockingNode = true;
    start(true);
    ASSERT_TRUE(WaitUntil([&] { return ShowsOnline(*form); }));
    RefusedCounter observer;
    layer.addObserver(observer);
    boardEnd->quiet = true; // the socket fills, then the device's writer waits in the kernel
    click(ui().StartLoop);

    // The loop's polls fill the socket and then the write queue; the rest are refused, counted.
    ASSERT_TRUE(WaitUntil([&] { return layer.refusedReports() >= 3; }, SoakDeadline));
    EXPECT_TRUE(ShowsOnline(*form)) << "a board that does not answer is still attached";
    EXPECT_GE(observer.refused[4], 1) << "polls for the A/D value among them";
    const std::uint64_t refused = layer.refusedReports();
    click(ui().StopLoop); // the window takes the click at once, and its report is refused
    EXPECT_FALSE(ui().Timer2->isActive());
    EXPECT_EQ(layer.refusedReports(), refused + 1);

    {
        HangValve valve(boardEnd->fd(), std::chrono::seconds(5));
        // Unplugged: the node hangs up for the reader while the write still hangs.
        ::shutdown(boardEnd->fd(), SHUT_WR);
        EXPECT_TRUE(WaitUntil([&] { return ShowsUnplugged(*form); }));
        form->close();
        EXPECT_FALSE(valve.fired()) << "the unplug and the close waited for the write";
    }
    layer.removeObserver(observer);
}

// Reports still queued, or in a write the board never finished, when the program ended got
// no line in the trace: each must end as sent, failed or refused.
TEST_F(HidrawFaults, EveryReportIsAccountedForWhenTheProgramEndsWhileWritesHang) {
    blockingNode = true;
    RefusedCounter observer;
    {
        attached = true; // before the source's first look, which is its only one
        hid::DeviceManager ending;
        ending.addObserver(observer);
        ending.addSource(makeSource());
        ASSERT_TRUE(WaitUntil([&] { return ending.GetItemCount() == 1 && boardEnd; }));
        boardEnd->quiet = true;
        hid::Report report{};
        report[1] = 4;
        for (int sent = 0; sent < 80; ++sent)
            ending.WriteEx(BoardVendor, BoardProduct, report);
        ASSERT_TRUE(WaitUntil([&] { return observer.directions[hid::ReportDirection::Out] > 0; }));
    } // the write under way hangs: the layer goes without waiting for it
    using Direction = hid::ReportDirection;
    EXPECT_EQ(observer.directions[Direction::Out] + observer.directions[Direction::Failed] +
                  observer.directions[Direction::Refused],
              80);
    EXPECT_GT(observer.directions[Direction::Failed], 0) << "the writes the board never took";
}

TEST_F(HidrawFaults, FloodFromTheBoardIsReadCompletelyOrCountedAsDropped) {
    start(true);
    ASSERT_TRUE(WaitUntil([&] { return ShowsOnline(*form); }));
    const hid::Handle handle = layer.GetHandle(BoardVendor, BoardProduct);
    std::uint64_t sent = 0;
    std::uint64_t arrived = 0;
    std::uint64_t lost = 0; // read while the hand-over to the window was full, and counted
    QObject::connect(source->device(Board.path), &hidraw::HidrawDevice::reportReceived,
                     [&] { ++arrived; });
    QObject::connect(source->device(Board.path), &hidraw::HidrawDevice::reportsLost,
                     [&](quint64 count) { lost += count; });
    // Every 20 ms the board writes until its socket is full: far more than the window reads
    // between two turns of the event loop.
    std::uint8_t last = 0;
    ASSERT_TRUE(RunEvery20ms(25, [&](int) {
        for (;;) {
            std::uint8_t report[32] = {4};
            report[18] = static_cast<std::uint8_t>(sent); // the A/D value at index 19
            if (!boardEnd->send(report, sizeof report)) break;
            last = report[18];
            ++sent;
        }
    }));
    // Every report sent was handed to the window or counted as lost on the way.
    const auto settled = [&] { return arrived + lost == sent && layer.queuedReports(handle) == 0; };
    ASSERT_TRUE(WaitUntil(settled, SoakDeadline))
        << "sent " << sent << ", arrived " << arrived << ", lost " << lost << ", queued "
        << layer.queuedReports(handle);
    DrainEvents();
    EXPECT_GT(sent, hid::DeviceManager::DefaultQueueLimit);
    EXPECT_EQ(sent, counting.reportsRead + layer.droppedReports())
        << "read " << counting.reportsRead << ", dropped " << layer.droppedReports();

    // After the flood the next report goes through: nothing is stuck on the way.
    const std::uint64_t lostInFlood = lost;
    std::uint8_t report[32] = {4};
    report[18] = static_cast<std::uint8_t>(last + 1);
    ASSERT_TRUE(boardEnd->send(report, sizeof report));
    ++sent;
    ASSERT_TRUE(WaitUntil(settled));
    DrainEvents();
    EXPECT_EQ(lost, lostInFlood);
    EXPECT_EQ(counting.lastRead[19], report[18]);
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = " + QString::number(report[18]));
    EXPECT_TRUE(ShowsOnline(*form));
}

} // namespace
