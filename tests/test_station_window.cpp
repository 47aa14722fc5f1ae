// The station window on two virtual boards at once: each socket's panel, the questions asked in
// turn and answered with the keyboard alone, the verdicts as shown, colour included, and the
// line's records drawn beside the sockets.
#include "board/VirtualBench.h"
#include "board/VirtualBoard.h"
#include "check/PlanParser.h"
#include "check/StationSession.h"
#include "hid/DeviceManager.h"
#include "records/DatabaseStore.h"
#include "stationwindow/PromptPanel.h"
#include "stationwindow/RecordsPanel.h"
#include "stationwindow/SocketGrid.h"
#include "stationwindow/SocketPanel.h"
#include "stationwindow/StationWindow.h"
#include "stationwindow/StationWindowFront.h"
#include "support/EventLoop.h"
#include "support/ShownPixels.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char* Plan = "name = 'Line <i>2</i>'\n"
                             "[[step]]\ntype = 'read_ad'\nmin = 100\n"
                             "[[step]]\ntype = 'prompt'\ntext = 'Press <b>S1</b>'\n"
                             "[[step]]\ntype = 'scan'\ntext = 'Scan the label'\n"
                             "pattern = '^ZB-[0-9]+$'\n";

// Measured only: no question asked, each board passes or fails on its A/D value.
constexpr const char* MeasuredPlan = "name = 'Line 2'\n[[step]]\ntype = 'read_ad'\nmin = 100\n";

/// Attaches the bench in `text` to `layer`; answers its boards, in the bench's order.
std::vector<board::VirtualBoard*> AttachBench(hid::DeviceManager& layer, const std::string& text) {
    tomlfile::TomlError error;
    const auto bench = board::ParseBench(text, "bench.toml", error);
    EXPECT_TRUE(bench) << error.text();
    std::vector<board::VirtualBoard*> boards;
    for (const board::VirtualBoardSetup& setup : bench.value_or(board::VirtualBench{})) {
        auto each = std::make_unique<board::VirtualBoard>(setup);
        boards.push_back(each.get());
        layer.addSource(std::move(each));
    }
    return boards;
}

/// The serial of the board in socket bay-`n`: as long as a production serial.
QString Serial(int n) {
    return QString("ZB-2412-%1").arg(n, 5, 10, QChar('0'));
}

/// `count` boards in the sockets bay-1, bay-2, ...: each reads an A/D value of 150, or with
/// `evenOnesLow` the even ones 20.
std::string BayBench(int count, bool evenOnesLow = false) {
    std::string text;
    for (int n = 1; n <= count; ++n)
        text += "[[board]]\nport='bay-" + std::to_string(n) + "'\nserial='" +
                Serial(n).toStdString() + "'\nad=" + (evenOnesLow && n % 2 == 0 ? "20" : "150") +
                "\n";
    return text;
}

/// The same bench, its boards plugged in from the last bay to the first.
std::string BayBenchLastFirst(int count, bool evenOnesLow = false) {
    std::string text;
    for (int n = count; n >= 1; --n)
        text += BayBench(n, evenOnesLow).substr(BayBench(n - 1, evenOnesLow).size());
    return text;
}

struct WindowRig {
    explicit WindowRig(const char* plan = Plan, check::RunStore* store = nullptr,
                       const std::string& bench = BayBench(2))
        : boards(AttachBench(layer, bench)) {
        check::PlanError error;
        station.emplace(layer, *check::ParsePlan(plan, "plan.toml", error),
                        check::RunProvenance("plan.toml", plan, "bay 4", {}), QDir(records.path()),
                        &person, store);
        window.follow(*station);
        window.show();
        station->start();
    }
    ~WindowRig() { station->stop(SIGTERM); }

    stationwindow::SocketPanel* panel(const QString& socket) {
        return window.findChild<stationwindow::SocketPanel*>("socket " + socket);
    }
    QString text(QWidget* in, const char* label) {
        const auto* found = in ? in->findChild<QLabel*>(label) : nullptr;
        return found ? found->text() : QString();
    }
    /// Waits for the next question; answers the socket it names, empty when none came.
    QString nextQuestion() {
        QWidget& prompt = window.prompt();
        if (!testsupport::WaitUntil([&] { return prompt.isVisible(); }, 10s)) return {};
        return prompt.findChildren<QLabel*>().first()->text();
    }

