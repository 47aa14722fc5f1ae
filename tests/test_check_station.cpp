// Station mode on the virtual board: board after board, each with its records, the tally at the
// end; and the names of the records and the banner.
#include "board/VirtualBench.h"
#include "board/VirtualBoard.h"
#include "check/CheckSession.h"
#include "check/Console.h"
#include "check/ConsoleReport.h"
#include "check/OperatorQueue.h"
#include "check/PlanParser.h"
#include "check/RecordTarget.h"
#include "check/StationRecords.h"
#include "check/StationSession.h"
#include "check/TerminalOperator.h"
#include "hid/DeviceManager.h"
#include "hidraw/HidrawSource.h"
#include "protocol/ReportLayout.h"
#include "support/EventLoop.h"
#include "support/FakeHidrawSystem.h"
#include "support/FirmwareBoardEnd.h"
#include "support/ScriptedOperator.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <pty.h>
#include <set>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

/// Tells of one board that cannot be used, as a source does when it lacks the rights.
class UnusableBoardSource final : public hid::DeviceSource {
public:
    void start(hid::DeviceEvents& events) override {
        events.deviceUnusable({hid::DeviceProblem::Kind::NoPermission, "/dev/hidraw7",
                               "/dev/hidraw7 cannot be opened: no permission"});
    }
};

/// A --records store that keeps the outcome of each run it is given.
struct RecordingStore final : check::RunStore {
    void store(const check::CheckRecord& record) override { outcomes << record.outcome(); }
    bool finish() override { return true; }
    QStringList outcomes;
};

/// A station on a layer of its own, with a records folder of its own.
struct StationRig {
    /// Attaches the boards of a bench, each its own source, plugged in on its own schedule.
    void attachBench(const std::string& bench) {
        tomlfile::TomlError error;
        const auto boards = board::ParseBench(bench, "bench.toml", error);
        ASSERT_TRUE(boards) << error.text();
        for (const board::VirtualBoardSetup& setup : *boards)
            layer.addSource(std::make_unique<board::VirtualBoard>(setup));
    }
    /// Starts a station running `plan`, its operator steps answered by `person`.
    void start(const std::string& plan, check::Operator* person = nullptr) {
        check::PlanError error;
        auto parsed = check::ParsePlan(plan, "plan.toml", error);
        ASSERT_TRUE(parsed) << error.text();
        planSha256 =
            QCryptographicHash::hash(QByteArray::fromStdString(plan), QCryptographicHash::Sha256)
                .toHex();
        station = std::make_unique<check::StationSession>(
            layer, *parsed, check::RunProvenance("plan.toml", plan, "bay 4", "Ingrid"),
            QDir(dir.path()), person, &store);
        QObject::connect(station.get(), &check::StationSession::done,
                         [this](int code) { exitCode = code; });
        QObject::connect(station.get(), &check::StationSession::socketOpened,
                         [this] { ++socketsOpened; });
        QObject::connect(station.get(), &check::StationSession::socketClosed,
                         [this] { ++socketsClosed; });
        station->start();
    }
    std::size_t checked() const {
        const check::StationTally& tally = station->tally();
        return tally.passed + tally.failed + tally.undecided;
    }
    QStringList records() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
    /// The JSON records by the port of their board.
    std::map<QString, QJsonObject> recordsByPort() const {
        std::map<QString, QJsonObject> found;
        for (const QString& name : records())
            if (name.endsWith(".json")) {
                const QJsonObject each = record(name);
                found[each["board"]["port"].toString()] = each;
            }
        return found;
    }
    QJsonObject record(const QString& name) const {
        QFile file(QDir(dir.path()).filePath(name));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    QTemporaryDir dir;
    RecordingStore store;
    hid::DeviceManager layer;
    std::unique_ptr<check::StationSession> station;
    int exitCode = -1;
    int socketsOpened = 0;
    int socketsClosed = 0;
    QString planSha256; ///< of the plan's text
};

struct BoardsCase {
    const char* what;
    std::vector<std::uint8_t> adValues; ///< one board after the other
    QStringList outcomes;               ///< of their JSON records, in the order of their names
    std::size_t passed;
    std::size_t failed;
    int exitCode;
    const char* moreSteps = ""; ///< after the A/D step
};

TEST(Station, EachBoardInTurnGivesItsRecordsAndCountsInTheTally) {
    const BoardsCase cases[] = {
        {"two passing boards", {150, 150}, {"pass", "pass"}, 2, 0, check::AllPassed},
        {"a passing then a failing board", {150, 20}, {"pass", "fail"}, 1, 1, check::StepFailed},
        {"a failing then a passing board", {20, 150}, {"fail", "pass"}, 1, 1, check::StepFailed},
        // The pattern's first branch backtracks past the engine's limit on any text.
        {"a board the check cannot decide on",
         {150},
         {"error"},
         0,
         0,
         check::Undecided,
         "[[step]]\ntype='read_text'\nmatches='(?:(.*)*(.*)*(.*)*(.*)*(.*)*(.*)*X|Hello.*)'\n"},
    };
    for (const BoardsCase& each : cases) {
        SCOPED_TRACE(each.what);
        StationRig rig;
        board::VirtualBoard& board = board::VirtualBoard::attachTo(rig.layer);
        board.setAdValue(each.adValues[0]);
        rig.start(std::string("name='range'\n[[step]]\ntype='read_ad'\nmin=100\n") +
                  each.moreSteps);
        for (std::size_t n = 0; n < each.adValues.size(); ++n) {
            if (n > 0) {
                board.unplug();
                board.setAdValue(each.adValues[n]);
                board.plug();
            }
            ASSERT_TRUE(testsupport::WaitUntil([&] { return rig.checked() == n + 1; }, 10s)) << n;
        }
        rig.station->stop(SIGTERM);
        EXPECT_EQ(rig.exitCode, each.exitCode);
        EXPECT_EQ(rig.station->tally().passed, each.passed);
        EXPECT_EQ(rig.station->tally().failed, each.failed);
        // Both boards have the same serial and start within a second or so: the second pair
        // takes "-2" and never overwrites the first.
        QStringList names = rig.records();
        ASSERT_EQ(names.size(), 2 * int(each.adValues.size())) << names.join(' ').toStdString();
        // In the order they were written: by time, and "<time>" before "<time>-2".
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            return std::pair(a.size(), a) < std::pair(b.size(), b);
        });
        const QRegularExpression name(R"(VB-0001-\d{8}T\d{6}Z(-2)?\.(json|xml))");
        QStringList outcomes;
        for (const QString& each : names) {
            EXPECT_TRUE(name.match(each).hasMatch()) << each.toStdString();
            if (!each.endsWith(".json")) continue;
            const QJsonObject record = rig.record(each);
            outcomes << record["outcome"].toString();
            // Every board's record names the station, its operator and the plan it ran.
            EXPECT_EQ(record["producer"]["station_id"], "bay 4");
            EXPECT_EQ(record["producer"]["operator"], "Ingrid");
            EXPECT_EQ(record["plan"]["sha256"], rig.planSha256);
        }
        EXPECT_EQ(outcomes.join(' '), each.outcomes.join(' '));
        // Each run is also given to --records' store, in turn.
        EXPECT_EQ(rig.store.outcomes.join(' '), each.outcomes.join(' '));
    }
}

