// The zov-usb-test program itself against a real kernel: its trace and its end on SIGTERM.
#include "BoardControl.h"
#include "TraceLines.h"
#include "support/EventLoop.h"

#include <QProcess>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using testsupport::WaitUntil;

constexpr const char* TracePath = "/tmp/program-trace.txt";

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
    program.setProgram(QString::fromLocal8Bit(std::getenv("ZOV_PROGRAM")));
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

} // namespace