    QTemporaryDir records;
    hid::DeviceManager layer;
    std::vector<board::VirtualBoard*> boards;
    stationwindow::StationWindow window;
    stationwindow::PromptOperator person{window.prompt()};
    std::optional<check::StationSession> station;
};

// bay-1 confirms with Enter and scans a label; bay-2 refuses with Esc and gives its scan up:
// each socket's verdict is its own, large, on its colour, and the tally and the yield follow.
TEST(StationWindow, TwoBoardsAnsweredWithKeysEndOnTheirOwnVerdicts) {
    WindowRig rig;
    QWidget& prompt = rig.window.prompt();
    // Each question in turn, the socket it is for named above it.
    EXPECT_EQ(rig.nextQuestion(), "Socket bay-1");
    const auto* question = prompt.findChild<QLabel*>("question");
    EXPECT_EQ(question->text(), "Press <b>S1</b>");
    EXPECT_EQ(question->textFormat(), Qt::PlainText);
    QTest::keyClick(&prompt, Qt::Key_Return);
    EXPECT_EQ(rig.nextQuestion(), "Socket bay-2");
    // Enter held down repeats: the repeats answer nothing, not the question that came next.
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
    QApplication::sendEvent(&prompt, &repeated);
    EXPECT_EQ(rig.nextQuestion(), "Socket bay-2");
    EXPECT_EQ(question->text(), "Press <b>S1</b>");
    QTest::keyClick(&prompt, Qt::Key_Escape);
    EXPECT_EQ(rig.nextQuestion(), "Socket bay-1");
    auto* field = prompt.findChild<QLineEdit*>("scanned");
    ASSERT_TRUE(field->isVisible());
    QTest::keyClicks(field, "ZB-0042"); // as a scanner types it, Enter last
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(rig.nextQuestion(), "Socket bay-2");
    QTest::keyClick(field, Qt::Key_Escape);

    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return rig.station->tally().passed + rig.station->tally().failed == 2; }, 10s));
    testsupport::DrainEvents();
    EXPECT_FALSE(prompt.isVisible());
    const struct {
        QString socket;
        QString word;
        QColor colour;
        const char* note;
    } verdicts[] = {
        {"bay-1", "PASS", QColor(0x1b, 0x7f, 0x2e), ""},
        {"bay-2", "FAIL", QColor(0xc6, 0x28, 0x28), "failed: 2 prompt: "},
    };
    for (const auto& each : verdicts) {
        SCOPED_TRACE(each.socket.toStdString());
        stationwindow::SocketPanel* panel = rig.panel(each.socket);
        ASSERT_TRUE(panel);
        EXPECT_EQ(rig.text(panel, "verdict word"), each.word);
        EXPECT_TRUE(rig.text(panel, "verdict notes").contains(each.note))
            << rig.text(panel, "verdict notes").toStdString();
        EXPECT_EQ(rig.text(panel, "unplug"), "Unplug the board.");
        auto* verdict = panel->findChild<QFrame*>("verdict");
        // The verdict fills most of the panel, in letters readable from across the room.
        EXPECT_GT(verdict->height(), panel->height() / 2);
        EXPECT_GE(panel->findChild<QLabel*>("verdict word")->font().pixelSize(), 100);
        const QImage shown = verdict->grab().toImage();
        EXPECT_EQ(QColor(shown.pixel(4, 4)), each.colour);
        EXPECT_EQ(panel->findChild<QListWidget*>("steps")->count(), 3);
    }
    EXPECT_TRUE(rig.text(rig.panel("bay-1"), "board").contains("label ZB-0042"));
    const QString tally = rig.text(&rig.window, "tally");
    EXPECT_TRUE(tally.contains("Boards checked: 2, 1 passed, 1 failed")) << tally.toStdString();
    EXPECT_TRUE(tally.contains("first-pass yield 50.0% (1 of 2)")) << tally.toStdString();
    EXPECT_EQ(rig.text(&rig.window, "plan").left(23), "Plan: Line <i>2</i> (3 ");
}

/// The part of `widget` that its parents leave in view, in its window's coordinates.
QRect InView(const QWidget* widget) {
    QRect shown(widget->mapTo(widget->window(), QPoint()), widget->size());
    for (const QWidget* above = widget->parentWidget(); above; above = above->parentWidget())
        shown &= QRect(above->mapTo(above->window(), QPoint()), above->size());
    return shown;
}

