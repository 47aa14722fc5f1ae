// The built program, started as a user would, with the virtual board and a trace file.
#include "support/EventLoop.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

QStringList TraceLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

class Program : public ::testing::Test {
protected:
    void start(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.start(ZOV_PROGRAM, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }
    ~Program() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    QProcess process;
    QTemporaryDir dir;
};

TEST_F(Program, FirstReportIsFiftyAndSigtermEndsItCleanly) {
    const QString trace = dir.filePath("trace.txt");
    start({"--virtual-board", "--trace", trace});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !TraceLines(trace).isEmpty(); },
                                       std::chrono::seconds(10)));
    const QStringList fields = TraceLines(trace).first().split(' ');
    ASSERT_EQ(fields.size(), 3 + 33);
    EXPECT_EQ(fields[1], "out");
    EXPECT_EQ(fields[2], "1");
    EXPECT_EQ(fields[3 + 1], "32"); // 50 at index 1
    for (int i = 0; i < 33; ++i)
        if (i != 1) EXPECT_EQ(fields[3 + i], "00") << i;

    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST_F(Program, WithTheBoardMonitorOpenTheConsoleRunsAndSigtermEndsItCleanly) {
    const QString trace = dir.filePath("trace.txt");
    start({"--virtual-board", "--monitor", "--trace", trace});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !TraceLines(trace).isEmpty(); },
                                       std::chrono::seconds(10)));
    // The monitor sends nothing of its own: the start-up report is still the only one.
    EXPECT_EQ(TraceLines(trace).size(), 1);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST_F(Program, HelpAndVersionAnswerWithoutAWindow) {
    start({"--help"});
    ASSERT_TRUE(process.waitForFinished(10000));
    const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_TRUE(help.contains("--virtual-board"));
    EXPECT_TRUE(help.contains("--trace"));
    EXPECT_TRUE(help.contains("--monitor"));
    start({"--version"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardOutput()).contains("zov-usb-test"));
}

TEST_F(Program, AnUnwritableTraceFileIsRefused) {
    start({"--trace", "/nonexistent-dir/trace.txt"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError())
                    .contains("/nonexistent-dir/trace.txt"));
}

} // namespace
