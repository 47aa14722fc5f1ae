// The --trace file: its line format and that lines reach the file soon.
#include "hid/DeviceManager.h"
#include "hid/ReportTrace.h"
#include "hid/VirtualBoard.h"
#include "support/EventLoop.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        hid::ReportTrace::formatLine(when, hid::ReportTrace::Direction::Out, 0, report);
    std::string expected = "2026-12-07T10:30:00.000042Z out 0 00 32";
    for (int i = 2; i < 32; ++i)
        expected += " 00";
    expected += " ab";
    EXPECT_EQ(line, expected);
    EXPECT_EQ(hid::ReportTrace::formatLine(when, hid::ReportTrace::Direction::In, -3, report)
                  .substr(28, 5),
              "in -3");
}

// The date and time are kept from one line to the next: a line in the next second, or back in
// an earlier one, must not carry the stamp of the line before it.
TEST(ReportTrace, EachLineCarriesItsOwnSecondAndFraction) {
    const hid::Report report{};
    const std::int64_t second = 1796639400LL * 1'000'000; // 2026-12-07 10:30:00 UTC
    const auto stamp = [&](std::int64_t when) {
        return hid::ReportTrace::formatLine(when, hid::ReportTrace::Direction::In, 1, report)
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
    auto trace = hid::ReportTrace::open(path.toStdString(), error);
    ASSERT_TRUE(trace) << error;

    hid::DeviceManager layer(1);
    layer.setTrace(std::move(trace));
    hid::Report request{};
    request[1] = 4;
    layer.WriteEx(0x1234, 1, request); // no device yet: refused, traced with handle 0
    hid::VirtualBoard& board = hid::VirtualBoard::attachTo(layer);
    QObject window;
    layer.Connect(&window);
    hid::Report status{};
    status[1] = 5;
    // A report before read notification was on used to vanish without a count or a drop line.
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
    EXPECT_FALSE(hid::ReportTrace::open("/nonexistent-dir/trace.txt", error));
    EXPECT_FALSE(error.empty());
}

} // namespace