qint64 Area(const QRect& rect) {
    return qint64(rect.width()) * rect.height();
}

/// The socket panels still open: those of the boards unplugged are gone.
QList<stationwindow::SocketPanel*> OpenPanels(WindowRig& rig) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return rig.window.findChildren<stationwindow::SocketPanel*>();
}

/// Scrolls `widget` into view, when it is in a scroll area.
void ScrollTo(QWidget* widget) {
    for (QWidget* above = widget->parentWidget(); above; above = above->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(above)) {
            area->ensureWidgetVisible(widget, 0, 0);
            testsupport::DrainEvents();
        }
}

// A board pulled during its check was never told to be unplugged: its verdict stays in view a
// while after its socket closes, or until the next board takes that socket.
TEST(StationWindow, ABoardPulledDuringItsCheckKeepsItsVerdictInViewAWhile) {
    WindowRig rig("name='long'\n[[step]]\ntype='wait_ms'\nduration_ms=60000\n", nullptr,
                  BayBench(2));
    const auto panels = [&](const QString& socket) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return rig.window.findChildren<stationwindow::SocketPanel*>("socket " + socket);
    };
    ASSERT_TRUE(testsupport::WaitUntil([&] { return OpenPanels(rig).size() == 2; }));
    int closed = 0;
    QObject::connect(&*rig.station, &check::StationSession::socketClosed, [&] { ++closed; });
    for (auto* board : rig.boards)
        board->unplug();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return closed == 2; }));
    testsupport::DrainEvents();
    for (const QString socket : {"bay-1", "bay-2"}) {
        SCOPED_TRACE(socket.toStdString());
        ASSERT_EQ(panels(socket).size(), 1);
        stationwindow::SocketPanel* panel = panels(socket).front();
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(rig.text(panel, "verdict word"), "FAIL");
        EXPECT_TRUE(rig.text(panel, "verdict notes").contains("the board left"));
        EXPECT_FALSE(panel->findChild<QLabel*>("unplug")->isVisible());
    }
    EXPECT_FALSE(rig.window.findChild<QLabel*>("waiting")->isVisible());
    // The next board in bay-1 takes its socket at once; bay-2's verdict goes in its time.
    rig.boards[0]->plug();
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        return std::ranges::any_of(panels("bay-1"), [](const auto* panel) {
            return !panel->template findChild<QFrame*>("verdict")->isVisible();
        });
    }));
    EXPECT_EQ(panels("bay-1").size(), 1);
    EXPECT_EQ(panels("bay-2").size(), 1);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return panels("bay-2").isEmpty(); },
                                       2 * stationwindow::StationWindow::VerdictShown));
}

