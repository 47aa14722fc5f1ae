// The board monitor fed by a scripted virtual board, with the time moved by hand: its chart,
// lanes, answer timing, traffic counts, board details, pause and saved samples.
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "hidraw/HidrawScan.h"
#include "monitor/BoardMonitor.h"
#include "monitor/LogicLanes.h"
#include "monitor/StripChart.h"
#include "support/EventLoop.h"

#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using monitor::BoardMonitor;
using monitor::Clock;
using monitor::LogicLanes;
using monitor::StripChart;
using testsupport::DrainEvents;
using testsupport::WaitUntil;

// The byte positions as the console and its board use them.
constexpr std::size_t CommandByte = 1;
constexpr std::size_t PortDByte = 21;
constexpr std::uint8_t ReadText = 2;
constexpr std::uint8_t ReadAdc = 4;
constexpr std::uint8_t ClockText = 6;
constexpr std::uint8_t ReadInputs = 13;
constexpr std::uint8_t WritePortD = 14;
constexpr auto PollPeriod = 20ms;

/// Counts what the layer wrote, to show that the monitor never writes.
struct WriteCounter final : hid::ReportObserver {
    void record(hid::ReportDirection direction, hid::Handle, const hid::Report&) override {
        if (direction != hid::ReportDirection::In && direction != hid::ReportDirection::Dropped)
            ++writes;
    }
    int writes = 0;
};

/// A source that finds a board it cannot open.
struct LockedBoardSource final : hid::DeviceSource {
    explicit LockedBoardSource(std::string node = "/dev/hidraw4") : node(std::move(node)) {}
    void start(hid::DeviceEvents& events) override {
        events.deviceUnusable({hid::DeviceProblem::Kind::NoPermission, node,
                               "no permission to open " + node + "; install the udev rule"});
    }
    std::string node;
};

/// A source that finds one board, which answers to nothing, with the details given.
struct NamedBoardSource final : hid::DeviceSource, hid::Device {
    explicit NamedBoardSource(hid::DeviceInfo details) : details(std::move(details)) {}
    void start(hid::DeviceEvents& events) override { events.deviceArrived(*this); }
    const hid::DeviceInfo& info() const override { return details; }
    hid::WriteResult write(const hid::Report&) override { return hid::WriteResult::Refused; }
    hid::DeviceInfo details;
};

/// A source whose device read three reports it could not hand over in time.
struct LossySource final : hid::DeviceSource, hid::Device {
    void start(hid::DeviceEvents& events) override { events.reportsLost(*this, 3); }
    const hid::DeviceInfo& info() const override { return details; }
    hid::WriteResult write(const hid::Report&) override { return hid::WriteResult::Refused; }
    hid::DeviceInfo details;
};

class Monitor : public ::testing::Test {
protected:
    Monitor() {
        board = &board::VirtualBoard::attachTo(layer);
        view = std::make_unique<BoardMonitor>(
            layer,
            BoardMonitor::BoardIds{board::VirtualBoard::VendorId, board::VirtualBoard::ProductId},
            [this] { return now; });
        view->show();
        readAnswers();
    }

