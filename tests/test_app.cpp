// The built program, started as a user would, with the virtual board and a trace file.
#include "app/CaretBlinkTimeout.h"
#include "support/EventLoop.h"
#include "unixsignals/SignalWatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
        startIn(environment, arguments);
    }
    /// As over SSH without X forwarding: no display, and no platform named.
    void startWithoutDisplay(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name);
        startIn(environment, arguments);
    }
    void startIn(const QProcessEnvironment& environment, const QStringList& arguments) {
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
    for (int i = 0; i < 33; ++i) {
        if (i == 1) continue;
        EXPECT_EQ(fields[3 + i], "00") << i;
    }

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

// Without a display QApplication aborted before the command line was read.
TEST_F(Program, HelpVersionAndMistakesNeedNoDisplay) {
    startWithoutDisplay({"--help"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_TRUE(help.startsWith("Usage: " ZOV_PROGRAM " [options]")) << help.toStdString();
    EXPECT_TRUE(help.contains("--virtual-board"));
    EXPECT_TRUE(help.contains("--virtual-bench <file>"));
    EXPECT_TRUE(help.contains("--trace"));
    EXPECT_TRUE(help.contains("--monitor"));

    startWithoutDisplay({"--version"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAll(), "zov-usb-test " PROJECT_VERSION "\n");

    startWithoutDisplay({"--bogus"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError()).contains("'bogus'"));
}

TEST_F(Program, WithoutADisplayTheWindowIsRefusedInOneLine) {
    startWithoutDisplay({"--virtual-board"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "not aborted";
    EXPECT_EQ(process.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
    EXPECT_TRUE(error.contains("DISPLAY")) << error.toStdString();
    EXPECT_TRUE(error.contains("QT_QPA_PLATFORM=offscreen")) << error.toStdString();
}

// Qt's own options are taken out by QApplication before the program reads the rest.
TEST_F(Program, QtOptionsStillWorkAndAMistakeAmongThemIsRefused) {
    startWithoutDisplay({"-platform", "offscreen", "-style", "fusion", "--bogus"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(error.contains("'bogus'")) << error.toStdString();
    EXPECT_FALSE(error.contains("'style'")) << error.toStdString();
}

TEST_F(Program, AStationEndsOnSigintOrSigtermWithItsTally) {
    const QString plan = dir.filePath("plan.toml");
    QFile file(plan);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("name='one'\n[[step]]\ntype='read_ad'\n");
    file.close();
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const QString records = dir.filePath(QString("records-%1").arg(signal));
        start({"check", plan, "--virtual-board", "--station", records});
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] { return !QDir(records).entryList({"*.json"}, QDir::Files).isEmpty(); },
            std::chrono::seconds(10)));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
        EXPECT_TRUE(output.endsWith("Boards checked: 1, 1 passed, 0 failed\n"))
            << output.toStdString();
    }
}

// A CI job acts on the exit status: every one of them, each with a last line that agrees.
TEST_F(Program, EveryExitStatusOfACheckHasTheLastLineThatGoesWithIt) {
    const auto plan = [&](const char* name, const char* step) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("name='") + name + "'\n[[step]]\ntype='read_text'\n" + step);
        return path;
    };
    const QString passing = plan("passing", "prefix='Hello'\n");
    const struct {
        QStringList arguments;
        int exitCode;
        const char* lastLine; ///< null: none on standard output
    } cases[] = {
        {{passing, "--virtual-board"}, 0, "PASS"},
        {{plan("failing", "prefix='Bye'\n"), "--virtual-board"}, 1, "FAIL"},
        {{plan("bad", "prefix=7\n"), "--virtual-board"}, 2, nullptr},
        {{passing}, 3, nullptr},
        {{plan("undecided", "matches='(?:(.*)*(.*)*(.*)*(.*)*(.*)*(.*)*X|Hello from ZOV!!)'\n"),
          "--virtual-board"},
         4,
         "ERROR"},
        {{passing, "--virtual-board", "--trace", "-"}, 0, "PASS"},
        {{passing, "--virtual-board", "--trace", "/dev/full"}, 4, "ERROR"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.arguments.join(' ').toStdString());
        start(QStringList{"check"} + each.arguments);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), each.exitCode);
        const QStringList lines =
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.isEmpty() ? nullptr : lines.last(), each.lastLine)
            << lines.join('\n').toStdString();
    }
}