// However many boards the fixture holds, the window keeps the size it was given on the smallest
// station screen, the sockets share it without overlapping, the tally stays in view and every
// verdict is shown whole, in letters that read from the operator's place; past what the window
// holds, the sockets scroll. Boards unplugged leave their room to the rest.
TEST(StationWindow, LaysOutEverySocketWithinTheWindow) {
    // 40 px letters have capitals some 28 px high: 8 mm on an 18.5" screen at 1366 x 768,
    // twice the 4.4 mm (5 arc minutes) that normal sight resolves at three metres.
    constexpr int ReadableWord = 40;
    const struct {
        int boards;
        bool scrolls;
    } cases[] = {{1, false}, {2, false}, {4, false}, {8, false}, {20, false}, {40, true}};
    for (const auto& each : cases) {
        SCOPED_TRACE(std::to_string(each.boards) + " boards");
        // Every other board fails: its verdict has notes, which leave the word its room.
        WindowRig rig(MeasuredPlan, nullptr, BayBenchLastFirst(each.boards, true));
        rig.window.resize(1300, 680); // a station's 1366 x 768 screen, as the window is sized
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] {
                const check::StationTally tally = rig.station->tally();
                return tally.passed + tally.failed == unsigned(each.boards);
            },
            20s));
        testsupport::DrainEvents();
        // The size it was given, frame and all within the screen.
        EXPECT_EQ(rig.window.width(), 1300);
        EXPECT_EQ(rig.window.height(), 680);
        EXPECT_TRUE(QRect(0, 0, 1366, 768).contains(rig.window.frameGeometry()))
            << rig.window.frameGeometry().width() << " x " << rig.window.frameGeometry().height();
        auto* tally = rig.window.findChild<QLabel*>("tally");
        EXPECT_EQ(tally->visibleRegion(), QRegion(tally->rect()));
        std::vector<QRect> taken;
        for (int n = 1; n <= each.boards; ++n) {
            SCOPED_TRACE("bay-" + std::to_string(n));
            stationwindow::SocketPanel* panel = rig.panel("bay-" + QString::number(n));
            ASSERT_TRUE(panel);
            for (const QRect& other : taken)
                EXPECT_FALSE(panel->geometry().intersects(other)) << "overlaps another socket";
            // The fixture's order, numbers by value, however the boards came: reading on
            // along its row, or down to the next.
            if (!taken.empty()) {
                EXPECT_TRUE(panel->y() == taken.back().y() ? panel->x() > taken.back().x()
                                                           : panel->y() > taken.back().y());
            }
            taken.push_back(panel->geometry());
            auto* word = panel->findChild<QLabel*>("verdict word");
            auto* board = panel->findChild<QLabel*>("board");
            if (each.scrolls) ScrollTo(panel);
            EXPECT_EQ(word->text(), n % 2 ? "PASS" : "FAIL");
            // Shown whole: nothing above clips it or covers it, and its text fits it.
            EXPECT_EQ(word->visibleRegion(), QRegion(word->rect()));
            const QFontMetrics metrics(word->font());
            EXPECT_LE(metrics.horizontalAdvance(word->text()), word->contentsRect().width());
            EXPECT_LE(metrics.height(), word->contentsRect().height());
            EXPECT_GE(word->font().pixelSize(), ReadableWord);
            EXPECT_EQ(board->visibleRegion(), QRegion(board->rect()));
            EXPECT_LE(board->heightForWidth(board->width()), board->height());
            EXPECT_TRUE(board->text().contains("serial " + Serial(n)));
        }
        if (each.boards < 4) continue;
        // Unplug three boards in four: the ones left take the socket area between them.
        const std::size_t left = each.boards / 4;
        for (std::size_t n = left; n < rig.boards.size(); ++n)
            rig.boards[n]->unplug();
        ASSERT_TRUE(
            testsupport::WaitUntil([&] { return OpenPanels(rig).size() == qsizetype(left); }));
        testsupport::DrainEvents();
        const QList<stationwindow::SocketPanel*> panels = OpenPanels(rig);
        qint64 shown = 0;
        for (const auto* panel : panels) {
            shown += Area(InView(panel));
            for (const auto* other : panels)
                EXPECT_TRUE(panel == other || !panel->geometry().intersects(other->geometry()));
        }
        EXPECT_GE(2 * shown, Area(InView(panels.front()->parentWidget())));
    }
}

// The smallest panel the grid shows holds each verdict whole, in letters that read from the
// operator's place: the longest word, STOPPED, and a failure with its notes and a scanned label
// that takes the board line to a second line.
TEST(StationWindow, ShowsEveryVerdictReadablyInTheSmallestPanel) {
    constexpr int ReadableWord = 40; // as above
    const struct {
        const char* word;
        int failing; // steps that did not pass, each a note
        bool error;
        bool counted;
        const char* label;
    } cases[] = {{"PASS", 0, false, true, ""},
                 {"FAIL", 5, false, true, "ZB-0042"},
                 {"ERROR", 1, true, true, "ZB-0042"},
                 {"STOPPED", 1, false, false, ""},
                 {"FAIL", 5, false, true, "ZB-LINE2-0123456789ABCDEF0123456789ABCDEF"}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.word);
        QWidget grid; // a panel of the grid: sized by it, never by its contents
        grid.resize(stationwindow::SocketGrid::MinimumPanel);
        hid::DeviceInfo board;
        board.serialNumber = "0123456789ABCDEF0123456789ABCDEF"; // as many boards give
        auto* panel = new stationwindow::SocketPanel("bay-64", board, &grid);
        panel->resize(stationwindow::SocketGrid::MinimumPanel);
        grid.show();
        check::CheckRecord record;
        record.board = board;
        record.label = each.label;
        for (int n = 1; n <= each.failing; ++n) {
            check::StepResult step;
            step.number = std::size_t(n);
            step.name = "read_ad";
            step.failure = "A/D value 20 breaks its limit >= 100";
            step.error = each.error;
            record.steps.push_back(step);
        }
        panel->showVerdict(record, each.counted);
        testsupport::DrainEvents();
        auto* word = panel->findChild<QLabel*>("verdict word");
        auto* line = panel->findChild<QLabel*>("board");
        EXPECT_EQ(word->text(), each.word);
        EXPECT_EQ(word->visibleRegion(), QRegion(word->rect()));
        const QFontMetrics metrics(word->font());
        EXPECT_LE(metrics.horizontalAdvance(word->text()), word->contentsRect().width());
        EXPECT_LE(metrics.height(), word->contentsRect().height());
        EXPECT_GE(word->font().pixelSize(), ReadableWord);
        // The board line whole, each word of it within the panel: a serial too long for a
        // line keeps its ends, where boards' numbers differ.
        EXPECT_LE(line->heightForWidth(line->width()), line->height());
        EXPECT_TRUE(line->text().contains(QRegularExpression("serial 0123.*….*CDEF")))
            << line->text().toStdString();
        // So does a label too long for a line of its own.
        const QString label = each.label;
        const QRegularExpression labelEnds("label " + QRegularExpression::escape(label.left(3)) +
                                           ".*" + QRegularExpression::escape(label.right(4)) + "$");
        EXPECT_EQ(line->text().contains(labelEnds), !label.isEmpty()) << line->text().toStdString();
        for (const QString& part : line->text().split(' ', Qt::SkipEmptyParts))
            EXPECT_LE(line->fontMetrics().horizontalAdvance(part), line->contentsRect().width())
                << part.toStdString();
    }
}

