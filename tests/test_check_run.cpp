// Board checks run on the virtual board: exit codes, records, a board that leaves, no board.
#include "board/VirtualBoard.h"
#include "check/CheckSession.h"
#include "check/PlanParser.h"
#include "check/StepLimits.h"
#include "hid/DeviceManager.h"
#include "support/EventLoop.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class CheckRun : public ::testing::Test {
protected:
    /// Runs `plan` on the layer; answers the exit code (-1 when the run never ended).
    int run(const std::string& plan, std::chrono::milliseconds wait = 0ms) {
        check::PlanError error;
        auto parsed = check::ParsePlan(plan, "plan.toml", error);
        EXPECT_TRUE(parsed) << error.text();
        if (!parsed) return -1;
        check::CheckSession session(layer, *parsed, "plan.toml",
                                    {wait, dir.filePath("record.json"), dir.filePath("junit.xml")});
        int exitCode = -1;
        QObject::connect(&session, &check::CheckSession::done, [&](int code) { exitCode = code; });
        session.start();
        testsupport::WaitUntil([&] { return exitCode != -1; }, 10s);
        return exitCode;
    }

    QByteArray file(const char* name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QJsonObject json() { return QJsonDocument::fromJson(file("record.json")).object(); }

    QTemporaryDir dir;
    hid::DeviceManager layer;
};

TEST_F(CheckRun, APassingPlanEndsWithZeroAndRecordsTheBoardAndTheReports) {
    hid::VirtualBoard::attachTo(layer);
    EXPECT_EQ(run("name='ok'\n[[step]]\ntype='read_ad'\nequals=128\n"
                  "[[step]]\ntype='read_text'\nequals='Hello from ZOV!!'\n"
                  "[[step]]\ntype='poll'\nduration_ms=100\n"),
              check::AllPassed);
    const QJsonObject record = json();
    EXPECT_EQ(record["outcome"].toString(), "pass");
    EXPECT_EQ(record["board"].toObject()["serial"].toString(), "VB-0001");
    const QJsonObject reports = record["reports"].toObject();
    EXPECT_EQ(reports["sent"].toInt(), 2 + 5);
    EXPECT_EQ(reports["received"].toInt(), 2 + 5);
    EXPECT_TRUE(file("junit.xml").contains("tests=\"3\" failures=\"0\""));
}

TEST_F(CheckRun, AValueOutsideItsLimitEndsWithOneAndTheFailureNamesValueAndLimit) {
    hid::VirtualBoard::attachTo(layer);
    EXPECT_EQ(run("name='low'\n[[step]]\ntype='read_ad'\nmin=200\nmax=255\n"), check::StepFailed);
    EXPECT_TRUE(
        file("junit.xml").contains("<failure message=\"A/D value 128 breaks its limit 200..255\""))
        << file("junit.xml").toStdString();
    EXPECT_EQ(json()["outcome"].toString(), "fail");
}

TEST_F(CheckRun, ABoardThatLeavesDuringAPollFailsThatStepAndEndsTheRun) {
    hid::VirtualBoard& board = hid::VirtualBoard::attachTo(layer);
    QTimer::singleShot(200ms, &board, &hid::VirtualBoard::unplug);
    EXPECT_EQ(run("name='leaving'\n[[step]]\ntype='poll'\nduration_ms=5000\n"
                  "[[step]]\ntype='read_ad'\n"),
              check::StepFailed);
    const QJsonObject record = json();
    EXPECT_TRUE(record["board_left"].toBool());
    const auto steps = record["steps"].toArray();
    ASSERT_EQ(steps.size(), 1); // the read_ad step never ran
    EXPECT_EQ(steps[0].toObject()["failure"].toString(), "the board left during the step");
}

TEST_F(CheckRun, NoBoardWithinTheWaitEndsWithThreeAndSendsNothing) {
    auto board = std::make_unique<hid::VirtualBoard>(false);
    const hid::VirtualBoard& unplugged = *board;
    layer.addSource(std::move(board));
    EXPECT_EQ(run("name='none'\n[[step]]\ntype='read_ad'\n", 100ms), check::NoBoard);
    EXPECT_EQ(unplugged.reportsReceived(), 0u);
    EXPECT_EQ(layer.refusedReports(), 0u);
}

TEST_F(CheckRun, ABoardPluggedInWithinTheWaitIsChecked) {
    auto board = std::make_unique<hid::VirtualBoard>(false);
    hid::VirtualBoard& later = *board;
    layer.addSource(std::move(board));
    QTimer::singleShot(50ms, &later, &hid::VirtualBoard::plug);
    EXPECT_EQ(run("name='later'\n[[step]]\ntype='read_ad'\n", 5000ms), check::AllPassed);
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

TEST(CheckLimits, TheAnswerTextMatchesAWholePattern) {
    const auto matching = [](const char* text, std::string pattern, std::string prefix = "") {
        check::TextLimits limits;
        limits.matches = pattern;
        if (!prefix.empty()) limits.prefix = prefix;
        return check::AnswerText(text, limits).passed;
    };
    EXPECT_TRUE(matching("ZOV-USB Board", "ZOV.*d"));
    EXPECT_FALSE(matching("ZOV-USB Board", "ZOV"));
    EXPECT_FALSE(matching("ZOV-USB Board", ".*", "USB"));
}

} // namespace
