// The zov-usb-test program itself against a real kernel: its trace and its end on SIGTERM, and
// its board checks from a plan, once and as a station across a replug.
#include "BoardControl.h"
#include "TraceLines.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QXmlStreamReader>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using testsupport::WaitUntil;

constexpr const char* TracePath = "/tmp/program-trace.txt";

QString ProgramPath() {
    return QString::fromLocal8Bit(std::getenv("ZOV_PROGRAM"));
}

/// Writes a plan of one A/D step whose answer must equal `adValue`, and a port write.
QString WritePlan(const QString& path, int adValue) {
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(QStringLiteral("name = \"Real kernel\"\n"
                              "[[step]]\ntype = \"read_ad\"\nequals = %1\nanswer_within_ms = 1000\n"
                              "[[step]]\ntype = \"write_port\"\nvalue = 5\n")
                   .arg(adValue)
                   .toUtf8());
    return path;
}

/// `zov-usb-test check ARGUMENTS...` run to its end: its exit code, or -1 if it did not end.
int RunCheck(const QStringList& arguments) {
    QProcess check;
    check.setProgram(ProgramPath());
    check.setArguments(QStringList{"check"} + arguments);
    check.setProcessChannelMode(QProcess::ForwardedChannels);
    check.start();
    if (check.waitForFinished(60000) && check.exitStatus() == QProcess::NormalExit)
        return check.exitCode();
    check.kill();
    check.waitForFinished(5000);
    return -1;
}

bool IsJson(const QString& path) {
    QFile file(path);
    QJsonParseError error{};
    return file.open(QIODevice::ReadOnly) &&
           !QJsonDocument::fromJson(file.readAll(), &error).isNull() &&
           error.error == QJsonParseError::NoError;
}

bool IsXml(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QXmlStreamReader reader(&file);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

class Program : public ::testing::Test {
protected:
    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
        board.unplug();
    }

    BoardControl board;
    QProcess program;
    TraceFile trace{TracePath};
};

TEST_F(Program, TracesEveryReportOfABurstAndEndsWithStatusZeroOnSigterm) {
    constexpr std::uint32_t Count = 2000;
    ASSERT_FALSE(board.plug().empty());
    const std::size_t from = board.mark();
    const double started = MonotonicMs();
    program.setProgram(ProgramPath());
    program.setArguments({"--trace", TracePath});
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000));

    // The start-up report reaches the board with the bytes the trace says went out.
    const auto output = board.waitFor(
        [](const BoardControl::Line& line) {
            return line.word == "output" && OutputBytes(line.rest).at(0) == 50;
        },
        from, std::chrono::seconds(30));
    ASSERT_TRUE(output) << "the start-up report did not reach the board";
    Figure("program start to its start-up report at the board",
           board.lines()[*output].monotonicMs - started);
    ASSERT_TRUE(WaitUntil([&] { return trace.count("out") > 0; }));
    const hid::Report firstOut = trace.lines("out").front().report;
    EXPECT_EQ(OutputBytes(board.lines()[*output].rest),
              std::vector<std::uint8_t>(firstOut.begin() + 1, firstOut.end()));

    // Every report of the burst reaches the layer and is traced as `in`, in order.
    board.send("burst 2000 1000");
    const auto done = board.waitForWord("burst-done", from, std::chrono::seconds(20));
    ASSERT_TRUE(done);
    Figure("burst of 2000 sent by the board in", BurstMs(board.lines()[*done]));
    WaitUntil([&] { return trace.count("in") >= Count; }, std::chrono::seconds(10));
    const auto in = trace.lines("in");
    Figure("burst reports the program traced as in", static_cast<double>(in.size()), "reports");
    // Reports the window's thread could not keep up with are traced as dropped, not lost.
    Figure("burst reports the program traced as drop", static_cast<double>(trace.count("drop")),
           "reports");
    ASSERT_EQ(in.size(), Count) << "reports were lost before they reached the layer";
    for (std::uint32_t k = 0; k < Count; ++k)
        ASSERT_EQ(BurstNumber(in[k].report), k) << "report " << k << " missing or out of order";

    const double signalled = MonotonicMs();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return program.state() == QProcess::NotRunning; },
                          std::chrono::seconds(10)))
        << "SIGTERM did not end the program";
    Figure("SIGTERM to the program's end", MonotonicMs() - signalled);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(Program, ChecksAPlanOnceAndAsAStationAcrossAReplug) {
    ASSERT_FALSE(board.plug().empty());
    ASSERT_TRUE(board.apply("ad 77"));
    const QString passing = WritePlan("/tmp/passing.toml", 77);
    const double started = MonotonicMs();
    EXPECT_EQ(RunCheck({passing, "--junit", "/tmp/passing.xml", "--json", "/tmp/passing.json"}), 0);
    Figure("check of a two-step plan, start to end", MonotonicMs() - started);
    EXPECT_TRUE(IsXml("/tmp/passing.xml"));
    EXPECT_TRUE(IsJson("/tmp/passing.json"));
    EXPECT_EQ(RunCheck({WritePlan("/tmp/failing.toml", 78), "--junit", "/tmp/failing.xml"}), 1);
    EXPECT_TRUE(IsXml("/tmp/failing.xml"));

    // A station: one board, then the same board replugged, then SIGTERM.
    QDir records("/tmp/station");
    records.removeRecursively();
    program.setProgram(ProgramPath());
    program.setArguments({"check", passing, "--station", records.path()});
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000));
    const auto recordsWritten = [&] { return records.entryList(QDir::Files).size(); };
    ASSERT_TRUE(WaitUntil([&] { return recordsWritten() == 2; }, std::chrono::seconds(30)));
    board.unplug();
    ASSERT_FALSE(board.plug().empty());
    ASSERT_TRUE(WaitUntil([&] { return recordsWritten() == 4; }, std::chrono::seconds(30)));
    for (const QString& name : records.entryList({"*.json"}, QDir::Files))
        EXPECT_TRUE(IsJson(records.filePath(name))) << name.toStdString();
    for (const QString& name : records.entryList({"*.xml"}, QDir::Files))
        EXPECT_TRUE(IsXml(records.filePath(name))) << name.toStdString();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return program.state() == QProcess::NotRunning; },
                          std::chrono::seconds(10)));
    EXPECT_EQ(program.exitCode(), 0) << "both boards passed";
}

} // namespace
