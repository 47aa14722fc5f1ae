// The console's window against a real kernel: the uhid board stand-in behind hidraw, the
// hidraw source with its system backend, clicks as the operator makes them. Runs only in the
// guest of scripts/kernel-stage.sh, which starts the stand-in and names it in the environment.
#include "KernelFixture.h"
#include "TraceLines.h"
#include "protocol/ReportLayout.h"

#include <QListWidget>
#include <unistd.h>

namespace {

using hid::ReportDirection;
using testsupport::WaitUntil;

using RealKernel = KernelFixture;

/// Puts the message the operator saw into the log.
void ShowMessage(const QMessageBox& message) {
    std::printf("message: %s\n", qPrintable(message.text()));
    std::fflush(stdout);
}

/// The command byte of each report, in order: a short picture of a report sequence.
std::string Commands(const std::vector<std::vector<std::uint8_t>>& reports) {
    std::string text;
    for (const auto& report : reports)
        text += std::to_string(report.empty() ? -1 : report[0]) + " ";
    return text;
}

std::vector<std::uint8_t> WithoutReportId(const hid::Report& report) {
    return {report.begin() + 1, report.end()};
}

TEST_F(RealKernel, StartUpReportReachesTheBoardAsWritten) {
    ASSERT_FALSE(board.plug().empty());
    const std::size_t from = board.mark();
    startConsole();
    const double toOnline = msUntil([&] { return online(); });
    ASSERT_GE(toOnline, 0) << "the window never showed the board ONLINE";
    Figure("window built to ONLINE", toOnline);

    const auto output = board.waitForWord("output", from);
    ASSERT_TRUE(output) << "no report reached the board";
    // The board can log the report before the news that it was written reaches the layer.
    ASSERT_TRUE(WaitUntil([&] { return console->reports.count(ReportDirection::Out) >= 1; }))
        << "the layer never heard that the report was written";
    const hid::Report& sent = console->reports.entries.front().report;
    EXPECT_EQ(console->reports.entries.front().direction, ReportDirection::Out);
    EXPECT_EQ(sent[1], 50);
    EXPECT_EQ(OutputBytes(board.lines()[*output].rest), WithoutReportId(sent));
}

TEST_F(RealKernel, AnswersComeBackIntoTheWindow) {
    ASSERT_FALSE(board.plug().empty());
    ASSERT_TRUE(board.apply("ad 200"));
    ASSERT_TRUE(board.apply("bits 165"));
    ASSERT_TRUE(board.apply("text Kernel says hi!"));
    startConsole();
    ASSERT_TRUE(WaitUntil([&] { return online(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(ui().Label3->text().startsWith("HID Handle # "));

    click(ui().DisplayADC);
    EXPECT_TRUE(showsAdAnswer(200));
    click(ui().btnReadInput);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label4->text() == "PIC Input Status (PORTC) = 165"; }));
    click(ui().btnReadText);
    ASSERT_TRUE(WaitUntil([&] { return ui().ListBox2->count() == 1; }));
    // The board's text is 16 characters: "Kernel says hi!" and one zero byte.
    EXPECT_EQ(ui().ListBox2->item(0)->text().left(15), "Kernel says hi!");
}

TEST_F(RealKernel, UnplugShowsOfflineAndReplugComesBackOnANewHandle) {
    ASSERT_FALSE(board.plug().empty());
    startConsole();
    ASSERT_TRUE(WaitUntil([&] { return online(); }, std::chrono::seconds(10)));
    const QString firstHandle = ui().Label3->text();

    const std::size_t beforeUnplug = board.mark();
    board.send("unplug");
    const auto unplugged = board.waitForWord("unplugged", beforeUnplug);
    ASSERT_TRUE(unplugged);
    ASSERT_TRUE(WaitUntil([&] { return offline(); }, std::chrono::seconds(5)));
    const double toOffline = MonotonicMs() - board.lines()[*unplugged].monotonicMs;
    Figure("unplug to OFFLINE", toOffline);
    EXPECT_LE(toOffline, 1000);

    const std::size_t beforePlug = board.mark();
    board.send("plug");
    const auto node = board.waitForWord("node", beforePlug);
    ASSERT_TRUE(node);
    ASSERT_TRUE(WaitUntil([&] { return online(); }, std::chrono::seconds(5)));
    Figure("replug (node made) to ONLINE", MonotonicMs() - board.lines()[*node].monotonicMs);
    EXPECT_NE(ui().Label3->text(), firstHandle);

    ASSERT_TRUE(board.apply("ad 77"));
    click(ui().DisplayADC);
    EXPECT_TRUE(showsAdAnswer(77));
}

// The board comes back on the node it had, before any rescan could see the node gone.
TEST_F(RealKernel, FastUnplugAndReplugOnTheSameNode) {
    const std::string node = board.plug();
    ASSERT_FALSE(node.empty());
    startConsole();
    ASSERT_TRUE(WaitUntil([&] { return online(); }, std::chrono::seconds(10)));
    const QString firstHandle = ui().Label3->text();

    const std::size_t from = board.mark();
    board.send("unplug");
    // The kernel frees the node's number only when the console closed it.
    ASSERT_TRUE(WaitUntil([&] { return offline(); }, std::chrono::seconds(5)));
    board.send("plug");
    const auto newNode = board.waitForWord("node", from);
    ASSERT_TRUE(newNode);
    ASSERT_EQ(board.lines()[*newNode].rest, node);
    const double toOnline = msUntil([&] { return online() && ui().Label3->text() != firstHandle; });
    ASSERT_GE(toOnline, 0) << "the window did not take the board back";
    Figure("fast replug on the same node to ONLINE", toOnline);

    ASSERT_TRUE(board.apply("ad 99"));
    click(ui().DisplayADC);
    EXPECT_TRUE(showsAdAnswer(99));
}

// Every report the trace calls `out` reached the board, in order: a write that failed while
// the board left must not be traced as sent.
TEST_F(RealKernel, UnplugWhileTheLoopPollsTracesOutOnlyForReportsTheBoardGot) {
    ASSERT_FALSE(board.plug().empty());
    const std::size_t from = board.mark();
    startConsole();
    ASSERT_TRUE(WaitUntil([&] { return online(); }, std::chrono::seconds(10)));
    click(ui().StartLoop);
    ASSERT_TRUE(WaitUntil([&] { return board.outputsSince(from).size() >= 40; }));
    // Gone right after taking an A/D request, so the tick's input-bits request meets no board.
    board.send("unplug-after-output");
    ASSERT_TRUE(board.waitForWord("unplugged", from));
    ASSERT_TRUE(WaitUntil([&] { return offline(); }, std::chrono::seconds(5)));
    click(ui().StopLoop);
    ASSERT_TRUE(board.sync());
    console.reset(); // writes the rest of the trace

    const auto received = board.outputsSince(from);
    std::vector<std::vector<std::uint8_t>> tracedOut;
    std::size_t failed = 0;
    std::size_t refused = 0;
    TraceFile trace(tracePath);
    for (const TraceLine& line : trace.lines()) {
        if (line.direction == "out") tracedOut.push_back(WithoutReportId(line.report));
        failed += line.direction == "fail";
        refused += line.direction == "refuse";
    }
    Figure("polls that reached the board", static_cast<double>(received.size()), "reports");
    Figure("polls traced as fail while unplugging", static_cast<double>(failed), "reports");
    Figure("polls traced as refuse after the unplug", static_cast<double>(refused), "reports");
    EXPECT_EQ(Commands(tracedOut), Commands(received)) << "traced as out | reached the board";
    EXPECT_TRUE(tracedOut == received) << "the same commands, but other bytes";
}

// None is lost in the kernel's queue, where no reader could see the loss: every report of
// the burst reaches the layer, in order. What the window's thread cannot keep up with (under
// emulation it runs many times slower than on a real machine) is dropped with account.
TEST_F(RealKernel, ThousandReportsASecondForTwoSecondsAllReachTheLayer) {
    constexpr std::uint32_t Count = 2000;
    ASSERT_FALSE(board.plug().empty());
    startConsole();
    ASSERT_TRUE(WaitUntil([&] { return online(); }, std::chrono::seconds(10)));

    const std::size_t from = board.mark();
    board.send("burst 2000 1000");
    const auto done = board.waitForWord("burst-done", from, std::chrono::seconds(20));
    ASSERT_TRUE(done);
    Figure("burst of 2000 sent by the board in", BurstMs(board.lines()[*done]));
    const hid::Handle handle =
        console->layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
    WaitUntil(
        [&] {
            return console->reports.count(ReportDirection::In) >= Count &&
                   console->layer.queuedReports(handle) == 0;
        },
        std::chrono::seconds(10));

    std::vector<std::uint32_t> numbers;
    for (const auto& entry : console->reports.entries)
        if (entry.direction == ReportDirection::In) numbers.push_back(BurstNumber(entry.report));
    const auto dropped = console->reports.count(ReportDirection::Dropped);
    Figure("burst reports that reached the layer", static_cast<double>(numbers.size()), "reports");
    Figure("burst reports the window's thread could not keep up with (dropped, traced)",
           static_cast<double>(dropped), "reports");
    ASSERT_EQ(numbers.size(), Count) << "reports were lost before they reached the layer";
    for (std::uint32_t k = 0; k < Count; ++k)
        ASSERT_EQ(numbers[k], k) << "report " << k << " missing or out of order";
    EXPECT_EQ(console->layer.queuedReports(handle), 0u);
    // The oldest are dropped first: the last report always reaches the window.
    EXPECT_EQ(ui().Label1->text(), QString("A to D (RA2) = %1").arg((Count - 1) % 256));
}

TEST_F(RealKernel, NumberedReportsGetTheFormatDiagnostic) {
    const std::string node = board.plug("report-id");
    ASSERT_FALSE(node.empty());
    const std::size_t from = board.mark();
    startConsole();
    const double toMessage = msUntil([&] { return problemMessageFor(node) != nullptr; });
    ASSERT_GE(toMessage, 0) << "no visible message names " << node;
    Figure("window built to the report format message", toMessage);
    ShowMessage(*problemMessageFor(node));
    EXPECT_TRUE(offline());
    ASSERT_TRUE(board.sync());
    EXPECT_TRUE(board.outputsSince(from).empty()) << "the console wrote to a board it cannot frame";
}

using Unprivileged = KernelFixture;

TEST_F(Unprivileged, RootOnlyNodeShowsTheDiagnosticUntilItsModeIsFixed) {
    ASSERT_NE(::geteuid(), 0u) << "run this scenario as a user other than root";
    const std::string node = board.plug(); // devtmpfs makes hidraw nodes 0600 root
    ASSERT_FALSE(node.empty());
    startConsole();
    const double toMessage = msUntil([&] { return problemMessageFor(node) != nullptr; });
    ASSERT_GE(toMessage, 0) << "no visible message names " << node;
    Figure("window built to the permission message", toMessage);
    ShowMessage(*problemMessageFor(node));
    EXPECT_TRUE(offline());

    const std::size_t from = board.mark();
    board.send("mode 0666");
    const auto changed = board.waitForWord("mode", from);
    ASSERT_TRUE(changed);
    ASSERT_TRUE(WaitUntil([&] { return online(); }, std::chrono::seconds(10)))
        << "the board did not come online once its node could be opened";
    Figure("chmod 0666 to ONLINE", MonotonicMs() - board.lines()[*changed].monotonicMs);

    ASSERT_TRUE(board.apply("ad 42"));
    click(ui().DisplayADC);
    EXPECT_TRUE(showsAdAnswer(42));
}

} // namespace