/// The A/D value the first step of a JSON record read.
int FirstAdValue(const QJsonObject& record) {
    return record["steps"][0]["measurements"][0]["value"].toInt(-1);
}

struct SocketsCase {
    const char* what;
    const char* bench;
    int socketsClosed; ///< by the boards' own schedules
    QString secondOutcome;
    bool secondLeft;
    int secondAdValue;
};

// Each board has its own run of the plan, reads its own board's value, writes its own records
// (two boards of one serial too) and gets its own verdict, while the other runs beside it.
TEST(Station, SeveralBoardsAreCheckedAtOnceEachWithItsOwnRecordsAndVerdict) {
    const SocketsCase cases[] = {
        {"a board plugged later and unplugged on its schedule",
         "[[board]]\nport='bay-1'\nserial='SAME'\nad=150\n"
         "[[board]]\nport='bay-2'\nserial='SAME'\nad=20\nplug_at_ms=100\nunplug_at_ms=2500\n",
         1, "fail", false, 20},
        {"a board that leaves during its check while the other passes",
         "[[board]]\nport='bay-1'\nad=150\n"
         "[[board]]\nport='bay-2'\nad=140\nunplug_at_ms=300\n",
         1, "fail", true, 140},
    };
    for (const SocketsCase& each : cases) {
        SCOPED_TRACE(each.what);
        StationRig rig;
        rig.attachBench(each.bench);
        testing::internal::CaptureStdout();
        rig.start("name='two'\n[[step]]\ntype='read_ad'\nmin=100\n"
                  "[[step]]\ntype='wait_ms'\nduration_ms=1000\n"
                  "[[step]]\ntype='read_ad'\nmin=100\n");
        const bool ended = testsupport::WaitUntil(
            [&] { return rig.checked() == 2 && rig.socketsClosed == each.socketsClosed; }, 15s);
        rig.station->stop(SIGTERM);
        const std::string output = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(ended) << output;
        EXPECT_EQ(rig.exitCode, check::StepFailed);
        EXPECT_EQ(rig.station->tally().passed, 1u);
        EXPECT_EQ(rig.station->tally().failed, 1u);
        EXPECT_EQ(rig.records().size(), 4) << rig.records().join(' ').toStdString();
        const auto records = rig.recordsByPort();
        ASSERT_EQ(records.size(), 2u);
        const QJsonObject first = records.at("bay-1");
        const QJsonObject second = records.at("bay-2");
        EXPECT_EQ(first["outcome"], "pass");
        EXPECT_EQ(FirstAdValue(first), 150);
        EXPECT_FALSE(first["board_left"].toBool());
        // Its own reports only: two requests and their answers, none of the other board's.
        EXPECT_EQ(first["reports"]["sent"].toInt(), 2);
        EXPECT_EQ(first["reports"]["received"].toInt(), 2);
        EXPECT_EQ(second["outcome"], each.secondOutcome);
        EXPECT_EQ(FirstAdValue(second), each.secondAdValue);
        EXPECT_EQ(second["board_left"].toBool(), each.secondLeft);
        // At once: each run began before the other ended.
        EXPECT_LT(first["started"].toString(), second["ended"].toString());
        EXPECT_LT(second["started"].toString(), first["ended"].toString());
        // Both sockets in use: each line tells its socket; the station's own lines none.
        EXPECT_NE(output.find("\n[bay-2] Board: "), std::string::npos) << output;
        EXPECT_NE(output.find("\n[bay-2] Records: "), std::string::npos) << output;
        // Only a board still there is told to be unplugged.
        EXPECT_EQ(output.find("\n[bay-2] Unplug the board.") != std::string::npos, !each.secondLeft)
            << output;
        EXPECT_NE(output.find("\nBoards checked: 2"), std::string::npos) << output;
    }
}