// Each refused line or plan ends with 2 and says why: "--trace=" names no file, so it is
// refused rather than taken for no trace at all, and a plan of one key with 50,000 dotted parts
// is refused rather than read into a full stack. A bad bench file is refused before the trace
// file is made.
TEST_F(Program, ALineOrPlanTheProgramCannotFollowEndsWithTwoAndSaysWhy) {
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    const QString plan = write("plan.toml", "name='p'\n[[step]]\ntype='read_ad'\n");
    const QString bench = write("bench.toml", "[[board]]\nad = 300\n");
    const QString trace = dir.filePath("trace.txt");
    const QString badBench = bench + ":2:6: board 1: 'ad' must be an integer from 0 to 255";
    const QString latin1 = write("latin1.toml", "name = 'caf\xE9'\n");
    const QString deep =
        write("deep.toml", "name = 'p'\n" + QByteArray("a.").repeated(50'000) + "b = 1\n");
    const QString missing = dir.filePath("missing.toml");
    const struct {
        QStringList arguments;
        QStringList told; ///< parts of the message; "--virtual-board" stands for the usage
    } cases[] = {
        {{"check", "plan.toml", "--station", dir.path(), "--json", "record.json"},
         {"leave out --wait, --junit and --json"}},
        {{"--trace="}, {"--trace needs a file name", "--virtual-board"}},
        {{"--virtual-board", "bogus"}, {"'bogus'", "--virtual-board"}},
        {{"--virtual-bench="}, {"--virtual-bench needs a file name", "--virtual-board"}},
        {{"--virtual-bench", bench, "--trace", trace}, {badBench}},
        {{"check", plan, "--virtual-bench", bench, "--trace", trace}, {badBench}},
        {{"check", dir.path(), "--virtual-board"}, {dir.path() + ": this is a directory"}},
        {{"check", missing, "--virtual-board"}, {missing + ": ", "No such file or directory"}},
        {{"check", latin1, "--virtual-board"}, {latin1 + ":1:12: ", "save the plan as UTF-8"}},
        {{"check", deep, "--virtual-board"}, {deep + ":2:", "nested more than 8 levels"}},
        // Where records and the trace may go is settled before anything is sent.
        {{"check", plan, "--virtual-board", "--trace", trace, "--json", "/dev/null"},
         {"/dev/null: it is a device"}},
        {{"check", plan, "--virtual-board", "--trace", trace, "--json", "/nonexistent/r.json"},
         {"the folder /nonexistent cannot be used"}},
        {{"check", plan, "--virtual-board", "--trace", trace, "--json",
          dir.filePath(QString(250, 'r'))},
         {"its name is too long"}},
        {{"check", plan, "--virtual-board", "--trace", trace, "--json", dir.filePath("r"),
          "--junit", dir.filePath("r")},
         {"--json and --junit are the same file"}},
        {{"check", plan, "--virtual-board", "--trace", plan},
         {"the plan and --trace are the same"}},
        {{"check", plan, "--virtual-board", "--station", plan + "/records"},
         {"cannot keep records"}},
        // What names the station and the operator in the records is one plain, short line.
        {{"check", plan, "--virtual-board", "--operator", "Ann\x1b[2J"},
         {"--operator cannot hold a control character (U+001B)", "--virtual-board"}},
        {{"check", plan, "--station", dir.path(), "--station-id", QString(65, 'x')},
         {"--station-id takes at most 64 characters, not 65"}},
        // Bytes that are not UTF-8 would name another file, or record another name.
        {{"check", plan, "--virtual-board", "--operator", QString::fromUtf8("Ann \xFF")},
         {"an argument is not valid UTF-8 text", "--virtual-board"}},
        {{"check", plan, "--virtual-board", "--json", QString::fromUtf8("\xFE.json")},
         {"an argument is not valid UTF-8 text"}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.arguments.join(' ').toStdString());
        start(each.arguments);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 2);
        const QString error = QString::fromLocal8Bit(process.readAllStandardError());
        for (const QString& part : each.told)
            EXPECT_TRUE(error.contains(part)) << error.toStdString();
    }
    EXPECT_FALSE(QFile::exists(trace));
    QFile planFile(plan);
    ASSERT_TRUE(planFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(planFile.readAll(), "name='p'\n[[step]]\ntype='read_ad'\n") << "left as it was";
}

// A record goes straight to a pipe or standard output, and to a file whole or not at all: a
// full disk leaves neither an empty record nor a stray file, and ends with 4.
TEST_F(Program, RecordsGoToPipesStraightAndToFilesWholeOrNotAtAll) {
    const QString plan = ZOV_SOURCE_DIR "/examples/smoke.toml";
    const QString pipe = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    // The reader is there before the check starts; the pipe holds the whole record.
    const int reader = ::open(pipe.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    start({"check", plan, "--virtual-board", "--json", pipe, "--junit", "/dev/stdout"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().contains("</testsuites>"));
    QByteArray json(65536, '\0');
    json.resize(std::max<ssize_t>(0, ::read(reader, json.data(), json.size())));
    ::close(reader);
    EXPECT_TRUE(QJsonDocument::fromJson(json).isObject()) << json.toStdString();
    struct stat status {};
    ASSERT_EQ(::stat(pipe.toLocal8Bit().constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the pipe is still a pipe";

    // Files may be at most 1 KiB here: the JSON record is larger.
    const QString full = dir.filePath("full");
    QDir().mkpath(full);
    process.start("bash", {"-c", "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"", ZOV_PROGRAM,
                           "check", plan, "--virtual-board", "--json", full + "/r.json"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 4);
    EXPECT_EQ(process.readAllStandardOutput().trimmed().split('\n').last(), "ERROR");
    EXPECT_EQ(QDir(full, {}, QDir::Name, QDir::Files | QDir::Hidden).count(), 0u);

    // Standard output that closes early, or cannot be written, leaves the verdict unsaid: 4,
    // with the records written all the same, the trace there too. The pause lets the reader
    // that stops after one line be gone while the check still has lines to write.
    const QString record = dir.filePath("r.json"), pausing = dir.filePath("pausing.toml");
    QFile pausingPlan(pausing);
    ASSERT_TRUE(pausingPlan.open(QIODevice::WriteOnly));
    pausingPlan.write("name='pausing'\n[[step]]\ntype='read_text'\n"
                      "[[step]]\ntype='wait_ms'\nduration_ms=300\n[[step]]\ntype='read_ad'\n");
    pausingPlan.close();
    for (const char* output : {"| head -1 >/dev/null", ">/dev/full"})
        for (const QStringList& trace : {QStringList{}, QStringList{"--trace", "-"}}) {
            SCOPED_TRACE(output + trace.join(' ').toStdString());
            QFile::remove(record);
            process.start(
                "bash",
                QStringList{"-c", QString("\"$0\" \"$@\" %1; exit ${PIPESTATUS[0]}").arg(output),
                            ZOV_PROGRAM, "check", pausing, "--virtual-board", "--json", record} +
                    trace);
            ASSERT_TRUE(process.waitForFinished(10000));
            EXPECT_EQ(process.exitCode(), 4) << process.readAllStandardError().data();
            EXPECT_TRUE(QFileInfo(record).size() > 0);
        }
}

TEST_F(Program, APlanRunsOnTheExampleBenchsFirstBoard) {
    start({"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-bench",
           ZOV_SOURCE_DIR "/examples/bench.toml"});
    ASSERT_TRUE(process.waitForFinished(10000));
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 0)
        << output.toStdString() << process.readAllStandardError().data();
    EXPECT_TRUE(output.startsWith("Board: ZOV-USB Board, serial ZB-0042")) << output.toStdString();
}

// A board that answers every request 110 to 130 ms late, checked against 100 ms: no
// repetition and no poll request may pass on an answer that belongs to an earlier request.
TEST_F(Program, ALateBenchBoardFailsEveryRequestOnItsOwnAnswer) {
    const QString plan = dir.filePath("plan.toml"), bench = dir.filePath("bench.toml"),
                  json = dir.filePath("record.json");
    for (const auto& [path, text] :
         {std::pair{plan, "name='late'\n[[step]]\ntype='read_ad'\nanswer_within_ms=100\nrepeat=3\n"
                          "[[step]]\ntype='poll'\nduration_ms=400\nanswer_within_ms=100\n"
                          "max_missed=10\nmax_ms=100\n"
                          // Its answer comes after its window, when the run is over.
                          "[[step]]\ntype='read_ad'\nanswer_within_ms=5\n"},
          std::pair{bench, "[[board]]\nanswer_delay_ms=120\nanswer_jitter_ms=10\n"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const QString trace = dir.filePath("trace.txt");
    start({"check", plan, "--virtual-bench", bench, "--json", json, "--trace", trace});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 1);
    QFile file(json);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonDocument record = QJsonDocument::fromJson(file.readAll());
    // The record's counts are the trace's, line for line, answers after the run's end included.
    const QStringList lines = TraceLines(trace);
    for (const auto& [word, count] : {std::pair{" out ", "sent"}, std::pair{" in ", "received"},
                                      std::pair{" drop ", "dropped"}})
        EXPECT_EQ(lines.filter(word).size(), record["reports"][count].toInt()) << count;
    const QJsonArray steps = record["steps"].toArray();
    ASSERT_EQ(steps.size(), 5);
    const auto figure = [&](int step, int n) { return steps[step]["measurements"][n]["value"]; };
    for (int repetition = 0; repetition < 3; ++repetition) {
        EXPECT_EQ(steps[repetition]["outcome"], "fail") << repetition;
        EXPECT_GE(figure(repetition, 1).toDouble(), 110) << "its own answer's time";
    }
    EXPECT_EQ(figure(3, 1), figure(3, 0)) << "every poll request missed its limit";
    EXPECT_EQ(figure(3, 2), figure(3, 0)) << "and was answered late";
    EXPECT_EQ(process.readAllStandardOutput().trimmed().split('\n').last(), "FAIL");
}

// A board whose every answer comes within its limit passes, however its times scatter.
TEST_F(Program, AJitteryBoardThatAnswersInTimeMissesNothing) {
    const QString plan = dir.filePath("plan.toml"), bench = dir.filePath("bench.toml");
    for (const auto& [path, text] :
         {std::pair{plan, "name='jitter'\n[[step]]\ntype='poll'\nduration_ms=1000\n"
                          "answer_within_ms=200\nmax_missed=0\n"},
          std::pair{bench, "[[board]]\nanswer_delay_ms=60\nanswer_jitter_ms=30\n"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    start({"check", plan, "--virtual-bench", bench});
    ASSERT_TRUE(process.waitForFinished(20000));
    const QString output = process.readAllStandardOutput();
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("missed 0 ")) << output.toStdString();
}

// A board's names and answers reach the terminal with every control character escaped: none
// can retitle or clear it, or hide the verdict.
TEST_F(Program, NothingAHostileBoardSaysSteersTheTerminal) {
    const QString bench = dir.filePath("bench.toml");
    QFile file(bench);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[[board]]\nproduct = \"Prod\\u001b]0;pwned\\u0007\\u001b[2J\"\n"
               "serial = \"S\\nPASS\"\ntext = \"\\u001b[8m\"\n");
    file.close();
    start({"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-bench", bench});
    ASSERT_TRUE(process.waitForFinished(10000));
    const QByteArray output = process.readAllStandardOutput() + process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 1);
    for (const char control : {'\x1b', '\x07'})
        EXPECT_FALSE(output.contains(control)) << output.toStdString();
    EXPECT_TRUE(output.contains("Prod\\x1b]0;pwned\\x07\\x1b[2J, serial S\\x0aPASS"))
        << output.toStdString();
}

// Opening a named pipe for writing waits for a reader: a pipe nobody reads would hold the
// program before any window, deaf to SIGTERM, so it is refused at once.
TEST_F(Program, ATraceToAPipeNobodyReadsIsRefusedAtOnce) {
    const QString pipe = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    start({"--virtual-board", "--trace", pipe});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(error.contains("nobody reads the pipe")) << error.toStdString();
    EXPECT_TRUE(error.contains(pipe)) << error.toStdString();
}

TEST_F(Program, TraceDashWritesToStandardOutput) {
    start({"--virtual-board", "--trace", "-"});
    QString out;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            out += QString::fromLatin1(process.readAllStandardOutput());
            return out.contains('\n');
        },
        std::chrono::seconds(10)));
    EXPECT_TRUE(out.contains(" out 1 00 32 00 ")) << out.toStdString();
}

// A write that fails is told once, with its reason, and the program goes on to a clean end.
TEST_F(Program, AFailingTraceIsToldOnceAndTheProgramGoesOn) {
    start({"--virtual-board", "--trace", "/dev/full"});
    QString error;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            error += QString::fromLocal8Bit(process.readAllStandardError());
            return error.contains("No space left on device");
        },
        std::chrono::seconds(10)));
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    error += QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_EQ(error.count("No space left on device"), 1) << error.toStdString();
    EXPECT_TRUE(error.contains("trace lines were lost")) << error.toStdString();
}

TEST_F(Program, AnUnwritableTraceFileIsRefused) {
    start({"--trace", "/nonexistent-dir/trace.txt"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError())
                    .contains("/nonexistent-dir/trace.txt"));
}

// What the check records and prints names the signal that ended it. SIGHUP comes when the
// terminal goes (a window closed, an SSH connection dropped), typically while an operator step
// waits: it ends the run as the others do, its teardown run and its records written.
TEST(SignalWatcher, TellsWhichSignalCame) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        unixsignals::SignalWatcher watcher;
        int told = 0;
        QObject::connect(&watcher, &unixsignals::SignalWatcher::terminationRequested,
                         [&](int signalNumber) { told = signalNumber; });
        std::raise(signal);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return told != 0; }));
        EXPECT_EQ(told, signal);
        EXPECT_EQ(unixsignals::SignalName(told), signal == SIGINT    ? "SIGINT"
                                                 : signal == SIGTERM ? "SIGTERM"
                                                                     : "SIGHUP");
    }
}

