// The --trace file: its line format, that lines reach the file soon, what it opens and
// refuses, and that a failing or slow file costs the window nothing.
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "support/EventLoop.h"
#include "trace/ReportTrace.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

TEST(ReportTrace, LineHasUtcMicrosecondsDirectionHandleAndAll33Bytes) {
    hid::Report report{};
    report[1] = 0x32;
    report[32] = 0xAB;
    // 2026-12-07 10:30:00.000042 UTC
    const std::int64_t when = 1796639400LL * 1'000'000 + 42;
    const std::string line =
        trace::ReportTrace::formatLine(when, trace::ReportTrace::Direction::Out, 0, report);
    std::string expected = "2026-12-07T10:30:00.000042Z out 0 00 32";
    for (int i = 2; i < 32; ++i)
        expected += " 00";
    expected += " ab";
    EXPECT_EQ(line, expected);
    EXPECT_EQ(trace::ReportTrace::formatLine(when, trace::ReportTrace::Direction::In, -3, report)
                  .substr(28, 5),
              "in -3");
}

// The date and time are kept from one line to the next: a line in the next second, or back in
// an earlier one, must not carry the stamp of the line before it.
TEST(ReportTrace, EachLineCarriesItsOwnSecondAndFraction) {
    const hid::Report report{};
    const std::int64_t second = 1796639400LL * 1'000'000; // 2026-12-07 10:30:00 UTC
    const auto stamp = [&](std::int64_t when) {
        return trace::ReportTrace::formatLine(when, trace::ReportTrace::Direction::In, 1, report)
            .substr(0, 27);
    };
    EXPECT_EQ(stamp(second + 999'999), "2026-12-07T10:30:00.999999Z");
    EXPECT_EQ(stamp(second + 1'000'000), "2026-12-07T10:30:01.000000Z");
    EXPECT_EQ(stamp(second + 1'000'007), "2026-12-07T10:30:01.000007Z");
    EXPECT_EQ(stamp(second - 3'600'000'000LL + 120'000), "2026-12-07T09:30:00.120000Z");
    EXPECT_EQ(stamp(second + 5), "2026-12-07T10:30:00.000005Z");
}

TEST(ReportTrace, EveryReportLineReachesTheFileWithin100ms) {
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.txt");
    std::string error;
    auto trace = trace::ReportTrace::open(path.toStdString(), error, nullptr);
    ASSERT_TRUE(trace) << error;

    hid::DeviceManager layer(1);
    layer.addObserver(*trace);
    hid::Report request{};
    request[1] = 4;
    layer.WriteEx(0x1234, 1, request); // no device yet: refused, traced with handle 0
    board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    QObject window;
    layer.Connect(&window);
    hid::Report status{};
    status[1] = 5;
    // A report that comes before read notification is on is counted and traced as dropped.
    board.sendReport(status);
    layer.SetReadNotify(1, true);
    layer.WriteEx(0x1234, 1, request);
    layer.WriteEx(0x1234, 1, request); // two answers into a queue of one: one dropped

    ASSERT_TRUE(testsupport::WaitUntil([&] { return ReadLines(path).size() >= 8; },
                                       std::chrono::milliseconds(100 + 400)));
    const QStringList lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines[0].contains(" refuse 0 00 04 "));
    EXPECT_TRUE(lines[1].contains(" in 1 00 05 "));
    EXPECT_TRUE(lines[2].contains(" drop 1 00 05 "));
    EXPECT_TRUE(lines[3].contains(" out 1 00 04 "));
    EXPECT_TRUE(lines[5].contains(" in 1 00 04 "));
    EXPECT_TRUE(lines[7].contains(" drop 1 00 04 "));
    EXPECT_EQ(layer.droppedReports(), 2u);
}

TEST(ReportTrace, UnwritablePathIsRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(trace::ReportTrace::open("/nonexistent-dir/trace.txt", error, nullptr));
    EXPECT_FALSE(error.empty());
}

/// What the trace complains of, gathered from its writing thread.
class Complaints {
public:
    trace::ReportTrace::Complaint sink() {
        return [this](const std::string& message) {
            const std::lock_guard lock(mutex_);
            messages_.push_back(message);
        };
    }
    std::vector<std::string> messages() const {
        const std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

void RecordLines(trace::ReportTrace& trace, int count) {
    hid::Report report{};
    for (int i = 0; i < count; ++i) {
        report[1] = static_cast<std::uint8_t>(i);
        trace.record(hid::ReportDirection::Out, 1, report);
    }
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

class TraceFile : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    Complaints complaints;
};

// --trace does not follow a symbolic link: it would empty the file the link leads to.
TEST_F(TraceFile, ASymbolicLinkToAFileIsRefusedAndTheFileKept) {
    QFile target(path("precious.txt"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("keep me\n");
    target.close();
    ASSERT_EQ(::symlink(path("precious.txt").toLocal8Bit().constData(),
                        path("trace.txt").toLocal8Bit().constData()),
              0);
    std::string error;
    EXPECT_FALSE(trace::ReportTrace::open(path("trace.txt").toStdString(), error, nullptr));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "keep me\n");
}

TEST_F(TraceFile, AnExistingFileIsEmptiedAndANewOneMadeReadableByAll) {
    QFile old(path("old.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(std::string(1000, 'x').c_str());
    old.close();
    std::string error;
    {
        auto trace = trace::ReportTrace::open(path("old.txt").toStdString(), error, nullptr);
        ASSERT_TRUE(trace) << error;
        RecordLines(*trace, 1);
    }
    EXPECT_EQ(ReadLines(path("old.txt")).size(), 1);
    EXPECT_FALSE(ReadLines(path("old.txt"))[0].contains('x'));

    const mode_t mask = ::umask(0);
    auto trace = trace::ReportTrace::open(path("new.txt").toStdString(), error, nullptr);
    ::umask(mask);
    ASSERT_TRUE(trace) << error;
    struct stat status {};
    ASSERT_EQ(::stat(path("new.txt").toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
}

// A pipe reached through a link, as a shell's >(grep ...) hands it over. It is opened without
// waiting, and the writer still waits for room: more than the pipe holds gets through whole.
TEST_F(TraceFile, APipeThroughALinkIsWrittenTo) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    const std::string link = "/proc/self/fd/" + std::to_string(fds[1]);
    std::string error;
    auto trace = trace::ReportTrace::open(link, error, complaints.sink());
    ASSERT_TRUE(trace) << error;
    ::close(fds[1]);
    constexpr int Lines = 2000; // about 260 KB: four times what the pipe holds
    RecordLines(*trace, Lines);
    auto reading = std::async(std::launch::async, [&] { return ReadAll(fds[0]); });
    trace.reset(); // the end writes what is left and closes its end of the pipe
    const std::string text = reading.get();
    ::close(fds[0]);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), Lines);
    EXPECT_NE(text.find(" out 1 00 02 "), std::string::npos);
    EXPECT_TRUE(complaints.messages().empty());
}

// A board's hidraw node is writable by its user and would take the lines as output reports.
TEST_F(TraceFile, ADeviceIsRefusedUnlessATerminalOrTheNullDevice) {
    std::string error;
    EXPECT_FALSE(trace::ReportTrace::open("/dev/zero", error, nullptr));
    EXPECT_NE(error.find("hidraw"), std::string::npos) << error;
    error.clear();
    EXPECT_TRUE(trace::ReportTrace::open("/dev/null", error, nullptr)) << error;
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    EXPECT_TRUE(trace::ReportTrace::open(::ptsname(terminal), error, nullptr)) << error;
    ::close(terminal);
}

// A full disk or a closed pipe is told once, with its reason, and the rest is counted lost.
TEST_F(TraceFile, AFailingWriteIsToldOnceAndTheLinesCountedLost) {
    std::string error;
    auto trace = trace::ReportTrace::open("/dev/full", error, complaints.sink());
    ASSERT_TRUE(trace) << error;
    RecordLines(*trace, 5);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return trace->lostLines() == 5; }));
    RecordLines(*trace, 5);
    EXPECT_EQ(trace->lostLines(), 10u);
    trace.reset();
    const std::vector<std::string> messages = complaints.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[0].find("/dev/full"), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("No space left on device"), std::string::npos) << messages[0];
    EXPECT_NE(messages[1].find("10 trace lines were lost"), std::string::npos) << messages[1];
}

TEST_F(TraceFile, AClosedPipeIsAFailedWriteNotTheEndOfTheProgram) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::close(fds[0]);
    std::string error;
    auto trace = trace::ReportTrace::open("/proc/self/fd/" + std::to_string(fds[1]), error,
                                          complaints.sink());
    ::close(fds[1]);
    ASSERT_TRUE(trace) << error;
    RecordLines(*trace, 2);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return trace->lostLines() == 2; }));
    ASSERT_FALSE(complaints.messages().empty());
    EXPECT_NE(complaints.messages()[0].find("Broken pipe"), std::string::npos);
}

// A reader that stops reading must not hold up the window: what does not fit the queue is
// lost and counted, and every line is either in the pipe or counted.
TEST_F(TraceFile, AReaderThatStopsCostsLinesNotTime) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    std::string error;
    auto trace = trace::ReportTrace::open("/proc/self/fd/" + std::to_string(fds[1]), error,
                                          complaints.sink(), 16 * 1024);
    ::close(fds[1]);
    ASSERT_TRUE(trace) << error;
    constexpr int Lines = 5000; // about 650 KB: ten times what the pipe holds
    auto recording = std::async(std::launch::async, [&] { RecordLines(*trace, Lines); });
    ASSERT_EQ(recording.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_GT(trace->lostLines(), 0u);

    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    trace.reset(); // gives the reader a moment, then counts what is left
    const std::string text = ReadAll(fds[0]);
    ::close(fds[0]);
    const auto complete = std::count(text.begin(), text.end(), '\n');
    const std::vector<std::string> messages = complaints.messages();
    ASSERT_EQ(messages.size(), 1u);
    const long lost = std::stol(messages[0]);
    EXPECT_EQ(complete + lost, Lines) << messages[0];
}

} // namespace