// Two boards on hidraw nodes of the real source, each on a USB port that only sysfs tells, each
// answered by firmware of its own: checked at once, each socket named by its board's port, each
// record with that board's answer alone.
TEST(Station, BoardsOnHidrawNodesAreCheckedAtOnceEachInTheSocketOfItsUsbPort) {
    const struct {
        std::string node;
        std::string port;
        std::uint8_t adValue;
    } boards[] = {{"/dev/hidraw3", "1-1.2", 150}, {"/dev/hidraw5", "3-4", 120}};
    testsupport::FakeHidrawSystem system;
    std::map<std::string, std::unique_ptr<testsupport::FirmwareBoardEnd>> firmware;
    for (const auto& each : boards) {
        system.plug({protocol::DeviceVendorID,
                     protocol::DeviceProductID,
                     "ZOV",
                     "ZOV-USB",
                     "B" + each.port,
                     each.node,
                     "",
                     {}});
        system.placeOnPort(each.node, each.port);
    }
    // Opened on the source's call thread; the board's end is served from the GUI thread.
    system.beforeAnswer = [&](const std::string& node) {
        const std::lock_guard lock(system.mutex);
        const int end = ::dup(system.boardEnd.at(node));
        QMetaObject::invokeMethod(
            qApp,
            [&, node, end] {
                auto served = std::make_unique<testsupport::FirmwareBoardEnd>(end);
                for (const auto& board : boards)
                    if (board.node == node) served->adValue = board.adValue;
                firmware[node] = std::move(served);
            },
            Qt::QueuedConnection);
    };
    StationRig rig;
    hidraw::HidrawOptions options;
    options.openIds = {{protocol::DeviceVendorID, protocol::DeviceProductID}};
    options.hotplug = hidraw::HidrawOptions::Hotplug::None;
    rig.layer.addSource(std::make_unique<hidraw::HidrawSource>(options, system.backend()));
    testing::internal::CaptureStdout();
    rig.start("name='hidraw'\n[[step]]\ntype='read_ad'\nmin=100\n"
              "[[step]]\ntype='wait_ms'\nduration_ms=300\n");
    const bool ended = testsupport::WaitUntil([&] { return rig.checked() == 2; }, 10s);
    rig.station->stop(SIGTERM);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ended) << output;
    EXPECT_EQ(rig.station->tally().passed, 2u);
    const auto records = rig.recordsByPort();
    ASSERT_EQ(records.size(), 2u) << rig.records().join(' ').toStdString();
    for (const auto& each : boards) {
        SCOPED_TRACE(each.port);
        const QJsonObject& record = records.at(QString::fromStdString(each.port));
        EXPECT_EQ(record["outcome"], "pass");
        EXPECT_EQ(record["board"]["serial"], QString::fromStdString("B" + each.port));
        EXPECT_EQ(FirstAdValue(record), each.adValue);
        EXPECT_EQ(record["reports"]["received"].toInt(), 1);
        EXPECT_NE(output.find("\n[" + each.port + "] Records: "), std::string::npos) << output;
    }
    EXPECT_LT(records.at("1-1.2")["started"].toString(), records.at("3-4")["ended"].toString());
    EXPECT_LT(records.at("3-4")["started"].toString(), records.at("1-1.2")["ended"].toString());
}