// A program stuck in closing still ends: the second SIGINT or SIGTERM ends it at once.
TEST(SignalWatcherDeathTest, ASecondSignalEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unixsignals::SignalWatcher watcher;
            std::raise(SIGTERM); // handled: the window would be asked to close
            std::raise(SIGTERM);
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
    EXPECT_EXIT(
        {
            unixsignals::SignalWatcher watcher;
            std::raise(SIGINT);
            std::raise(SIGTERM);
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}

// The focused box's blinking cursor kept a timer running while the console sat idle.
TEST(CaretBlinkTimeout, TheCursorRestsWithoutInputAndBlinksAgainOnTheNextKey) {
    QStyleHints& hints = *QGuiApplication::styleHints();
    const int blink = hints.cursorFlashTime();
    ASSERT_GT(blink, 0);
    QLineEdit box;
    box.show();
    box.setFocus();
    {
        app::CaretBlinkTimeout timeout(std::chrono::milliseconds(30));
        EXPECT_EQ(hints.cursorFlashTime(), blink) << "blinks until the time has passed";
        ASSERT_TRUE(testsupport::WaitUntil([&] { return hints.cursorFlashTime() == 0; }));

        QTest::keyClick(&box, Qt::Key_A);
        EXPECT_EQ(hints.cursorFlashTime(), blink);
        EXPECT_EQ(box.text(), "a") << "the key still reaches the box";
        ASSERT_TRUE(testsupport::WaitUntil([&] { return hints.cursorFlashTime() == 0; }));
        QTest::mouseClick(&box, Qt::LeftButton);
        EXPECT_EQ(hints.cursorFlashTime(), blink);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return hints.cursorFlashTime() == 0; }));
    }
    EXPECT_EQ(hints.cursorFlashTime(), blink) << "left blinking";
}

} // namespace