    /// Switches the board's read notification on, as the console's window does on a change.
    void readAnswers() {
        handle = layer.GetHandle(board::VirtualBoard::VendorId, board::VirtualBoard::ProductId);
        ASSERT_TRUE(layer.SetReadNotify(handle, true));
    }
    /// Sends the console's buffer with `code`: like the console's, the buffer keeps every other
    /// byte from the report before.
    void send(std::uint8_t code) {
        bufferOut[CommandByte] = code;
        layer.WriteEx(board::VirtualBoard::VendorId, board::VirtualBoard::ProductId, bufferOut);
    }
    /// One request the board answers `delay` later.
    void ask(std::uint8_t code, Clock::duration delay) {
        send(code);
        now += delay;
        DrainEvents();
        hid::Report answer{};
        while (layer.Read(handle, answer)) {
        }
    }
    /// One tick of the polling loop, A/D then input bits, each answered after `delay`.
    void poll(Clock::duration delay = 1ms) {
        const Clock::time_point tick = now;
        ask(ReadAdc, delay);
        ask(ReadInputs, delay);
        now = tick + PollPeriod;
    }
    /// Waits until everything the monitor was told of is shown.
    void waitForRefresh() {
        ASSERT_TRUE(WaitUntil([&] { return !view->refreshPending(); }));
    }
    template <typename Widget> Widget* child(const char* name) {
        auto* widget = view->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* name) { return child<QLabel>(name)->text(); }
    std::vector<int> shownValues(std::span<const monitor::Sample> samples) {
        std::vector<int> values;
        for (const monitor::Sample& sample : samples)
            values.push_back(sample.value);
        return values;
    }
    /// Saves as the operator does, through the button and its file dialog; answers the file.
    QByteArray save(const char* button, const QString& path) {
        const QString before = text("saveStatus");
        child<QPushButton>(button)->click();
        QFileDialog* dialog = nullptr; // the one open now, not one closed before
        for (QFileDialog* candidate : view->findChildren<QFileDialog*>("saveDialog"))
            if (candidate->isVisible()) dialog = candidate;
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return {};
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept(); // what its Save button does
        EXPECT_TRUE(WaitUntil([&] { return text("saveStatus") != before; }));
        EXPECT_TRUE(text("saveStatus").startsWith("Saved")) << text("saveStatus").toStdString();
        // The path shows as it is, in the label and in its tool tip, whatever its file name.
        EXPECT_EQ(child<QLabel>("saveStatus")->textFormat(), Qt::PlainText);
        EXPECT_EQ(
            QTextDocumentFragment::fromHtml(child<QLabel>("saveStatus")->toolTip()).toPlainText(),
            text("saveStatus"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QByteArray saveSamples(const QString& path) { return save("saveSamplesButton", path); }

    Clock::time_point now = Clock::time_point{} + 100h;
    hid::Report bufferOut{};
    hid::DeviceManager layer;
    board::VirtualBoard* board = nullptr;
    std::unique_ptr<BoardMonitor> view;
    hid::Handle handle = 0;
};

TEST_F(Monitor, TheChartFollowsTheAdValuesTheBoardAnswers) {
    for (const std::uint8_t value : {10, 200, 50, 120}) {
        board->setAdValue(value);
        poll();
    }
    waitForRefresh();
    EXPECT_EQ(shownValues(child<StripChart>("adChart")->shown()),
              (std::vector<int>{10, 200, 50, 120}));
    EXPECT_EQ(text("adStats"), "Last 10 s: min 10, max 200, mean 95.0 (4 answers)");
}

TEST_F(Monitor, AnInputBitHighForOnePollShowsAsAPulseOnePollWide) {
    board->setInputBits(0b0000'0001);
    for (int tick = 0; tick < 10; ++tick) {
        board->setInputBits(tick == 5 ? 0b0000'1001 : 0b0000'0001);
        poll();
    }
    waitForRefresh();
    const auto* lanes = child<LogicLanes>("inputLanes");
    const std::vector<LogicLanes::Edge> edges = lanes->edges(3);
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_TRUE(edges[0].high);
    EXPECT_FALSE(edges[1].high);
    EXPECT_EQ(edges[1].time - edges[0].time, PollPeriod);
    for (const int bit : {0, 1, 2, 4, 5, 6, 7})
        EXPECT_TRUE(lanes->edges(bit).empty()) << "bit " << bit;
}

TEST_F(Monitor, PortDLanesShowWhatTheConsoleWroteButNotTheClockText) {
    bufferOut[PortDByte] = 0b1000'0001;
    send(WritePortD);
    now += 5ms;
    poll();                     // the loop's reports carry the port byte along
    bufferOut[PortDByte] = 'x'; // the clock text runs over the port byte
    send(ClockText);
    now += 5ms;
    bufferOut[PortDByte] = 0b0000'0001;
    send(WritePortD);
    waitForRefresh();
    const auto* lanes = child<LogicLanes>("portDLanes");
    EXPECT_EQ(shownValues(lanes->shown()), (std::vector<int>{0x81, 0x81, 0x81, 0x01}));
    // The first write sets the level; only the last one changes it, and only for bit 7.
    ASSERT_EQ(lanes->edges(7).size(), 1u);
    EXPECT_FALSE(lanes->edges(7)[0].high);
    EXPECT_TRUE(lanes->edges(0).empty());
}

TEST_F(Monitor, AnswerTimingForABoardThatAnswersAfterAKnownDelay) {
    for (int delay = 1; delay <= 10; ++delay)
        poll(std::chrono::milliseconds(delay));
    waitForRefresh();
    EXPECT_EQ(text("timing4Last"), "10.00 ms");
    EXPECT_EQ(text("timing4Median"), "5.00 ms");
    EXPECT_EQ(text("timing4P99"), "10.00 ms");
    EXPECT_EQ(text("timing4Longest"), "10.00 ms");
    EXPECT_EQ(text("timing4Answered"), "10");
    EXPECT_EQ(text("timing4Unanswered"), "0");
    EXPECT_EQ(text("timing13Median"), "5.00 ms");
    EXPECT_EQ(text("timing2Answered"), "0");
    EXPECT_EQ(text("timing2Last"), "–");

    ask(ReadText, 300us);
    waitForRefresh();
    EXPECT_EQ(text("timing2Last"), "300 µs");
}

TEST_F(Monitor, AnAnswerLostOnTheWayIsCountedAsUnansweredAndStealsNoLaterAnswer) {
    poll(2ms);
    // The board is pulled out and put back before it answers: that answer never comes.
    send(ReadAdc);
    board->unplug();
    board->plug();
    readAnswers();
    now += PollPeriod;
    for (int tick = 0; tick < 3; ++tick)
        poll(2ms);
    now += 150ms;
    ASSERT_TRUE(WaitUntil([&] { return text("timing4Unanswered") == "1"; }));
    EXPECT_EQ(text("timing4Answered"), "4");
    EXPECT_EQ(text("timing4Longest"), "2.00 ms");
    EXPECT_EQ(text("timing13Unanswered"), "0");
    EXPECT_EQ(child<StripChart>("adChart")->shown().size(), 4u);
}

TEST_F(Monitor, ARequestLeftWithoutAnswerIsCountedAtItsDeadlineWithNoFurtherReport) {
    send(ReadAdc);
    board->unplug(); // the answer is lost, and nothing else will come
    now += 150ms;
    // What was there before the deadline, then the count the deadline brings by itself.
    ASSERT_TRUE(WaitUntil([&] { return text("timing4Unanswered") == "1"; }));
}

TEST_F(Monitor, MissesAreCountedOverTheShownSpan) {
    const auto missOne = [&] {
        send(ReadAdc);
        board->unplug(); // its answer is lost
        board->plug();
        readAnswers();
        now += 200ms;
    };
    missOne();
    missOne();
    now += 11s;
    missOne();
    ASSERT_TRUE(WaitUntil([&] { return text("timing4Unanswered") == "1"; }));
    child<QPushButton>("spanButton")->click();
    ASSERT_TRUE(WaitUntil([&] { return text("timing4Unanswered") == "3"; }));
}

TEST_F(Monitor, TheSavedSamplesAreTheSpansRowsInTimeOrder) {
    board->setAdValue(33);
    poll(); // 12 s before the rest: outside the span when they are saved
    now += 12s;
    bufferOut[PortDByte] = 5;
    send(WritePortD);
    now += 3ms;
    board->setAdValue(77);
    board->setInputBits(0x0f);
    poll(1500us);
    waitForRefresh();

    QTemporaryDir dir;
    const QByteArray csv = saveSamples(dir.filePath("samples.csv"));
    EXPECT_EQ(csv.toStdString(), "time_s,direction,code,value\n"
                                 "12.020000,out,14,5\n"
                                 "12.023000,out,4,5\n"
                                 "12.024500,in,4,77\n"
                                 "12.024500,out,13,5\n"
                                 "12.026000,in,13,15\n");
}

TEST_F(Monitor, PauseFreezesThePictureWhileTheReportsAreStillCounted) {
    for (int tick = 0; tick < 3; ++tick)
        poll();
    waitForRefresh();
    child<QPushButton>("pauseButton")->click();
    for (int tick = 0; tick < 5; ++tick)
        poll();
    waitForRefresh();
    EXPECT_EQ(child<StripChart>("adChart")->shown().size(), 3u);
    EXPECT_EQ(text("pausedNote"), "Paused: 20 reports since");
    EXPECT_EQ(text("countIn"), "6");

    QTemporaryDir dir;
    // What is saved while paused is what the frozen picture shows.
    EXPECT_EQ(saveSamples(dir.filePath("<i>paused.csv")).count("\n"), 1 + 3 * 4);

    child<QPushButton>("pauseButton")->click();
    waitForRefresh();
    EXPECT_EQ(child<StripChart>("adChart")->shown().size(), 8u);
    EXPECT_EQ(text("countIn"), "16");
    EXPECT_EQ(text("pausedNote"), "");
}

TEST_F(Monitor, TheLongSpanShowsTheLastMinute) {
    board->setAdValue(250);
    poll();
    now += 30s;
    board->setAdValue(5);
    poll();
    waitForRefresh();
    EXPECT_EQ(shownValues(child<StripChart>("adChart")->shown()), std::vector<int>{5});
    child<QPushButton>("spanButton")->click();
    waitForRefresh();
    EXPECT_EQ(shownValues(child<StripChart>("adChart")->shown()), (std::vector<int>{250, 5}));
    EXPECT_TRUE(text("adStats").startsWith("Last 60 s: min 5, max 250"));
}

TEST_F(Monitor, TrafficCountsReportsPerCodeAndEveryDirection) {
    for (int tick = 0; tick < 5; ++tick)
        poll();
    board->sendReport([] {
        hid::Report unasked{};
        unasked[CommandByte] = 77;
        return unasked;
    }());
    board->setWritesFail(true);
    send(WritePortD);
    board->unplug();
    send(WritePortD);
    layer.addSource(std::make_unique<LossySource>());
    waitForRefresh();
    EXPECT_EQ(text("trafficOut4"), "5");
    EXPECT_EQ(text("trafficIn4"), "5");
    EXPECT_EQ(text("trafficIn13"), "5");
    EXPECT_EQ(text("trafficInOther"), "1");
    EXPECT_EQ(text("trafficOut14"), "0");
    EXPECT_EQ(text("countOut"), "10");
    EXPECT_EQ(text("countIn"), "11");
    EXPECT_EQ(text("countFailed"), "1");
    EXPECT_EQ(text("countRefused"), "1");
    // The unasked report, left unread when it left, and three lost on their way.
    EXPECT_EQ(text("countDropped"), "4");

    // A second later, with nothing new, the rates are back to nought.
    now += 1500ms;
    board->plug();
    waitForRefresh();
    EXPECT_EQ(text("trafficOut4"), "0");
    EXPECT_EQ(text("countOut"), "10");
}

TEST_F(Monitor, ShowsTheBoardAndWhyAnotherCannotBeUsed) {
    EXPECT_EQ(text("boardNode"), "virtual");
    EXPECT_EQ(text("boardHandle"), QString::number(handle));
    EXPECT_EQ(text("boardIds"), "1234:0001");
    EXPECT_EQ(text("boardProduct"), "ZOV-USB Virtual Board");
    EXPECT_EQ(text("boardSerial"), "VB-0001");
    EXPECT_EQ(text("boardReports"), "in 32 bytes, out 32 bytes, no report ids");
    EXPECT_TRUE(child<QLabel>("boardProblem")->isHidden());

    board->unplug();
    layer.addSource(std::make_unique<LockedBoardSource>());
    waitForRefresh();
    EXPECT_EQ(text("boardNode"), "no board attached");
    EXPECT_EQ(text("boardProblem"),
              "/dev/hidraw4: no permission to open /dev/hidraw4; install the udev rule");
    EXPECT_FALSE(child<QLabel>("boardProblem")->isHidden());

    board->plug();
    waitForRefresh();
    EXPECT_EQ(text("boardNode"), "virtual");
    EXPECT_GT(text("boardHandle").toInt(), handle);
}

// The names hidapi gives as wide text reach the monitor as the board wrote them: Windows-1252
// has the ’ and the €, as the reports' text does. What a board calls itself shows as it is,
// never as markup: an <img> would have the label load the file it names.
TEST_F(Monitor, ShowsTheBoardNamesAsTheBoardGivesThem) {
    board->unplug();
    layer.addSource(std::make_unique<NamedBoardSource>(
        hid::DeviceInfo{board::VirtualBoard::VendorId,
                        board::VirtualBoard::ProductId,
                        hidraw::toWindows1252(L"Maker\u2019s \u20ac"),
                        "<b>bold</b>",
                        "<img src=\"serial.png\">",
                        "<i>node",
                        "",
                        {}}));
    layer.addSource(std::make_unique<LockedBoardSource>("<b>locked</b>"));
    waitForRefresh();
    const std::pair<const char*, QString> shown[]{
        {"boardMaker", "Maker\u2019s \u20ac"},
        {"boardProduct", "<b>bold</b>"},
        {"boardSerial", "<img src=\"serial.png\">"},
        {"boardNode", "<i>node"},
        {"boardProblem",
         "<b>locked</b>: no permission to open <b>locked</b>; install the udev rule"}};
    for (const auto& [name, expected] : shown) {
        EXPECT_EQ(text(name), expected) << name;
        EXPECT_EQ(child<QLabel>(name)->textFormat(), Qt::PlainText) << name;
    }
}

TEST_F(Monitor, AThousandReportsAtOnceAreDrawnOnceAndNothingRunsWhenIdle) {
    const int before = view->refreshCount();
    hid::Report answer{};
    answer[CommandByte] = ReadAdc;
    for (int i = 0; i < 1000; ++i) {
        answer[19] = static_cast<std::uint8_t>(i);
        board->sendReport(answer);
    }
    waitForRefresh();
    EXPECT_EQ(view->refreshCount(), before + 1);
    EXPECT_EQ(child<StripChart>("adChart")->shown().size(), 1000u);
    // Nothing changed since: no further redraw comes.
    EXPECT_FALSE(WaitUntil([&] { return view->refreshCount() > before + 1; }, 100ms));
}

TEST_F(Monitor, NeverWritesAReport) {
    WriteCounter writes;
    layer.addObserver(writes);
    hid::Report answer{};
    for (const std::uint8_t code : {ReadAdc, ReadInputs, ReadText}) {
        answer[CommandByte] = code;
        for (int i = 0; i < 50; ++i)
            board->sendReport(answer);
    }
    board->unplug();
    board->plug();
    child<QPushButton>("pauseButton")->click();
    child<QPushButton>("spanButton")->click();
    child<QPushButton>("pauseButton")->click();
    QTemporaryDir dir;
    saveSamples(dir.filePath("samples.csv"));
    // The saved status must not widen the window between two saves.
    const QImage picture = QImage::fromData(save("savePictureButton", dir.filePath("picture.png")));
    EXPECT_EQ(picture.size(), view->size());
    DrainEvents();
    EXPECT_EQ(board->reportsReceived(), 0u);
    EXPECT_EQ(writes.writes, 0);
    layer.removeObserver(writes);
}

} // namespace