// One operator for both sockets: a question at a time, each labelled with its socket, and
// each answer goes to the board whose question it answers.
TEST(Station, EachSocketsQuestionIsAskedInTurnAndAnsweredForItAlone) {
    using Answer = testsupport::ScriptedOperator::Answer;
    testsupport::ScriptedOperator person({Answer({check::OperatorAnswer::Kind::Yes, {}}),
                                          Answer({check::OperatorAnswer::Kind::No, {}})});
    StationRig rig;
    rig.attachBench("[[board]]\nport='bay-1'\n[[board]]\nport='bay-2'\n");
    rig.start("name='asks'\n[[step]]\ntype='prompt'\ntext='Press S1'\n", &person);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return rig.checked() == 2; }, 10s));
    rig.station->stop(SIGTERM);
    EXPECT_EQ(person.sockets, (std::vector<std::string>{"bay-1", "bay-2"}));
    const auto records = rig.recordsByPort();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records.at("bay-1")["outcome"], "pass");
    EXPECT_EQ(records.at("bay-2")["outcome"], "fail");
}

TEST(Station, StoppingInterruptsEveryCheckWritesItsRecordsAndCountsNone) {
    StationRig rig;
    rig.attachBench("[[board]]\nport='bay-1'\n[[board]]\nport='bay-2'\n");
    int stepsDone = 0;
    rig.start(
        "name='long'\n[[step]]\ntype='read_ad'\n[[step]]\ntype='wait_ms'\nduration_ms=60000\n");
    QObject::connect(rig.station.get(), &check::StationSession::stepFinished, [&] { ++stepsDone; });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return stepsDone == 2; }, 10s));
    testsupport::DrainEvents();
    rig.station->stop(SIGINT);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return rig.exitCode != -1; }, 10s));
    EXPECT_EQ(rig.exitCode, check::AllPassed);
    EXPECT_EQ(rig.checked(), 0u);
    const QStringList records = rig.records();
    ASSERT_EQ(records.size(), 4) << records.join(' ').toStdString();
    for (const QString& name : records) {
        SCOPED_TRACE(name.toStdString());
        if (name.endsWith(".json")) {
            EXPECT_EQ(rig.record(name)["outcome"], "aborted");
            continue;
        }
        QFile junit(QDir(rig.dir.path()).filePath(name));
        ASSERT_TRUE(junit.open(QIODevice::ReadOnly));
        const QByteArray xml = junit.readAll();
        EXPECT_TRUE(xml.contains("tests=\"2\" failures=\"0\" errors=\"0\" skipped=\"1\""))
            << xml.data();
        EXPECT_TRUE(xml.contains("<skipped message=\"interrupted by SIGINT\"/>")) << xml.data();
    }
}

