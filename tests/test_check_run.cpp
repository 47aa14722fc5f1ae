// Board checks run on the virtual board: exit codes, records, a board that leaves, no board.
#include "board/BoardFirmware.h"
#include "board/VirtualBoard.h"
#include "check/CheckSession.h"
#include "check/PlanParser.h"
#include "check/StepLimits.h"
#include "hid/DeviceManager.h"
#include "hid/ReportObserver.h"
#include "support/EventLoop.h"
#include "support/ScriptedOperator.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

/// A JUnit record as a reader finds it: the suite's counts and properties, and each test case
/// with its properties and the failure or error in it.
struct Junit {
    struct Case {
        std::string classname;
        std::string name;
        std::map<std::string, std::string> properties;
        std::string problem; ///< "failure", "error" or empty
        std::string message;
    };
    bool wellFormed = false;
    std::map<std::string, std::string> suite; ///< the testsuite's attributes
    std::map<std::string, std::string> properties;
    std::vector<Case> cases;

    static std::string Text(QStringView text) { return text.toString().toStdString(); }

    explicit Junit(const QByteArray& xml) {
        QXmlStreamReader reader(xml);
        while (reader.readNext() != QXmlStreamReader::EndDocument && !reader.hasError()) {
            if (!reader.isStartElement()) continue;
            const QXmlStreamAttributes a = reader.attributes();
            const auto name = reader.name();
            if (name == u"testsuite") {
                for (const QXmlStreamAttribute& each : a)
                    suite[Text(each.name())] = Text(each.value());
            } else if (name == u"testcase") {
                cases.push_back({Text(a.value("classname")), Text(a.value("name")), {}, {}, {}});
            } else if (name == u"property") {
                (cases.empty() ? properties : cases.back().properties)[Text(a.value("name"))] =
                    Text(a.value("value"));
            } else if (name == u"failure" || name == u"error") {
                cases.back().problem = Text(name);
                cases.back().message = Text(a.value("message"));
            }
        }
        wellFormed = !reader.hasError() && !cases.empty();
    }
    int count(const std::string& problem) const {
        return int(std::count_if(cases.begin(), cases.end(),
                                 [&](const Case& each) { return each.problem == problem; }));
    }
    /// Every count the suite states is the number of elements a reader finds.
    void expectCounts(int tests, int failures, int errors) const {
        EXPECT_TRUE(wellFormed);
        EXPECT_EQ(int(cases.size()), tests);
        EXPECT_EQ(count("failure"), failures);
        EXPECT_EQ(count("error"), errors);
        EXPECT_EQ(suite.at("tests"), std::to_string(tests));
        EXPECT_EQ(suite.at("failures"), std::to_string(failures));
        EXPECT_EQ(suite.at("errors"), std::to_string(errors));
    }
};

/// The value at a path like "steps/0/measurements/1/limit".
QJsonValue At(QJsonValue value, const QString& path) {
    for (const QString& key : path.split('/')) {
        bool index = false;
        const int n = key.toInt(&index);
        value = index ? value.toArray()[n] : value.toObject()[key];
    }
    return value;
}

class CheckRun : public ::testing::Test {
protected:
    /// Runs `plan` on the layer; answers the exit code (-1 when the run never ended). With
    /// `interruptWhen`, the check is interrupted by SIGTERM once that answers true and what
    /// was posted by then is delivered.
    int run(const std::string& plan, std::chrono::milliseconds wait = 0ms,
            const std::function<bool()>& interruptWhen = {}) {
        check::PlanError error;
        auto parsed = check::ParsePlan(plan, "plan.toml", error);
        EXPECT_TRUE(parsed) << error.text();
        if (!parsed) return -1;
        QString refused;
        auto json = check::RecordTarget::choose(dir.filePath("record.json"), refused);
        auto junit = check::RecordTarget::choose(dir.filePath("junit.xml"), refused);
        check::CheckSession session(
            layer, *parsed, check::RunProvenance("plan.toml", plan, StationId, OperatorName),
            {wait, std::make_shared<check::RecordTarget>(std::move(*json)),
             std::make_shared<check::RecordTarget>(std::move(*junit)), person});
        int exitCode = -1;
        QObject::connect(&session, &check::CheckSession::done, [&](int code) { exitCode = code; });
        session.start();
        if (interruptWhen) {
            EXPECT_TRUE(testsupport::WaitUntil(interruptWhen, 10s));
            testsupport::DrainEvents();
            session.interrupt(SIGTERM);
        }
        testsupport::WaitUntil([&] { return exitCode != -1; }, 30s);
        return exitCode;
    }