// A question for a socket scrolled out of view brings its panel into view: the operator sees
// which board is asking, with the grid shrunk below the question.
TEST(StationWindow, ScrollsToTheSocketAsked) {
    const char* plan = "name = 'Line 2'\n[[step]]\ntype = 'prompt'\ntext = 'Press S1'\n";
    WindowRig rig(plan, nullptr, BayBench(40));
    rig.window.resize(1300, 680);
    for (const int n : {1, 2, 40}) {
        const QString socket = "bay-" + QString::number(n);
        while (rig.nextQuestion() != "Socket " + socket)
            QTest::keyClick(&rig.window.prompt(), Qt::Key_Return);
        testsupport::DrainEvents();
        const QWidget* line = rig.panel(socket)->findChild<QLabel*>("board");
        EXPECT_EQ(line->visibleRegion(), QRegion(line->rect())) << socket.toStdString();
    }
}

/// The records panel's picture, as shown.
QImage RecordsPicture(WindowRig& rig) {
    return rig.window.findChild<QLabel*>("records picture")->grab().toImage();
}

/// The share of `image`'s pixels of exactly `colour`.
double Share(const QImage& image, QRgb colour) {
    qint64 count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return double(count) / std::max(1, image.width() * image.height());
}

// With --records the window shows the line's records beside the sockets, drawn again after the
// verdicts: both yield bars, first pass and final. A database that cannot be read is said in
// plain text.
TEST(StationWindow, ShowsTheLineRecordsBesideTheSockets) {
    QTemporaryDir dir;
    for (const bool reachable : {true, false}) {
        SCOPED_TRACE(reachable ? "reachable" : "unreachable");
        QString error;
        const QString database = dir.filePath(reachable ? "line.db" : "missing/line.db");
        records::DatabaseStore store(*records::ParseDatabaseUrl("sqlite:" + database, error),
                                     dir.filePath(reachable ? "spool" : "spool-unreachable"));
        WindowRig rig(MeasuredPlan, &store);
        rig.window.resize(1300, 680); // a station's 1366 x 768 screen, as the window is sized
        ASSERT_TRUE(testsupport::WaitUntil([&] { return rig.station->tally().passed == 2; }, 10s));
        auto* picture = rig.window.findChild<QLabel*>("records picture");
        if (!reachable) {
            ASSERT_TRUE(testsupport::WaitUntil(
                [&] { return picture->text().contains("cannot be read"); }, 10s));
            EXPECT_TRUE(picture->text().contains(database)) << picture->text().toStdString();
            EXPECT_EQ(picture->textFormat(), Qt::PlainText);
            continue;
        }
        // The bars stand for every board passing: more than the legend's swatches.
        EXPECT_TRUE(testsupport::WaitUntil(
            [&] {
                const QImage shown = RecordsPicture(rig);
                return Share(shown, qRgb(70, 130, 180)) > 0.005 &&
                       Share(shown, qRgb(60, 170, 110)) > 0.005;
            },
            10s));
        // Beside the sockets, never over them.
        const QRect records = rig.window.findChild<stationwindow::RecordsPanel*>()->geometry();
        for (const QString socket : {"bay-1", "bay-2"}) {
            const stationwindow::SocketPanel* panel = rig.panel(socket);
            const QRect shown(panel->mapTo(&rig.window, QPoint()), panel->size());
            EXPECT_FALSE(shown.intersects(records)) << socket.toStdString();
            EXPECT_GT(shown.width(), records.width() / 2) << socket.toStdString();
        }
    }
}