// Records that cannot be written are the station's fault: the board is not counted, and the
// check in every other socket is interrupted, as a signal would, before the station stops.
TEST(Station, AStationFaultInOneSocketStopsTheOthers) {
    StationRig rig;
    rig.attachBench("[[board]]\n[[board]]\nplug_at_ms=100\n");
    testing::internal::CaptureStdout();
    rig.start("name='short'\n[[step]]\ntype='wait_ms'\nduration_ms=600\n");
    const bool both = testsupport::WaitUntil([&] { return rig.socketsOpened == 2; }, 10s);
    QDir(rig.dir.path()).removeRecursively(); // where the records go is gone
    const bool ended = testsupport::WaitUntil([&] { return rig.exitCode != -1; }, 10s);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(both && ended) << output;
    EXPECT_EQ(rig.exitCode, check::Undecided);
    EXPECT_EQ(rig.checked(), 0u);
    EXPECT_NE(output.find("[virtual-1] Station fault: this board's records cannot be written"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("[virtual-2] Interrupted by a station fault"), std::string::npos)
        << output;
}

TEST(Station, ABoardThatCannotBeUsedIsToldAndNotCounted) {
    StationRig rig;
    testing::internal::CaptureStdout();
    rig.start("name='any'\n[[step]]\ntype='read_ad'\n");
    rig.layer.addSource(std::make_unique<UnusableBoardSource>());
    testsupport::DrainEvents();
    rig.station->stop(SIGTERM);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("cannot be used (not counted):\n  /dev/hidraw7 cannot be opened: no "
                          "permission"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Boards checked: 0, 0 passed, 0 failed"), std::string::npos) << output;
    EXPECT_EQ(rig.exitCode, check::AllPassed);
    EXPECT_TRUE(rig.records().isEmpty());
}

// The queue asks one question at a time, in the order asked; a question withdrawn while it
// waits is never asked, and one withdrawn while asked is withdrawn from the operator too.
TEST(OperatorQueue, AsksInTurnAndForgetsWhatIsWithdrawn) {
    using Kind = check::OperatorAnswer::Kind;
    testsupport::ScriptedOperator person(
        {check::OperatorAnswer{Kind::Yes, {}}, check::OperatorAnswer{Kind::No, {}}});
    check::OperatorQueue queue(&person);
    const auto bay1 = queue.seat("bay-1");
    const auto bay2 = queue.seat("bay-2");
    const auto bay3 = queue.seat("bay-3");
    std::vector<std::string> answers;
    for (const auto* seat : {bay1.get(), bay2.get(), bay3.get()})
        QObject::connect(seat, &check::Operator::answered,
                         [&answers, seat, &bay1, &bay2](const check::OperatorAnswer& answer) {
                             answers.push_back(
                                 (seat == bay1.get()   ? "bay-1 "
                                  : seat == bay2.get() ? "bay-2 "
                                                       : "bay-3 ") +
                                 std::string(answer.kind == Kind::Yes ? "yes" : "no"));
                         });
    bay1->ask(check::OperatorQuestion::Confirm, "one", {});
    bay2->ask(check::OperatorQuestion::Confirm, "two", {});
    bay3->ask(check::OperatorQuestion::YesNo, "three", {});
    bay2->withdraw(); // its step timed out while it waited
    EXPECT_EQ(person.sockets, (std::vector<std::string>{"bay-1"}));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return answers.size() == 2; }, 5s));
    EXPECT_EQ(answers, (std::vector<std::string>{"bay-1 yes", "bay-3 no"}));
    EXPECT_EQ(person.sockets, (std::vector<std::string>{"bay-1", "bay-3"}));
    bay1->ask(check::OperatorQuestion::Confirm, "again", {}); // no answer scripted for it
    bay1->withdraw();
    EXPECT_EQ(person.withdrawn, 3u) << "the question asked is withdrawn from the operator";
}

TEST(StationRecords, TheSerialBecomesAWordFitForAFileName) {
    const struct {
        QString serial;
        QString word;
    } cases[] = {
        {"VB-0001", "VB-0001"},
        {"a_b-9", "a_b-9"},
        {"", "no-serial"},
        {"../../etc/passwd", "______etc_passwd"},
        {"A B:C*D?", "A_B_C_D_"},
        {QString::fromUtf8("Zäh\u00e9"), "Z_h_"},
        {QString(100, 'x'), QString(64, 'x')},
    };
    for (const auto& each : cases)
        EXPECT_EQ(check::SerialFileWord(each.serial), each.word) << each.serial.toStdString();
}

TEST(StationRecords, TheNameHoldsTheUtcStartAndNeverReplacesARecord) {
    QTemporaryDir dir;
    const QDir records(dir.path());
    // 01:02:03 at UTC+2 is 23:02:03 UTC the day before.
    const QDateTime started(QDate(2026, 3, 1), QTime(1, 2, 3), QTimeZone(2 * 3600));
    const QString base = records.filePath("SN_1-20260228T230203Z");
    QString error;
    EXPECT_EQ(check::WriteStationRecords(records, "SN 1", started, "{}", "<a/>", error), base);
    QFile(base + "-2.xml").open(QIODevice::WriteOnly);
    EXPECT_EQ(check::WriteStationRecords(records, "SN 1", started, "{}", "<b/>", error),
              base + "-3");
    QFile first(base + ".xml");
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), "<a/>");
    EXPECT_EQ(QDir(dir.path(), {}, QDir::Name, QDir::Files | QDir::Hidden).count(), 5u)
        << "two pairs and the file in the way, nothing else";

    // Boards of one serial that end together are written at once, each on its own thread:
    // each pair gets a name of its own, and both its files are that board's.
    constexpr int AtOnce = 8;
    std::vector<QString> bases(AtOnce);
    std::vector<std::thread> writers;
    for (int n = 0; n < AtOnce; ++n)
        writers.emplace_back([&, n] {
            QString ownError;
            bases[n] = check::WriteStationRecords(records, "SN 1", started, QByteArray::number(n),
                                                  "<" + QByteArray::number(n) + "/>", ownError);
        });
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(std::set<QString>(bases.begin(), bases.end()).size(), std::size_t(AtOnce));
    for (int n = 0; n < AtOnce; ++n) {
        QFile json(bases[n] + ".json");
        QFile xml(bases[n] + ".xml");
        ASSERT_TRUE(json.open(QIODevice::ReadOnly) && xml.open(QIODevice::ReadOnly));
        EXPECT_EQ(json.readAll(), QByteArray::number(n));
        EXPECT_EQ(xml.readAll(), "<" + QByteArray::number(n) + "/>");
    }
    EXPECT_EQ(QDir(dir.path(), {}, QDir::Name, QDir::Files | QDir::Hidden).count(),
              5u + 2 * AtOnce);
}