    QByteArray file(const char* name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QJsonObject json() { return QJsonDocument::fromJson(file("record.json")).object(); }
    Junit junit() { return Junit(file("junit.xml")); }

    /// What every run names as its station and operator.
    static constexpr const char* StationId = "line 3 / bay 2";
    static constexpr const char* OperatorName = "Zoë Ödegaard";

    QTemporaryDir dir;
    hid::DeviceManager layer;
    std::shared_ptr<check::Operator> person; ///< answers the operator steps; null: no one
};

TEST_F(CheckRun, APassingPlanEndsWithZeroAndRecordsTheBoardAndTheReports) {
    board::VirtualBoard::attachTo(layer);
    EXPECT_EQ(run("name='ok'\n[[step]]\ntype='poll'\nduration_ms=100\n"
                  "[[step]]\ntype='read_ad'\nequals=128\n"
                  "[[step]]\ntype='read_text'\nequals='Hello from ZOV!!'\n"),
              check::AllPassed);
    const QJsonObject record = json();
    EXPECT_EQ(record["outcome"].toString(), "pass");
    EXPECT_EQ(record["board"].toObject()["serial"].toString(), "VB-0001");
    const QJsonObject reports = record["reports"].toObject();
    EXPECT_EQ(reports["sent"].toInt(), 2 + 5);
    EXPECT_EQ(reports["received"].toInt(), 2 + 5);
    EXPECT_EQ(reports["dropped"].toInt(), 0) << "every answer was taken and measured";
    const Junit xml = junit();
    xml.expectCounts(3, 0, 0);
    EXPECT_EQ(xml.properties.at("board serial"), "VB-0001");
    // In UTC without a zone, as the schema CI servers read has it.
    QDateTime timestamp =
        QDateTime::fromString(QString::fromStdString(xml.suite.at("timestamp")), Qt::ISODate);
    EXPECT_EQ(timestamp.timeSpec(), Qt::LocalTime) << "no zone given";
    timestamp.setTimeSpec(Qt::UTC);
    EXPECT_LE(std::abs(timestamp.secsTo(QDateTime::currentDateTimeUtc())), 60);
    // The codes each step sent: the poll its two requests by turns, each read its own.
    const std::vector<std::vector<int>> sentCodes{{4, 13}, {4}, {2}};
    for (std::size_t n = 0; n < sentCodes.size(); ++n) {
        std::vector<int> codes;
        for (const QJsonValue& sent : record["steps"][n]["sent"].toArray())
            codes.push_back(sent["code"].toInt());
        EXPECT_EQ(codes, sentCodes[n]) << "step " << n + 1;
    }
}

// Whatever the board and the plan say, the record reads as the console shows it: the board's
// strings in its code page, control characters as \xNN, never left out or breaking the XML.
TEST_F(CheckRun, AFailedStepIsRecordedWithTheValueAndTheLimitAsTheConsoleShowsThem) {
    board::VirtualBoardSetup hostile;
    hostile.serialNumber = std::string("ZB-\x92\x81\x07\0X", 8);
    hostile.answerText = "T\x99 \x1b[2J<&\x9d\x7f";
    layer.addSource(std::make_unique<board::VirtualBoard>(hostile));
    EXPECT_EQ(run("name=\"Plan\\u001b[31m\"\n[[step]]\ntype='read_ad'\nmin=200\nmax=255\n"
                  "[[step]]\ntype='read_text'\nname=\"Bell\\u0007\\uFFFF\"\nprefix='Hello'\n"),
              check::StepFailed);
    EXPECT_EQ(json()["outcome"].toString(), "fail");
    const Junit record = junit();
    record.expectCounts(2, 2, 0);
    EXPECT_EQ(record.properties.at("board serial"), "ZB-’\\x81\\x07\\x00X");
    ASSERT_EQ(record.cases.size(), 2u);
    EXPECT_EQ(record.cases[0].classname, "Plan\\x1b[31m");
    EXPECT_EQ(record.cases[0].message, "A/D value 128 breaks its limit 200..255");
    EXPECT_EQ(record.cases[0].properties.at("A/D value limit"), "200..255");
    EXPECT_EQ(record.cases[1].name, "2 Bell\\x07\\uffff");
    const std::string shown = "\"T™ \\x1b[2J<&\\x9d\\x7f\"";
    EXPECT_EQ(record.cases[1].properties.at("answer text"), shown);
    EXPECT_EQ(record.cases[1].message,
              "answer text " + shown + " breaks its limit starts with \"Hello\"");
}

TEST_F(CheckRun, ABoardThatLeavesDuringAPollFailsThatStepAndEndsTheRun) {
    board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    QTimer::singleShot(200ms, &board, &board::VirtualBoard::unplug);
    EXPECT_EQ(run("name='leaving'\n[[step]]\ntype='poll'\nduration_ms=5000\n"
                  "[[step]]\ntype='read_ad'\n"),
              check::StepFailed);
    const QJsonObject record = json();
    EXPECT_TRUE(record["board_left"].toBool());
    const auto steps = record["steps"].toArray();
    ASSERT_EQ(steps.size(), 1); // the read_ad step never ran
    EXPECT_EQ(steps[0].toObject()["failure"].toString(), "the board left during the step");
    // The run's error is a test case a reader finds, beside the step it failed.
    const Junit xml = junit();
    xml.expectCounts(2, 1, 1);
    ASSERT_EQ(xml.cases.size(), 2u);
    EXPECT_EQ(xml.cases[1].message, "the board left during the run");
}

// A CI job finds both records whatever happened: here, that no board came, and why.
TEST_F(CheckRun, NoBoardEndsWithThreeSendsNothingAndWritesRecordsSayingSo) {
    auto board = std::make_unique<board::VirtualBoard>(false);
    const board::VirtualBoard& unplugged = *board;
    layer.addSource(std::move(board));
    const struct {
        const char* what;
        std::chrono::milliseconds wait;
        std::function<bool()> interruptWhen;
        const char* reason;
    } cases[] = {
        {"the wait ran out", 100ms, {}, "within 0.1 s"},
        {"a signal ended the wait", 60s, [] { return true; }, "interrupted by SIGTERM"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        EXPECT_EQ(run("name='none'\n[[step]]\ntype='read_ad'\n", each.wait, each.interruptWhen),
                  check::NoBoard);
        const QJsonObject record = json();
        EXPECT_EQ(record["outcome"].toString(), "no board");
        EXPECT_TRUE(record["board"].isNull());
        EXPECT_TRUE(record["steps"].toArray().isEmpty());
        const QString reason = record["reason"].toString();
        EXPECT_TRUE(reason.startsWith("no usable board") && reason.contains(each.reason))
            << reason.toStdString();
        const QByteArray junit = file("junit.xml");
        EXPECT_TRUE(junit.contains("tests=\"1\" failures=\"0\" errors=\"1\"")) << junit.data();
        EXPECT_TRUE(junit.contains("<error message=\"" + reason.toUtf8() + "\"")) << junit.data();
    }
    EXPECT_EQ(unplugged.reportsReceived(), 0u);
    EXPECT_EQ(layer.refusedReports(), 0u);
}

// A signal ends the run at once, whatever step is under way: what ran is recorded, every run
// not made is skipped, the teardown still runs, and the exit status still tells a failure from
// an undecided check.
TEST_F(CheckRun, AnInterruptRecordsTheStepsRunSkipsTheRestAndRunsTheTeardown) {
    const board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    const struct {
        const char* limit;
        const char* outcome;
        int failures;
        int exitCode;
    } cases[] = {
        {"min=0", "pass", 0, check::Undecided},
        {"min=200", "fail", 2, check::StepFailed},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.limit);
        const std::uint64_t before = board.reportsReceived();
        EXPECT_EQ(run(std::string("name='long'\n[[step]]\ntype='read_ad'\nrepeat=2\n") +
                          each.limit +
                          "\n[[step]]\ntype='wait_ms'\nduration_ms=60000\n"
                          "[[step]]\ntype='read_text'\nrepeat=2\n"
                          "[[teardown]]\ntype='write_port'\nvalue=0x3C\n",
                      0ms, [&] { return board.reportsReceived() == before + 2; }),
                  each.exitCode);
        EXPECT_EQ(board.reportsReceived(), before + 3) << "only the teardown's after the signal";
        EXPECT_EQ(board.portD(), 0x3C);
        const QJsonObject record = json();
        EXPECT_EQ(record["outcome"].toString(), "aborted");
        EXPECT_EQ(record["reason"].toString(), "interrupted by SIGTERM");
        QStringList outcomes;
        for (const QJsonValue& step : record["steps"].toArray())
            outcomes << QString("%1%2:%3")
                            .arg(step["teardown"].toBool() ? "T" : "")
                            .arg(step["step"].toInt())
                            .arg(step["outcome"].toString());
        EXPECT_EQ(outcomes.join(' '),
                  QString("1:%1 1:%1 2:skipped 3:skipped 3:skipped T1:pass").arg(each.outcome));
        EXPECT_EQ(At(record, "steps/2/reason"), "interrupted by SIGTERM");
        const QByteArray junit = file("junit.xml");
        EXPECT_TRUE(junit.contains(QString("tests=\"6\" failures=\"%1\" errors=\"0\" skipped=\"3\"")
                                       .arg(each.failures)
                                       .toUtf8()))
            << junit.data();
        EXPECT_EQ(junit.count("<skipped message=\"interrupted by SIGTERM\"/>"), 3) << junit.data();
        EXPECT_TRUE(junit.contains("classname=\"long.teardown\" name=\"teardown 1 write_port\""))
            << junit.data();
    }
}

/// A source whose look for devices never ends, as a node whose open never returns.
struct NeverSettles final : hid::DeviceSource {
    void start(hid::DeviceEvents&) override {}
    bool isSettled() const override { return false; }
};

TEST_F(CheckRun, TheWaitEndsOnTimeWhateverTheSourcesAreDoing) {
    layer.addSource(std::make_unique<NeverSettles>());
    for (const auto wait : {300ms, 0ms}) {
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(run("name='none'\n[[step]]\ntype='read_ad'\n", wait), check::NoBoard);
        EXPECT_GE(std::chrono::steady_clock::now() - started, wait);
    }
}

TEST_F(CheckRun, ABoardPluggedInWithinTheWaitIsChecked) {
    auto board = std::make_unique<board::VirtualBoard>(false);
    board::VirtualBoard& later = *board;
    layer.addSource(std::move(board));
    QTimer::singleShot(50ms, &later, &board::VirtualBoard::plug);
    EXPECT_EQ(run("name='later'\n[[step]]\ntype='read_ad'\n", 5000ms), check::AllPassed);
}

// Numbers are JSON numbers, texts plain texts, each limit under its own name; the record says
// what made it. The virtual board answers 128, 0xA5 and "Hello from ZOV!!".
TEST_F(CheckRun, TheJsonRecordHoldsWhatMadeItTheBoardTheCountsAndEachFigureWithItsLimits) {
    board::VirtualBoard::attachTo(layer);
    const std::string plan = "name='figures'\n[[step]]\ntype='read_ad'\nmin=100\nmax=200\n"
                             "answer_within_ms=250\n[[step]]\nname='lamp'\ntype='write_port'\n"
                             "value=7\n[[step]]\ntype='read_text'\nequals='Hello from ZOV!!'\n"
                             "prefix='Hello'\n[[step]]\ntype='read_inputs'\nmask=0x0F\n"
                             "value=0x05\nbits_high=[7, 5]\nbits_low=[1]\nequals=0xA5\n";
    ASSERT_EQ(run(plan), check::AllPassed);
    const QJsonObject record = json();
    const QString sha256 =
        QCryptographicHash::hash(QByteArray::fromStdString(plan), QCryptographicHash::Sha256)
            .toHex();
    const std::pair<const char*, QJsonValue> expected[] = {
        {"schema_version", 1},
        {"producer/program", QCoreApplication::applicationName()},
        {"producer/host", QSysInfo::machineHostName()},
        {"producer/station_id", StationId},
        {"producer/operator", QString::fromUtf8(OperatorName)},
        {"plan/name", "figures"},
        {"plan/file", "plan.toml"},
        {"plan/sha256", sha256},
        {"board/vendor_id", board::VirtualBoard::VendorId},
        {"board/product_id", board::VirtualBoard::ProductId},
        {"board/manufacturer", "ZOV Electronics"},
        {"board/product", "ZOV-USB Virtual Board"},
        {"board/serial", "VB-0001"},
        {"board/node", "virtual"},
        {"board/report_format/output_report_size", 32},
        {"outcome", "pass"},
        {"board_left", false},
        {"reports/sent", 4},
        {"reports/received", 3},
        {"reports/dropped", 0},
        {"steps/0/step", 1},
        {"steps/0/type", "read_ad"},
        {"steps/0/outcome", "pass"},
        {"steps/0/measurements/0/quantity", "A/D value"},
        {"steps/0/measurements/0/value", 128},
        {"steps/0/measurements/0/limit", "100..200"},
        {"steps/0/measurements/0/limits", QJsonObject{{"min", 100}, {"max", 200}}},
        {"steps/0/measurements/0/passed", true},
        {"steps/0/measurements/1/quantity", "answer time"},
        {"steps/0/measurements/1/unit", "ms"},
        {"steps/0/measurements/1/limit", "<= 250 ms"},
        {"steps/0/measurements/1/limits", QJsonObject{{"max", 250}}},
        {"steps/1/step", 2},
        {"steps/1/name", "lamp"},
        {"steps/1/type", "write_port"},
        {"steps/1/measurements/0/quantity", "port value"},
        {"steps/1/measurements/0/value", 7},
        {"steps/2/measurements/0/value", "Hello from ZOV!!"},
        {"steps/2/measurements/0/limits",
         QJsonObject{{"equals", "Hello from ZOV!!"}, {"prefix", "Hello"}}},
        {"steps/3/measurements/0/value", 0xA5},
        {"steps/3/measurements/0/limits", QJsonObject{{"equals", 0xA5},
                                                      {"mask", 0x0F},
                                                      {"value", 0x05},
                                                      {"bits_high", QJsonArray{7, 5}},
                                                      {"bits_low", QJsonArray{1}}}},
    };
    for (const auto& [path, value] : expected)
        EXPECT_EQ(At(record, path), value) << path;
    const auto started = QDateTime::fromString(record["started"].toString(), Qt::ISODateWithMs);
    const auto ended = QDateTime::fromString(record["ended"].toString(), Qt::ISODateWithMs);
    EXPECT_EQ(started.timeSpec(), Qt::UTC);
    EXPECT_LE(started, ended);
    const double answerMs = At(record, "steps/0/measurements/1/value").toDouble(-1);
    EXPECT_TRUE(answerMs >= 0 && answerMs <= 250) << answerMs;
    // The JUnit record's suite carries the same provenance.
    const QString junit = QString::fromUtf8(file("junit.xml"));
    for (const auto& [name, value] : {std::pair{"plan sha256", sha256},
                                      {"station id", QString(StationId)},
                                      {"operator", QString::fromUtf8(OperatorName)},
                                      {"host", QSysInfo::machineHostName()},
                                      {"record schema version", QString("1")}})
        EXPECT_TRUE(junit.contains(
            QString("<property name=\"%1\" value=\"%2\"/>").arg(name, value.toHtmlEscaped())))
            << name;
}

struct SendCase {
    const char* what;
    const char* step;
    std::function<bool(const board::VirtualBoard&)> reached;
};

void PrintTo(const SendCase& sendCase, std::ostream* out) {
    *out << sendCase.what;
}

class CheckSends : public CheckRun, public ::testing::WithParamInterface<SendCase> {};

TEST_P(CheckSends, WhatTheStepSendsReachesTheBoardAndTheRecordSaysSo) {
    const board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    EXPECT_EQ(run(std::string("name='send'\n[[step]]\n") + GetParam().step), check::AllPassed);
    EXPECT_TRUE(GetParam().reached(board));
    // The report recorded is the one the board got, byte for byte, with its code.
    const hid::Report& report = board.lastReport();
    const QJsonArray sent = At(json(), "steps/0/sent").toArray();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0]["code"], report[1]);
    QJsonArray bytes;
    for (const std::uint8_t byte : report)
        bytes.append(byte);
    EXPECT_EQ(sent[0]["bytes"], bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CheckSends,
    ::testing::Values(
        SendCase{"write_port", "type='write_port'\nvalue=0x5A\n",
                 [](const board::VirtualBoard& board) { return board.portD() == 0x5A; }},
        SendCase{"send to port D", "type='send'\ncode=14\nbytes={21=0x33}\n",
                 [](const board::VirtualBoard& board) { return board.portD() == 0x33; }},
        SendCase{"send bytes from 2 on", "type='send'\ncode=77\nbytes=[0x41, 0x42]\n",
                 [](const board::VirtualBoard& board) {
                     const hid::Report& report = board.lastReport();
                     return report[1] == 77 && report[2] == 0x41 && report[3] == 0x42 &&
                            report[4] == 0;
                 }},
        SendCase{"send_text", "type='send_text'\ntext='Hi there'\n",
                 [](const board::VirtualBoard& board) { return board.lastText() == "Hi there"; }},
        SendCase{"send_text in the board's code page", "type='send_text'\ntext='Grüße €'\n",
                 [](const board::VirtualBoard& board) {
                     return board.lastText() == "Gr\xfc\xdf"
                                                "e \x80";
                 }}),
    [](const auto& info) {
        std::string name = info.param.what;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

/// A board on the layer's device interface, scripted: how late it answers (or never), which
/// requests it leaves unanswered, and whether it holds its writes. Its A/D answer is the
/// number of the request it answers, so that each answer names its request.
struct Script {
    std::optional<std::chrono::milliseconds> answerAfter = 0ms; ///< none: never answers
    int missEvery = 0; ///< leaves every Nth request that wants an answer unanswered
    /// The news of each write comes this late, when the thread that tells it is held up (else
    /// at once, with the write).
    std::optional<std::chrono::milliseconds> writeNewsAfter{};
    bool holdWrites = false; ///< takes writes and fails them HeldWriteFails later
};

class ScriptedBoard final : public hid::DeviceSource, private hid::Device {
public:
    static constexpr auto HeldWriteFails = 300ms;
    explicit ScriptedBoard(Script script) : script_(script) {}
    void start(hid::DeviceEvents& events) override {
        events_ = &events;
        events.deviceArrived(*this);
    }
    std::uint64_t written = 0;

private:
    const hid::DeviceInfo& info() const override { return info_; }
    hid::WriteResult write(const hid::Report& report) override {
        ++written;
        if (script_.holdWrites) {
            QTimer::singleShot(HeldWriteFails, &context_, [this, report] {
                events_->writeCompleted(*this, report, false, ETIMEDOUT);
            });
            return hid::WriteResult::Queued;
        }
        const auto answer = board::firmware::answerTo(report[board::firmware::Command],
                                                      {std::uint8_t(written), 0xA5, {}});
        const bool answers = answer && script_.answerAfter &&
                             !(script_.missEvery > 0 && ++wanting_ % script_.missEvery == 0);
        if (answers)
            QTimer::singleShot(*script_.answerAfter, &context_,
                               [this, a = *answer] { events_->reportReceived(*this, a); });
        if (!script_.writeNewsAfter) return hid::WriteResult::Sent;
        QTimer::singleShot(*script_.writeNewsAfter, &context_,
                           [this, report] { events_->writeCompleted(*this, report, true, 0); });
        return hid::WriteResult::Queued;
    }
    const Script script_;
    int wanting_ = 0;
    hid::DeviceEvents* events_ = nullptr;
    QObject context_;
    hid::DeviceInfo info_{board::VirtualBoard::VendorId,
                          board::VirtualBoard::ProductId,
                          "ZOV Electronics",
                          "Scripted board",
                          "S-1",
                          "scripted",
                          "",
                          {false, 32, 32}};
};

/// Counts every report the layer tells of, by direction, as the trace writes them.
struct DirectionCounter final : hid::ReportObserver {
    void record(hid::ReportDirection direction, hid::Handle, const hid::Report&) override {
        ++counts[hid::directionIndex(direction)];
    }
    hid::DirectionCounts counts{};
};

class ScriptedRun : public CheckRun {
protected:
    const ScriptedBoard& attach(Script script) {
        auto source = std::make_unique<ScriptedBoard>(script);
        const ScriptedBoard& board = *source;
        layer.addSource(std::move(source));
        return board;
    }
    /// The figure named `quantity` of step result `n`.
    QJsonValue figure(int n, const QString& quantity) {
        for (const QJsonValue& each : At(json(), QString("steps/%1/measurements").arg(n)).toArray())
            if (each["quantity"] == quantity) return each["value"];
        return {};
    }
};

TEST_F(ScriptedRun, AnAnswerLaterThanItsLimitFailsTheStep) {
    const ScriptedBoard& board = attach({.answerAfter = std::nullopt});
    for (const char* type : {"read_ad", "read_inputs", "read_text"}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(
            run(std::string("name='slow'\n[[step]]\nanswer_within_ms=20\ntype='") + type + "'\n"),
            check::StepFailed);
        EXPECT_EQ(At(json(), "steps/0/failure"), "no answer within 20 ms");
        EXPECT_EQ(At(json(), "steps/0/measurements/0/value"), QJsonValue(QJsonValue::Null));
        EXPECT_EQ(At(json(), "steps/0/measurements/0/limits/max"), 20);
    }
    EXPECT_EQ(board.written, 3u);
}

TEST_F(ScriptedRun, AnAnswerThatOvertakesTheNewsOfItsWriteStillCounts) {
    const ScriptedBoard& board = attach({.writeNewsAfter = 0ms});
    EXPECT_EQ(run("name='quick'\n[[step]]\ntype='read_ad'\nrepeat=3\n"
                  "[[step]]\ntype='write_port'\nvalue=1\n"
                  "[[step]]\ntype='poll'\nduration_ms=100\nmax_missed=0\n"
                  "[[step]]\ntype='read_inputs'\nequals=0xA5\n"),
              check::AllPassed)
        << file("record.json").toStdString();
    EXPECT_EQ(board.written, 3u + 1u + 5u + 1u);
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(figure(n, "A/D value"), n + 1) << "each repetition has its own answer";
}

// News of a write that comes late never makes the board look quicker than it is: its answer is
// timed from the send.
TEST_F(ScriptedRun, AnAnswerIsTimedFromTheSendHoweverLateTheNewsOfItsWrite) {
    attach({.answerAfter = 40ms, .writeNewsAfter = 20ms});
    EXPECT_EQ(run("name='slow'\n[[step]]\ntype='read_ad'\nanswer_within_ms=30\n"),
              check::StepFailed);
    EXPECT_GE(figure(0, "answer time").toDouble(), 40);
}

// A late answer belongs to its own request: it fails that one with its real time, and never
// passes a later request in its place.
TEST_F(ScriptedRun, ALateBoardFailsEveryRepetitionWithItsOwnAnswer) {
    attach({.answerAfter = 150ms});
    EXPECT_EQ(run("name='late'\n[[step]]\ntype='read_ad'\nanswer_within_ms=100\nrepeat=4\n"),
              check::StepFailed);
    for (int n = 0; n < 4; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(At(json(), QString("steps/%1/outcome").arg(n)), "fail");
        EXPECT_EQ(figure(n, "A/D value"), n + 1);
        EXPECT_GE(figure(n, "answer time").toDouble(), 150);
    }
}

TEST_F(ScriptedRun, APollOfALateBoardCountsEveryAnswerMissedAndLate) {
    attach({.answerAfter = 120ms});
    EXPECT_EQ(run("name='late poll'\n[[step]]\ntype='poll'\nduration_ms=400\n"
                  "answer_within_ms=100\nmax_missed=10\nmax_ms=100\n"),
              check::StepFailed);
    EXPECT_EQ(figure(0, "requests"), 20);
    EXPECT_EQ(figure(0, "missed"), 20);
    EXPECT_EQ(figure(0, "late answers"), 20);
    EXPECT_GE(figure(0, "median answer time").toDouble(), 120);
}

TEST_F(ScriptedRun, APollOfABoardThatMissesCountsEachMissOnce) {
    attach({.missEvery = 5});
    EXPECT_EQ(run("name='lossy poll'\n[[step]]\ntype='poll'\nduration_ms=400\n"
                  "answer_within_ms=100\nmax_missed=4\n"),
              check::AllPassed)
        << file("record.json").toStdString();
    EXPECT_EQ(figure(0, "missed"), 4);
    EXPECT_EQ(figure(0, "late answers"), 0);
}

// An answer later than its whole late window still belongs to its own request: a read after
// a poll that allowed its losses never passes on a poll request's answer.
TEST_F(ScriptedRun, AnAnswerPastItsWindowNeverPassesALaterRequest) {
    attach({.answerAfter = 250ms});
    EXPECT_EQ(run("name='stale'\n[[step]]\ntype='poll'\nduration_ms=200\n"
                  "answer_within_ms=100\nmax_missed=100\n"
                  "[[step]]\ntype='read_ad'\nanswer_within_ms=100\n"),
              check::StepFailed);
    EXPECT_EQ(At(json(), "steps/1/outcome"), "fail");
}

// The board answers a send of a reading code too; that answer is the send's, not the next
// read's.
TEST_F(ScriptedRun, TheAnswerToASendIsNeverTakenByTheNextRead) {
    attach({.answerAfter = 80ms});
    EXPECT_EQ(run("name='send then read'\n[[step]]\ntype='send'\ncode=4\n"
                  "[[step]]\ntype='wait_ms'\nduration_ms=40\n"
                  "[[step]]\ntype='read_ad'\nanswer_within_ms=50\n"),
              check::StepFailed);
    EXPECT_EQ(figure(2, "A/D value"), 2) << "the read's own answer, the board's second";
    EXPECT_GE(figure(2, "answer time").toDouble(), 80);
}

// A run that does not pass is tried again, each try in the records; only the last decides. The
// scripted board answers each A/D request with its number: 1, 2, 3, ...
TEST_F(ScriptedRun, ARetriedStepRecordsEveryTryAndTheLastDecides) {
    attach({});
    const struct {
        const char* limit;
        const char* outcomes;
        int exitCode;
        const char* junitCounts;
    } cases[] = {
        {"min=2", "1:fail 2:pass", check::AllPassed,
         "tests=\"2\" failures=\"0\" errors=\"0\" skipped=\"1\""},
        {"min=9", "1:fail 2:fail 3:fail", check::StepFailed,
         "tests=\"3\" failures=\"1\" errors=\"0\" skipped=\"2\""},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.limit);
        EXPECT_EQ(run(std::string("name='again'\n[[step]]\ntype='read_ad'\nretry=2\n") +
                      each.limit + "\n"),
                  each.exitCode);
        QStringList outcomes;
        const QJsonArray steps = json()["steps"].toArray();
        for (qsizetype n = 0; n < steps.size(); ++n) {
            outcomes << QString("%1:%2")
                            .arg(steps[n]["try"].toInt())
                            .arg(steps[n]["outcome"].toString());
            EXPECT_EQ(steps[n]["retried"].toBool(), n + 1 < steps.size()) << n;
        }
        EXPECT_EQ(outcomes.join(' '), each.outcomes);
        const QByteArray xml = file("junit.xml");
        EXPECT_TRUE(xml.contains(each.junitCounts)) << xml.data();
        EXPECT_TRUE(xml.contains("name=\"1 read_ad (try 2)\"")) << xml.data();
        EXPECT_TRUE(xml.contains("<skipped message=\"tried again after: A/D value ")) << xml.data();
    }
}

// Writes still on their way when the last step ends are settled before the counts are taken,
// so the record's counts are the reports the layer told of, one for one.
TEST_F(ScriptedRun, TheCountsAreTakenOnceEveryWriteHasSettled) {
    attach({.holdWrites = true});
    DirectionCounter seen;
    layer.addObserver(seen);
    EXPECT_EQ(run("name='held'\n[[step]]\ntype='read_ad'\nanswer_within_ms=50\n"
                  "[[step]]\ntype='write_port'\nvalue=1\nname='port'\n"
                  "[[step]]\ntype='read_ad'\nanswer_within_ms=50\n"),
              check::StepFailed);
    testsupport::WaitUntil([] { return false; }, 2 * ScriptedBoard::HeldWriteFails);
    layer.removeObserver(seen);
    const QJsonObject reports = json()["reports"].toObject();
    EXPECT_EQ(reports["failed"].toInt(), 3);
    for (const hid::ReportDirectionNames& each : hid::ReportDirections)
        EXPECT_EQ(reports[each.countWord].toInt(), seen.counts[hid::directionIndex(each.direction)])
            << each.countWord;
}

using testsupport::ScriptedOperator;

const check::OperatorAnswer Yes{check::OperatorAnswer::Kind::Yes, {}};
const check::OperatorAnswer No{check::OperatorAnswer::Kind::No, {}};
check::OperatorAnswer Typed(std::string text) {
    return {check::OperatorAnswer::Kind::Text, std::move(text)};
}

struct OperatorCase {
    const char* what;
    const char* step;
    std::optional<check::OperatorAnswer> answer; ///< none: the operator never answers
    int exitCode;
    const char* failure;    ///< the start of the step's failure; empty for a pass
    const char* label = ""; ///< the board's label the records hold
    bool there = true;
};

// The virtual board's serial number is VB-0001.
TEST_F(CheckRun, OperatorStepsPassOnTheAnswerExpectedFailOnAnotherAndOnNone) {
    board::VirtualBoard::attachTo(layer);
    const check::OperatorAnswer gone{check::OperatorAnswer::Kind::Gone, {}};
    const OperatorCase cases[] = {
        {"prompt done", "type='prompt'\ntext='Press S1'\n", Yes, check::AllPassed, ""},
        {"prompt not done", "type='prompt'\ntext='Press S1'\n", No, check::StepFailed,
         "answer \"not done\" breaks its limit = \"done\""},
        {"prompt timed out",
         "type='prompt'\ntext='Press S1'\ntimeout_ms=50\n",
         {},
         check::StepFailed,
         "no answer from the operator within 50 ms"},
        {"ask yes", "type='ask'\ntext='Lit?'\nexpect=true\n", Yes, check::AllPassed, ""},
        {"ask no, yes expected", "type='ask'\ntext='Lit?'\nexpect=true\n", No, check::StepFailed,
         "answer \"no\" breaks its limit = \"yes\""},
        {"ask no, no expected", "type='ask'\ntext='Dark?'\nexpect=false\n", No, check::AllPassed,
         ""},
        {"ask timed out",
         "type='ask'\ntext='Lit?'\nexpect=true\ntimeout_ms=40\n",
         {},
         check::StepFailed,
         "no answer from the operator within 40 ms"},
        {"scan of the serial",
         "type='scan'\ntext='Label'\npattern='VB-[0-9]{4}'\nequals_serial=true\n", Typed("VB-0001"),
         check::AllPassed, "", "VB-0001"},
        {"scan of another serial", "type='scan'\ntext='Label'\nequals_serial=true\n",
         Typed("VB-0002"), check::StepFailed,
         "scanned text \"VB-0002\" breaks its limit = \"VB-0001\""},
        {"scan against its pattern", "type='scan'\ntext='Label'\npattern='ZB-[0-9]+'\n",
         Typed("ZB-12x"), check::StepFailed, "scanned text \"ZB-12x\" breaks its limit matches"},
        {"scan timed out",
         "type='scan'\ntext='Label'\ntimeout_ms=30\n",
         {},
         check::StepFailed,
         "no answer from the operator within 30 ms"},
        {"the operator's input ended", "type='prompt'\ntext='Press S1'\n", gone, check::Undecided,
         "the operator's input ended"},
        {"no operator", "type='prompt'\ntext='Press S1'\n", Yes, check::Undecided,
         "needs an operator: no one is at the station", "", false},
    };
    for (const OperatorCase& each : cases) {
        SCOPED_TRACE(each.what);
        auto scripted = std::make_shared<ScriptedOperator>(
            std::vector<ScriptedOperator::Answer>{each.answer}, each.there);
        person = scripted;
        EXPECT_EQ(run(std::string("name='operator'\n[[step]]\n") + each.step), each.exitCode);
        const QJsonObject record = json();
        EXPECT_EQ(At(record, "steps/0/failure").toString().left(int(strlen(each.failure))),
                  each.failure);
        EXPECT_EQ(At(record, "board/label").toString(), each.label);
        EXPECT_EQ(scripted->asked.size(), each.there ? 1u : 0u);
        EXPECT_EQ(junit().properties.count("board label"), *each.label ? 1u : 0u);
        if (*each.label) {
            EXPECT_EQ(junit().properties.at("board label"), each.label);
        }
    }
}

// A board without a serial number gives a scan of it nothing to be held against: an empty
// line (Enter alone, or a scanner that read nothing) must not pass it.
TEST_F(CheckRun, AScanOfTheSerialFailsOnABoardWithoutOne) {
    board::VirtualBoardSetup blank;
    blank.serialNumber.clear();
    layer.addSource(std::make_unique<board::VirtualBoard>(blank));
    person = std::make_shared<ScriptedOperator>(std::vector<ScriptedOperator::Answer>{Typed("")});
    EXPECT_EQ(run("name='operator'\n[[step]]\ntype='scan'\ntext='Label'\nequals_serial=true\n"),
              check::StepFailed);
    EXPECT_EQ(At(json(), "steps/0/failure"),
              "the board has no serial number to hold the scan against");
    EXPECT_FALSE(json()["board"].toObject().contains("label"));
}

// The line test example on the virtual board, its operator scripted: the board's serial scanned,
// S1 held (bit 0 of the board's 0xA5 is high), LED D2 seen lit.
TEST_F(CheckRun, TheLineTestExamplePassesWithAnOperatorAndEndsWithItsTeardown) {
    board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    auto scripted = std::make_shared<ScriptedOperator>(
        std::vector<ScriptedOperator::Answer>{Typed("VB-0001"), Yes, Yes});
    person = scripted;
    QFile plan(ZOV_SOURCE_DIR "/examples/line.toml");
    ASSERT_TRUE(plan.open(QIODevice::ReadOnly));
    EXPECT_EQ(run(plan.readAll().toStdString()), check::AllPassed) << file("record.json").data();
    EXPECT_EQ(At(json(), "board/label"), "VB-0001");
    EXPECT_EQ(At(json(), "steps/7/teardown"), true);
    EXPECT_EQ(board.portD(), 0) << "the teardown left the port off after the LED step's 0x04";
    ASSERT_EQ(scripted->asked.size(), 3u);
    EXPECT_EQ(scripted->asked[2].first, check::OperatorQuestion::YesNo);
    EXPECT_EQ(scripted->asked[2].second, "Is LED D2 lit?");
}

// A read with `until` asks again every polling period until its answer keeps the limits.
TEST_F(CheckRun, AnUntilReadPassesOnceTheBitGoesHighAndFailsWhenItNeverDoes) {
    board::VirtualBoard& board = board::VirtualBoard::attachTo(layer); // input bits 0xA5: bit 1 low
    for (const bool goesHigh : {true, false}) {
        SCOPED_TRACE(goesHigh);
        board.setInputBits(0xA5);
        if (goesHigh) QTimer::singleShot(150ms, &board, [&board] { board.setInputBits(0xA7); });
        const std::uint64_t before = board.reportsReceived();
        EXPECT_EQ(run("name='until'\n[[step]]\ntype='read_inputs'\nbits_high=[1]\nuntil=true\n"
                      "within_ms=" +
                      std::string(goesHigh ? "5000" : "200") + "\n"),
                  goesHigh ? check::AllPassed : check::StepFailed);
        const QJsonObject record = json();
        const auto sent = std::int64_t(board.reportsReceived() - before);
        EXPECT_EQ(At(record, "steps/0/measurements/2/quantity"), "requests");
        EXPECT_EQ(At(record, "steps/0/measurements/2/value").toInteger(), sent);
        EXPECT_GE(sent, 2) << "asked again";
        EXPECT_EQ(At(record, "steps/0/measurements/0/value"), goesHigh ? 0xA7 : 0xA5);
        const std::string failure =
            goesHigh ? ""
                     : "input bits 0xA5 (10100101) breaks its limit bits high 1, still after " +
                           std::to_string(sent) + " requests within 200 ms";
        EXPECT_EQ(At(record, "steps/0/failure").toString().toStdString(), failure);
    }
}

// A step that does not pass stops the plan when it, or the plan, says so; the steps not run
// are skipped with the reason, and the teardown runs whatever happened.
TEST_F(CheckRun, StopOnFailSkipsTheRestAndTheTeardownRunsAfterAPassOrAFailure) {
    const board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    const struct {
        const char* what;
        const char* plan;
        const char* step;
        const char* outcomes;
        int exitCode;
    } cases[] = {
        {"a plan that stops", "stop_on_fail=true\n", "", "1:fail 2:skipped 2:skipped T1:pass",
         check::StepFailed},
        {"a step that does not stop it", "stop_on_fail=true\n", "stop_on_fail=false\n",
         "1:fail 2:pass 2:pass T1:pass", check::StepFailed},
        {"a step that stops it", "", "stop_on_fail=true\n", "1:fail 2:skipped 2:skipped T1:pass",
         check::StepFailed},
        {"a plan that goes on", "", "", "1:fail 2:pass 2:pass T1:pass", check::StepFailed},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const std::uint64_t before = board.reportsReceived();
        EXPECT_EQ(run(std::string("name='stop'\n") + each.plan +
                      "[[step]]\ntype='read_ad'\nmin=200\n" + each.step +
                      "[[step]]\ntype='read_ad'\nrepeat=2\n"
                      "[[teardown]]\ntype='write_port'\nvalue=0x11\n"),
                  each.exitCode);
        QStringList outcomes;
        for (const QJsonValue& step : json()["steps"].toArray())
            outcomes << QString("%1%2:%3")
                            .arg(step["teardown"].toBool() ? "T" : "")
                            .arg(step["step"].toInt())
                            .arg(step["outcome"].toString());
        EXPECT_EQ(outcomes.join(' '), each.outcomes);
        const bool stopped = outcomes.contains("2:skipped");
        EXPECT_EQ(board.reportsReceived() - before, stopped ? 2u : 4u);
        EXPECT_EQ(board.portD(), 0x11);
        EXPECT_EQ(At(json(), "steps/1/reason").toString(),
                  stopped ? "step 1 read_ad did not pass, and stops the plan" : "");
    }
    // And after a pass.
    EXPECT_EQ(run("name='pass'\n[[step]]\ntype='read_ad'\n[[teardown]]\ntype='write_port'\n"
                  "value=0x22\n"),
              check::AllPassed);
    EXPECT_EQ(board.portD(), 0x22);
    EXPECT_EQ(At(json(), "steps/1/teardown"), true);
}

// A teardown that cannot end is cut off at its bound, and the run still ends with its records.
TEST_F(CheckRun, ATeardownEndsWithinItsBound) {
    const board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    EXPECT_EQ(run("name='stuck'\n[[step]]\ntype='read_ad'\n[[teardown]]\ntype='write_port'\n"
                  "value=0x21\n[[teardown]]\ntype='wait_ms'\nduration_ms=60000\n"
                  "[[teardown]]\ntype='write_port'\nvalue=0x22\n"),
              check::Undecided);
    EXPECT_EQ(board.portD(), 0x21);
    const QJsonArray steps = json()["steps"].toArray();
    ASSERT_EQ(steps.size(), 4);
    EXPECT_EQ(At(steps, "1/outcome"), "pass");
    for (const char* skipped : {"2", "3"}) {
        EXPECT_EQ(At(steps, QString(skipped) + "/outcome"), "skipped");
        EXPECT_EQ(At(steps, QString(skipped) + "/reason"), "the teardown ran out of its 10 s");
    }
}

// A send that waits for its answer holds it against the limits its read steps would: the
// virtual board answers A/D 128, input bits 0xA5 and "Hello from ZOV!!", each with its code.
TEST_F(CheckRun, ASendWithAnExpectedAnswerPassesOnlyOnAnAnswerThatKeepsItsLimits) {
    board::VirtualBoard::attachTo(layer);
    const struct {
        const char* what;
        const char* step;
        int exitCode;
        const char* failure;
    } cases[] = {
        {"the answer text", "code=2\n[step.answer.text]\nprefix='Hello'\n", check::AllPassed, ""},
        {"a value out of its limits", "code=4\nanswer.ad={min=200}\n", check::StepFailed,
         "A/D value 128 breaks its limit >= 200"},
        {"bits out of their limits", "code=13\nanswer.inputs={mask=0x0F, value=0x0F}\n",
         check::StepFailed, "input bits 0xA5 (10100101) breaks its limit mask 0x0F = 0x0F"},
        {"an answer with another code", "code=4\nexpect_code=13\nanswer_within_ms=50\n",
         check::StepFailed, "no answer within 50 ms"},
        {"an answer with the code the next read asks for",
         "code=2\nexpect_code=4\nanswer_within_ms=50\n", check::StepFailed,
         "no answer within 50 ms"},
        {"its code and its value", "code=4\nexpect_code=4\nanswer={ad={min=100, max=128}}\n",
         check::AllPassed, ""},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        EXPECT_EQ(run(std::string("name='send'\n[[step]]\ntype='send'\n") + each.step +
                      "[[step]]\ntype='read_ad'\nequals=128\n"),
                  each.exitCode);
        EXPECT_EQ(At(json(), "steps/0/failure").toString(), each.failure);
        EXPECT_EQ(At(json(), "steps/1/outcome"), "pass") << "the read takes its own answer";
    }
    EXPECT_EQ(At(json(), "steps/0/measurements/2/quantity"), "answer code");
    EXPECT_EQ(At(json(), "steps/0/measurements/2/value"), 4);
    EXPECT_EQ(At(json(), "steps/0/measurements/3/value"), 128);
}

struct RepeatCase {
    const char* what;
    const char* limit;
    int repeat;
    const char* outcome;
    int exitCode;
};

TEST_F(CheckRun, ARepeatedStepRunsThatManyTimesEachWithItsOwnResult) {
    const board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    const RepeatCase cases[] = {
        {"passing", "min=100", 3, "pass", check::AllPassed},
        {"failing", "min=200", 2, "fail", check::StepFailed},
    };
    for (const RepeatCase& each : cases) {
        SCOPED_TRACE(each.what);
        const std::uint64_t before = board.reportsReceived();
        EXPECT_EQ(run("name='again'\n[[step]]\ntype='read_ad'\n" + std::string(each.limit) +
                      "\nrepeat=" + std::to_string(each.repeat) +
                      "\n[[step]]\ntype='wait_ms'\n"
                      "duration_ms=1\n"),
                  each.exitCode);
        EXPECT_EQ(board.reportsReceived() - before, std::uint64_t(each.repeat));
        EXPECT_EQ(At(json(), "reports/sent"), each.repeat) << "this run's reports only";
        const QJsonArray steps = json()["steps"].toArray();
        ASSERT_EQ(steps.size(), each.repeat + 1);
        const bool fails = each.exitCode == check::StepFailed;
        const Junit xml = junit();
        xml.expectCounts(each.repeat + 1, fails ? each.repeat : 0, 0);
        for (int n = 0; n < each.repeat; ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(At(steps, QString("%1/step").arg(n)), 1);
            EXPECT_EQ(At(steps, QString("%1/repetition").arg(n)), n + 1);
            EXPECT_EQ(At(steps, QString("%1/outcome").arg(n)), each.outcome);
            EXPECT_EQ(At(steps, QString("%1/measurements/0/value").arg(n)), 128);
            EXPECT_EQ(At(steps, QString("%1/failure").arg(n)).toString().toStdString(),
                      fails ? "A/D value 128 breaks its limit >= 200" : "");
            EXPECT_EQ(xml.cases[n].name, "1 read_ad (" + std::to_string(n + 1) + "/" +
                                             std::to_string(each.repeat) + ")");
            EXPECT_EQ(xml.cases[n].problem, fails ? "failure" : "");
        }
        EXPECT_EQ(At(steps, QString("%1/step").arg(each.repeat)), 2);
        EXPECT_EQ(xml.cases[each.repeat].name, "2 wait_ms");
    }
}

struct BitCase {
    const char* what;
    std::optional<std::int64_t> equals;
    std::optional<std::int64_t> mask;
    std::optional<std::int64_t> value;
    std::vector<std::int64_t> high;
    std::vector<std::int64_t> low;
    bool passes; ///< for the virtual board's bits 0xA5 (10100101)
};

TEST(CheckLimits, InputBitsAreHeldAgainstEveryLimitGiven) {
    const BitCase cases[] = {
        {"equals", 0xA5, {}, {}, {}, {}, true},
        {"equals another", 0xA4, {}, {}, {}, {}, false},
        {"mask and value", {}, 0xF0, 0xA0, {}, {}, true},
        {"mask and another value", {}, 0x0F, 0x0F, {}, {}, false},
        {"bits high", {}, {}, {}, {0, 2, 5, 7}, {}, true},
        {"a bit high that is low", {}, {}, {}, {1}, {}, false},
        {"bits low", {}, {}, {}, {}, {1, 3, 4, 6}, true},
        {"a bit low that is high", {}, {}, {}, {}, {0}, false},
    };
    for (const BitCase& each : cases) {
        SCOPED_TRACE(each.what);
        check::NumberLimits number;
        number.equals = each.equals;
        check::BitLimits bits;
        bits.mask = each.mask;
        bits.value = each.value;
        bits.bitsHigh = each.high;
        bits.bitsLow = each.low;
        EXPECT_EQ(check::InputBits(0xA5, number, bits).passed, each.passes);
    }
}

// Every numeric limit includes its bound and breaks one step past it, on either side.
TEST(CheckLimits, EachLimitHoldsOnItsBoundAndBreaksJustPastIt) {
    const auto ad = [](std::uint8_t value, check::NumberLimits limits) {
        return check::AdValue(value, limits).passed;
    };
    EXPECT_TRUE(ad(100, {100, 200, {}}));
    EXPECT_FALSE(ad(99, {100, 200, {}}));
    EXPECT_TRUE(ad(200, {100, 200, {}}));
    EXPECT_FALSE(ad(201, {100, 200, {}}));
    EXPECT_TRUE(ad(128, {{}, {}, 128}));
    EXPECT_FALSE(ad(127, {{}, {}, 128}));
    EXPECT_FALSE(ad(129, {{}, {}, 128}));
    EXPECT_TRUE(check::AnswerTime(20.0, 20).passed);
    EXPECT_FALSE(check::AnswerTime(20.001, 20).passed);
    EXPECT_FALSE(check::NoAnswer(20).passed);

    // Figures in order: requests, missed, late answers, median, p99, longest.
    const auto poll = [](std::size_t missed, std::vector<double> ms, check::PollLimits limits) {
        std::vector<bool> passed;
        for (const check::Measurement& figure : check::PollFigures(10, missed, 0, ms, limits))
            passed.push_back(figure.passed);
        return passed;
    };
    const std::vector<double> times{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}; // median 5, p99 and max 10
    const check::PollLimits atBounds{1, 5, 10, 10};
    const check::PollLimits pastBounds{0, 4.999, 9.999, 9.999};
    EXPECT_EQ(poll(1, times, atBounds), (std::vector<bool>{true, true, true, true, true, true}));
    EXPECT_EQ(poll(1, times, pastBounds),
              (std::vector<bool>{true, false, true, false, false, false}));
}

TEST(CheckLimits, TheAnswerTextMatchesAWholePatternAndAnEngineThatGivesUpDecidesNothing) {
    std::string undecided;
    const auto matching = [&](const char* text, std::string pattern, std::string prefix = "") {
        check::TextLimits limits;
        limits.matches = pattern;
        if (!prefix.empty()) limits.prefix = prefix;
        undecided.clear();
        return check::AnswerText(text, limits, undecided).passed;
    };
    EXPECT_TRUE(matching("ZOV-USB Board", "ZOV.*d"));
    EXPECT_FALSE(matching("ZOV-USB Board", "ZOV"));
    EXPECT_FALSE(matching("ZOV-USB Board", ".*", "USB"));
    EXPECT_TRUE(matching("Grüße €", "Gr.ße \\p{Sc}")) << "one character, not one byte, each";
    EXPECT_TRUE(undecided.empty()) << undecided;
    // The second branch matches, but the first backtracks past any engine's limit first.
    matching("Hello from ZOV!!", "(?:(.*)*(.*)*(.*)*(.*)*(.*)*(.*)*X|Hello from ZOV!!)");
    EXPECT_NE(undecided.find("match limit"), std::string::npos) << undecided;
}

// In a sticky folder, as /tmp, another user's file cannot be renamed over: that is told before
// anything is sent, not after the run.
TEST(RecordTarget, AnotherUsersFileInAStickyFolderIsRefusedBeforeTheRun) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to act as two users";
    constexpr uid_t Nobody = 65534;
    QTemporaryDir dir;
    const QString sticky = dir.filePath("sticky");
    ASSERT_TRUE(QDir().mkpath(sticky));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(sticky).constData(), 01777), 0);
    const QString theirs = sticky + "/theirs.json", mine = sticky + "/mine.json";
    for (const QString& name : {theirs, mine}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::chown(QFile::encodeName(mine).constData(), Nobody, Nobody), 0);
    const auto refusal = [](const QString& path) {
        QString error;
        return (check::RecordTarget::choose(path, error) ? QString("taken") : error).toStdString();
    };
    ASSERT_EQ(::seteuid(Nobody), 0);
    const std::string forTheirs = refusal(theirs), forMine = refusal(mine),
                      forNew = refusal(sticky + "/new.json");
    ASSERT_EQ(::seteuid(0), 0);
    EXPECT_EQ(forTheirs,
              "it belongs to another user, in a folder where only its owner may replace it");
    EXPECT_EQ(forMine, "taken");
    EXPECT_EQ(forNew, "taken");
}

} // namespace