/// A store that keeps each picture request, for the test to answer from a thread of its own.
struct HeldStore final : check::RunStore {
    void store(const check::CheckRecord&) override {}
    bool finish() override { return true; }
    void drawPicture(PictureDelivery deliver) override { asked.push_back(std::move(deliver)); }
    std::vector<PictureDelivery> asked;
};

// The window asks at start and once more for the verdicts that came while a picture was being
// drawn; the picture comes from the store's thread as a posted event, and the window goes on
// meanwhile.
TEST(StationWindow, TakesTheRecordsPictureAsAPostedEvent) {
    HeldStore store;
    WindowRig rig(MeasuredPlan, &store);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return rig.station->tally().passed == 2; }, 10s));
    testsupport::DrainEvents();
    ASSERT_EQ(store.asked.size(), 1u); // the verdicts came with the first picture still out
    auto* picture = rig.window.findChild<QLabel*>("records picture");
    const QString before = picture->text();
    std::thread([&] { store.asked[0](QImage(), "<b>down</b>"); }).join();
    EXPECT_EQ(picture->text(), before); // nothing is touched off the GUI thread
    testsupport::DrainEvents();
    EXPECT_EQ(picture->text(), "<b>down</b>");
    EXPECT_EQ(store.asked.size(), 2u); // the picture of the runs since
}

// Closing the window ends the station as SIGTERM does: the program runs on until every check
// under way has written its records (aborted), and ends with the station's exit status.
TEST(StationWindow, ClosingItEndsTheStationOnlyOnceEveryRecordIsWritten) {
    QTemporaryDir records;
    hid::DeviceManager layer;
    AttachBench(layer, "[[board]]\nport='bay-1'\n[[board]]\nport='bay-2'\n");
    const char* plan = "name='long'\n[[step]]\ntype='read_ad'\n"
                       "[[step]]\ntype='wait_ms'\nduration_ms=60000\n";
    check::PlanError error;
    const std::unique_ptr<check::StationFront> front = stationwindow::MakeStationWindow();
    check::StationSession station(layer, *check::ParsePlan(plan, "plan.toml", error),
                                  check::RunProvenance("plan.toml", plan, {}, {}),
                                  QDir(records.path()), &front->person());
    front->show(station);
    static constexpr int doneOffset = 10; // tells the station's exit from any other end of the loop
    QObject::connect(
        &station, &check::StationSession::done, qApp,
        [](int code) { QCoreApplication::exit(doneOffset + code); }, Qt::QueuedConnection);
    int stepsDone = 0;
    QObject::connect(&station, &check::StationSession::stepFinished, [&] {
        if (++stepsDone == 2)
            for (QWidget* each : QApplication::topLevelWidgets())
                if (qobject_cast<stationwindow::StationWindow*>(each))
                    QMetaObject::invokeMethod(each, &QWidget::close, Qt::QueuedConnection);
    });
    QTimer::singleShot(20s, qApp, [] { QCoreApplication::exit(-1); });
    station.start();
    EXPECT_EQ(QCoreApplication::exec(), doneOffset + check::AllPassed);
    const QStringList written = QDir(records.path()).entryList({"*.json"}, QDir::Files);
    ASSERT_EQ(written.size(), 2) << written.join(' ').toStdString();
    EXPECT_EQ(station.tally().passed + station.tally().failed, 0u);
}

TEST(FirstPassYield, CountsEachSerialsFirstCheckOnly) {
    stationwindow::FirstPassYield yield;
    EXPECT_EQ(yield.text(), "first-pass yield -");
    yield.add("A", false);
    yield.add("A", true); // reworked and checked again: not a first pass
    yield.add("B", true);
    yield.add("", true); // no serial: every check is a board of its own
    yield.add("", false);
    EXPECT_EQ(yield.text(), "first-pass yield 50.0% (2 of 4)");
}

} // namespace