// Each way of claiming a name, alone as a file system may offer it: a free name gets the whole
// record, a taken one is left as it was, and nothing else stays behind.
TEST(StationRecords, EveryWayOfClaimingANameNeverReplacesAFile) {
    for (const check::Claim way : check::EveryClaim) {
        SCOPED_TRACE(int(way));
        QTemporaryDir dir;
        const QString taken = QDir(dir.path()).filePath("taken.json");
        QFile other(taken);
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("another station's");
        other.close();
        QString error;
        const check::Claim only[] = {way};
        EXPECT_EQ(check::WriteNewFile(taken, "{}", error, only), check::NewFile::Taken)
            << error.toStdString();
        const QString free = QDir(dir.path()).filePath("free.json");
        EXPECT_EQ(check::WriteNewFile(free, "{\"a\": 1}", error, only), check::NewFile::Written)
            << error.toStdString();
        for (const auto& [name, contents] :
             {std::pair{taken, "another station's"}, std::pair{free, "{\"a\": 1}"}}) {
            QFile file(name);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), contents);
        }
        EXPECT_EQ(QDir(dir.path(), {}, QDir::Name, QDir::Files | QDir::Hidden).count(), 2u);
    }
}

/// The banner's last non-empty line.
std::string LastLine(const std::string& text) {
    const std::size_t end = text.find_last_not_of('\n');
    return text.substr(text.rfind('\n', end) + 1, end - text.rfind('\n', end));
}

// However many steps fail, the verdict, the serial and the count end the banner: the first few
// failures are listed above it and the rest only counted.
TEST(StationBanner, ALargeVerdictForTheExitCodeEndsWithTheSerialAndTheCount) {
    check::CheckRecord record;
    record.board.serialNumber = "ZB-\x92"
                                "42";
    record.steps.resize(40);
    record.planSteps = 40;
    for (std::size_t n = 0; n < record.steps.size(); ++n) {
        record.steps[n].number = n + 1;
        record.steps[n].name = "read_ad";
    }
    const std::string pass = check::Banner(record, false);
    EXPECT_NE(pass.find("####    ##    ####   ####"), std::string::npos) << pass;
    EXPECT_EQ(LastLine(pass), "    PASS: board serial ZB-\u201942, 0 of 40 steps failed");

    for (std::size_t n = 2; n < record.steps.size(); ++n)
        record.steps[n].failure = "no answer";
    const std::string fail = check::Banner(record, false);
    EXPECT_NE(fail.find("#####   ##   ###  #"), std::string::npos) << fail;
    EXPECT_NE(fail.find("failed: 3 read_ad: no answer\n"), std::string::npos) << fail;
    EXPECT_NE(fail.find("failed: 7 read_ad: no answer\n"), std::string::npos) << fail;
    EXPECT_EQ(fail.find("8 read_ad"), std::string::npos) << fail;
    EXPECT_NE(fail.find("and 33 more\n"), std::string::npos) << fail;
    EXPECT_EQ(LastLine(fail), "    FAIL: board serial ZB-\u201942, 38 of 40 steps failed");
    EXPECT_LT(std::count(fail.begin(), fail.end(), '\n'), 20) << fail;

    record.steps.resize(3);
    record.planSteps = 3;
    record.steps[2].error = true;
    record.board.serialNumber.clear();
    const std::string undecided = check::Banner(record, false);
    EXPECT_NE(undecided.find("#####  ####   ####"), std::string::npos) << undecided;
    EXPECT_NE(undecided.find("could not decide: 3 read_ad: no answer"), std::string::npos);
    EXPECT_EQ(LastLine(undecided),
              "    ERROR: board without a serial number, 0 of 3 steps failed, 1 could not decide");

    // The count is of the plan's steps: a try tried again is no step of its own, and a step
    // never run is told as such, not as passed.
    record.planSteps = 4;
    record.steps[0].failure = "no answer";
    record.steps[0].retried = true;
    record.steps[1].number = 1;
    record.steps[1].attempt = 2;
    record.steps[1].failure = "no answer";
    record.steps[2].error = false;
    record.steps[2].skipped = true;
    record.steps[2].number = 2;
    EXPECT_EQ(LastLine(check::Banner(record, false)),
              "    FAIL: board without a serial number, 1 of 4 steps failed, 3 not run");
}

// Green, red and amber on a terminal; never on a pipe or with NO_COLOR set.
TEST(StationBanner, InColourOnlyOnATerminalWithoutNoColor) {
    check::CheckRecord record;
    record.steps.resize(1);
    EXPECT_NE(check::Banner(record, true).find("\033[1;32m####"), std::string::npos);
    record.steps[0].failure = "no answer";
    EXPECT_NE(check::Banner(record, true).find("    \033[1;31mFAIL: board"), std::string::npos)
        << "the closing line too";
    EXPECT_EQ(check::Banner(record, false).find('\033'), std::string::npos);
    EXPECT_TRUE(check::ColourWanted(true, nullptr));
    EXPECT_TRUE(check::ColourWanted(true, ""));
    EXPECT_FALSE(check::ColourWanted(true, "1"));
    EXPECT_FALSE(check::ColourWanted(false, nullptr));
}

// The summary counts the plan's steps as its header does, each by the worst of its runs that
// decide (a try tried again decides nothing), teardown steps apart, and the runs of repeated
// steps beside them; titles line up by characters, not bytes.
TEST(ConsoleReport, TheSummaryCountsStepsAndRunsAndTitlesLineUp) {
    check::Plan plan;
    plan.name = "p";
    plan.steps.resize(3);
    plan.teardown.resize(1);
    plan.steps[0].repeat = 3;
    EXPECT_EQ(check::StepCount(plan), "4 steps, 1 of them teardown, 6 runs");
    check::CheckRecord record;
    record.planSteps = 4;
    for (int repetition = 1; repetition <= 3; ++repetition) {
        check::StepResult result;
        result.number = 1;
        result.repetition = repetition;
        result.repeat = 3;
        result.name = "Grüße";
        if (repetition == 2) result.failure = "low";
        record.steps.push_back(result);
    }
    check::StepResult retried = record.steps[1];
    retried.number = 2;
    retried.retried = true;
    record.steps.push_back(retried);
    record.steps.push_back(record.steps[0]);
    record.steps.back().number = 2;
    record.steps.back().attempt = 2;
    record.steps.push_back(record.steps[0]);
    record.steps.back().teardown = true;
    // A step a signal skipped counts as not run.
    record.steps.push_back(record.steps[0]);
    record.steps.back().number = 3;
    record.steps.back().skipped = true;
    record.interruptedBy = "SIGINT";
    const std::string summary = check::Summary(record);
    EXPECT_NE(summary.find(": 4 steps: 2 passed, 1 failed, 1 not run (5 runs: 4 passed, 1 failed); "
                           "interrupted by SIGINT\n"),
              std::string::npos)
        << summary;
    const auto column = [](const std::string& line) {
        return QString::fromStdString(line).indexOf("PASS");
    };
    const std::string accented = check::StepLine(record.steps[0]);
    record.steps[0].name = "read_ad";
    EXPECT_EQ(column(check::StepLine(record.steps[0])), column(accented)) << accented;
    EXPECT_EQ(record.steps[4].title(), "2 Grüße (1/3) (try 2)");
    EXPECT_EQ(record.steps[5].title(), "teardown 1 Grüße (1/3)");
    EXPECT_EQ(record.exitCode(), check::StepFailed);
    record.steps[1].retried = true; // its only failure was tried again, and passed
    record.steps.pop_back();
    record.interruptedBy.clear();
    EXPECT_EQ(record.exitCode(), check::AllPassed);
}

/// A terminal of its own: the operator reads the pty's terminal end, the test types at the other.
struct Terminal {
    Terminal() { EXPECT_EQ(::openpty(&typing, &terminal, nullptr, nullptr, nullptr), 0); }
    ~Terminal() {
        ::close(typing);
        ::close(terminal);
    }
    void type(const std::string& text) const {
        EXPECT_EQ(::write(typing, text.data(), text.size()), ssize_t(text.size()));
    }
    int typing = -1;
    int terminal = -1;
};

// What the operator types answers the question asked, line by line; what was typed before the
// question answers nothing.
TEST(TerminalOperator, ReadsEachAnswerAsTypedOrScannedAndNothingTypedAhead) {
    using Kind = check::OperatorAnswer::Kind;
    using check::OperatorQuestion;
    const struct {
        const char* what;
        OperatorQuestion question;
        const char* typed;
        const char* later; ///< typed after another line, empty: nothing
        Kind kind;
        const char* text = "";
    } cases[] = {
        {"Enter confirms", OperatorQuestion::Confirm, "\n", "", Kind::Yes},
        {"n refuses", OperatorQuestion::Confirm, "n\n", "", Kind::No},
        {"yes, and a carriage return", OperatorQuestion::YesNo, "Yes\r\n", "", Kind::Yes},
        {"no after a word that is neither", OperatorQuestion::YesNo, "maybe\n", "n\n", Kind::No},
        {"Enter after a word that is neither", OperatorQuestion::Confirm, "done\n", "\n",
         Kind::Yes},
        {"a scanned label", OperatorQuestion::Text, "ZB-0042\n", "", Kind::Text, "ZB-0042"},
        {"a label in two reads", OperatorQuestion::Text, "ZB-", "0043\n", Kind::Text, "ZB-0043"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        Terminal terminal;
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> shown(std::tmpfile(), &std::fclose);
        check::Console console(shown.get());
        check::TerminalOperator person(terminal.terminal, console);
        EXPECT_EQ(person.unavailable(), "");
        std::vector<check::OperatorAnswer> answers;
        QObject::connect(&person, &check::Operator::answered,
                         [&](const check::OperatorAnswer& answer) { answers.push_back(answer); });
        terminal.type("y\nearly\n");
        testsupport::DrainEvents();
        person.ask(each.question, "Question \x1b[2J", "1-1.2\x1b");
        console.print("[bay-2] 1 read_ad PASS\n"); // another socket's line while it waits
        terminal.type(each.typed);
        const bool later = *each.later != '\0';
        if (later) {
            testsupport::WaitUntil([] { return false; }, 50ms);
            console.print("[bay-2] 2 read_ad PASS\n");
            terminal.type(each.later);
        }
        EXPECT_TRUE(testsupport::WaitUntil([&] { return !answers.empty(); }, 5s));
        testsupport::DrainEvents();
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].kind, each.kind);
        EXPECT_EQ(answers[0].text, each.text);
        console.print("after\n");
        // The plan's text and the socket as the console shows any: escapes written out, not sent.
        // The other socket's lines went above the question's answer line, and the question was
        // asked again below each, whole (after a word that answers nothing too), until answered.
        std::rewind(shown.get());
        std::string text(4096, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), shown.get()));
        const std::string question = each.question == OperatorQuestion::YesNo
                                         ? "?? [1-1.2\\x1b] Question \\x1b[2J [y/n]"
                                         : ">> [1-1.2\\x1b] Question \\x1b[2J\n";
        EXPECT_EQ(text.rfind(question, 0), 0u) << text;
        EXPECT_NE(text.find("\n[bay-2] 1 read_ad PASS\n" + question), std::string::npos) << text;
        if (later) {
            EXPECT_NE(text.find("[bay-2] 2 read_ad PASS\n" + question), std::string::npos) << text;
        }
        std::size_t asked = 0;
        for (auto at = text.find(question); at != std::string::npos;
             at = text.find(question, at + 1))
            ++asked;
        const bool neither = std::string(each.typed).ends_with('\n') && later;
        EXPECT_EQ(asked, 2u + (later ? 1 : 0) + (neither ? 1 : 0)) << text;
        EXPECT_TRUE(text.ends_with(": after\n")) << text;
    }
}

TEST(TerminalOperator, NoTerminalNoOperatorAndTheEndOfInputEndsTheQuestion) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    EXPECT_EQ(check::TerminalOperator(pipe[0]).unavailable(), "standard input is not a terminal");
    ::close(pipe[0]);
    ::close(pipe[1]);

    // However the input ends, the question asked and those queued behind it for other sockets
    // end with it: a Ctrl+D is read once, and no one is left to answer what comes after.
    const struct {
        const char* what;
        bool hangUp; ///< else Ctrl+D
    } cases[] = {{"the terminal hangs up", true}, {"Ctrl+D", false}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        auto terminal = std::make_unique<Terminal>();
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> shown(std::tmpfile(), &std::fclose);
        check::Console console(shown.get());
        check::TerminalOperator person(terminal->terminal, console);
        check::OperatorQueue queue(&person);
        const auto bay1 = queue.seat("bay-1");
        const auto bay2 = queue.seat("bay-2");
        std::vector<check::OperatorAnswer::Kind> answers;
        for (const auto* seat : {bay1.get(), bay2.get()})
            QObject::connect(
                seat, &check::Operator::answered,
                [&](const check::OperatorAnswer& answer) { answers.push_back(answer.kind); });
        bay1->ask(check::OperatorQuestion::Confirm, "Press S1", {});
        bay2->ask(check::OperatorQuestion::Confirm, "Press S1", {});
        if (each.hangUp) {
            ::close(terminal->typing);
            terminal->typing = -1;
        } else {
            terminal->type("\x04");
        }
        EXPECT_TRUE(testsupport::WaitUntil([&] { return answers.size() == 2; }, 5s));
        EXPECT_EQ(answers, std::vector(2, check::OperatorAnswer::Kind::Gone));
        EXPECT_EQ(person.unavailable(), "the terminal's input ended");
    }
}

} // namespace
