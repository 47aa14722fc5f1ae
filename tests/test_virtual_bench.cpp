// Benches of virtual boards: what a wrong bench file is told, and boards that answer late,
// leave requests unanswered, come and go on a schedule and give hostile names.
#include "board/VirtualBench.h"
#include "board/VirtualBoard.h"
#include "board/VirtualBoardOption.h"
#include "hid/DeviceManager.h"
#include "support/EventLoop.h"
#include "support/RefusedText.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using WrongBench = testsupport::RefusedText;

const WrongBench WrongBenches[] = {
    {"unknown key at the top", "boards = 1\n", 1, 1,
     "unknown key 'boards' at the top of the bench; allowed: board"},
    {"unknown key, with the allowed ones", "[[board]]\nserail = 'x'\n", 2, 1,
     "board 1: unknown key 'serail'; allowed: serial, manufacturer, product, port, ad, inputs, "
     "text, "
     "answer_delay_ms, answer_jitter_ms, miss_every, plug_at_ms, unplug_at_ms"},
    {"wrong type", "[[board]]\n[[board]]\nad = '128'\n", 3, 6,
     "board 2: 'ad' must be an integer from 0 to 255"},
    {"byte out of range", "[[board]]\ninputs = 256\n", 2, 10, "'inputs' must be an integer"},
    {"negative miss count", "[[board]]\nmiss_every = -1\n", 2, 14,
     "'miss_every' must be an integer from 0 to 1000000"},
    {"delay past an hour", "[[board]]\nanswer_delay_ms = 3600001\n", 2, 19,
     "'answer_delay_ms' must be a whole number of milliseconds from 0 to 3600000"},
    {"jitter above the delay", "[[board]]\nanswer_delay_ms = 5\nanswer_jitter_ms = 6\n", 3, 20,
     "'answer_jitter_ms' must be at most 'answer_delay_ms' (5)"},
    {"unplugged before plugged", "[[board]]\nplug_at_ms = 100\nunplug_at_ms = 100\n", 3, 16,
     "'unplug_at_ms' must be after 'plug_at_ms' (100)"},
    {"answer text too long", "[[board]]\ntext = 'Hello from ZOV!!!'\n", 2, 8,
     "'text' must be a string of at most 16 characters that Windows-1252 has"},
    {"name too long", "[[board]]\nproduct = '" + std::string(127, 'x') + "'\n", 2, 11,
     "at most 126 characters"},
    {"a character Windows-1252 lacks", "[[board]]\nproduct = \"ab\u2603\"\n", 2, 14,
     "board 1: 'product' has U+2603; it must be a string of at most 126 characters"},
    {"... written as an escape, after others", "[[board]]\nproduct = \"a\\t\\u00e9\\u2603\"\n", 2,
     21, "U+2603"},
    {"U+0000", "[[board]]\nserial = \"a\\u0000\"\n", 2, 12, "'serial' has U+0000"},
    {"a port with a space", "[[board]]\nport = 'bay 1'\n", 2, 8,
     "'port' must be a name of 1 to 64 ASCII letters, digits, '-', '_', '.' and ':'"},
    {"an empty port", "[[board]]\nport = ''\n", 2, 8, "'port' must be a name of 1 to 64"},
    {"two boards on one port", "[[board]]\nport = 'a'\n[[board]]\nport = 'a'\n", 4, 8,
     "board 2: its port 'a' is board 1's already; each board needs a port of its own"},
    {"a port that is another board's default", "[[board]]\n[[board]]\nport = 'virtual-1'\n", 3, 8,
     "board 2: its port 'virtual-1' is board 1's already"},
    {"an empty bench", "", 1, 1, "the bench needs at least one [[board]] table"},
    {"boards that are no tables", "board = [1]\n", 1, 9, "at least one [[board]] table"},
    {"too many boards", QByteArray("[[board]]\n").repeated(65).toStdString(), 65, 1,
     "a bench holds at most 64 boards"},
    // The text before it is TOML: its messages call it a bench.
    {"not UTF-8", "[[board]]\nproduct = 'caf\xE9'\n", 2, 15, "save the bench as UTF-8"},
};

TEST(BenchFile, AWrongBenchIsToldWithFileLineColumnAndWhatIsAllowed) {
    for (const WrongBench& wrong : WrongBenches) {
        SCOPED_TRACE(wrong.what);
        tomlfile::TomlError error;
        EXPECT_FALSE(board::ParseBench(wrong.text, "bench.toml", error));
        testsupport::ExpectTold(error, "bench.toml", wrong);
    }
}

TEST(BenchFile, ReadsEachKeyIntoItsBoardAndLeavesTheRestAsTheBuiltInBoard) {
    tomlfile::TomlError error;
    const auto bench = board::ParseBench(R"(
        # Dots in comments and strings nest nothing ..................................
        [[board]]
        serial = "ZB-0042"
        port = "1-1.2:x_y"
        manufacturer = "ZOV Electronics"
        product = """
.....................................\
        """
        ad = 17
        inputs = 0x5A
        text = "\u2122 & <i>"
        answer_delay_ms = 110
        answer_jitter_ms = 10
        miss_every = 3
        plug_at_ms = 1000
        unplug_at_ms = 5000
        [[board]]
    )",
                                         "bench.toml", error);
    ASSERT_TRUE(bench) << error.text();
    ASSERT_EQ(bench->size(), 2u);
    const board::VirtualBoardSetup& set = (*bench)[0];
    EXPECT_EQ(set.serialNumber, "ZB-0042");
    EXPECT_EQ(set.port, "1-1.2:x_y");
    EXPECT_EQ(set.manufacturer, "ZOV Electronics");
    EXPECT_EQ(set.product, std::string(37, '.'));
    EXPECT_EQ(set.adValue, 17);
    EXPECT_EQ(set.inputBits, 0x5A);
    EXPECT_EQ(set.answerText, "\x99 & <i>");
    EXPECT_EQ(set.answerDelay, 110ms);
    EXPECT_EQ(set.answerJitter, 10ms);
    EXPECT_EQ(set.missEvery, 3);
    EXPECT_EQ(set.plugAt, 1000ms);
    EXPECT_EQ(set.unplugAt, 5000ms);

    const board::VirtualBoardSetup& plain = (*bench)[1];
    const board::VirtualBoardSetup builtIn;
    EXPECT_EQ(plain.serialNumber, "BENCH-2");
    EXPECT_EQ(plain.path, "virtual bench board 2");
    EXPECT_EQ(plain.port, "virtual-2");
    EXPECT_EQ(plain.product, builtIn.product);
    EXPECT_EQ(plain.adValue, builtIn.adValue);
    EXPECT_EQ(plain.answerText, builtIn.answerText);
    EXPECT_EQ(plain.answerDelay, 0ms);
    EXPECT_EQ(plain.plugAt, 0ms);
    EXPECT_FALSE(plain.unplugAt);
}

/// A layer with virtual boards, and every report it handled with its time on the steady clock.
class Bench : public ::testing::Test, private hid::ReportObserver {
protected:
    Bench() { layer.addObserver(*this); }
    ~Bench() override { layer.removeObserver(*this); }

    board::VirtualBoard& attach(const board::VirtualBoardSetup& setup) {
        auto board = std::make_unique<board::VirtualBoard>(setup);
        board::VirtualBoard& attached = *board;
        layer.addSource(std::move(board));
        return attached;
    }
    hid::Handle handle() { return layer.GetHandle(board::VirtualBoard::VendorId, 1); }
    void send(std::uint8_t code) {
        hid::Report request{};
        request[1] = code;
        ASSERT_TRUE(layer.WriteEx(board::VirtualBoard::VendorId, 1, request));
    }
    std::size_t answers() const {
        return std::size_t(std::count_if(reports.begin(), reports.end(), [](const auto& report) {
            return report.direction == hid::ReportDirection::In;
        }));
    }

    struct Handled {
        hid::ReportDirection direction;
        hid::Report report;
        Clock::time_point at;
    };
    std::vector<Handled> reports;
    hid::DeviceManager layer;

private:
    void record(hid::ReportDirection direction, hid::Handle, const hid::Report& report) override {
        reports.push_back({direction, report, Clock::now()});
    }
};

// The jitter could send a later request's answer first, were the answers not kept in order.
TEST_F(Bench, ALateBoardAnswersEveryRequestAfterItsDelayAndInOrder) {
    board::VirtualBoardSetup setup;
    setup.answerDelay = 150ms;
    setup.answerJitter = 100ms;
    attach(setup);
    const std::uint8_t codes[] = {2, 4, 13, 4, 2, 13, 13, 4, 2, 4, 13, 2};
    for (const std::uint8_t code : codes)
        send(code);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return answers() == std::size(codes); }, 10s));
    std::vector<Handled> requests, replies;
    for (const Handled& handled : reports) {
        if (handled.direction == hid::ReportDirection::Out) requests.push_back(handled);
        if (handled.direction == hid::ReportDirection::In) replies.push_back(handled);
    }
    ASSERT_EQ(requests.size(), std::size(codes));
    for (std::size_t k = 0; k < std::size(codes); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(replies[k].report[1], codes[k]);
        EXPECT_GE(replies[k].at - requests[k].at, setup.answerDelay - setup.answerJitter);
    }
}

TEST_F(Bench, AnswersOnTheirWayWhenTheBoardIsPulledOutNeverArrive) {
    board::VirtualBoardSetup setup;
    setup.answerDelay = 30ms;
    board::VirtualBoard& board = attach(setup);
    send(4);
    send(13);
    board.unplug();
    board.plug();
    send(2); // due after the two dropped ones were
    ASSERT_TRUE(testsupport::WaitUntil([&] { return answers() == 1; }, 10s));
    testsupport::DrainEvents();
    EXPECT_EQ(answers(), 1u);
    EXPECT_EQ(board.reportsSent(), 1u);
    EXPECT_EQ(reports.back().report[1], 2);
}

// Only the requests that want an answer count: codes 2, 4 and 13, not 14.
TEST_F(Bench, MissEveryLeavesExactlyEveryNthRequestUnanswered) {
    const struct {
        int missEvery;
        std::vector<int> answered; ///< the numbers of the requests answered
    } cases[] = {
        {0, {1, 2, 3, 4, 5, 6}},
        {1, {}},
        {2, {1, 3, 5}},
        {3, {1, 2, 4, 5}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.missEvery);
        hid::DeviceManager boards;
        board::VirtualBoardSetup setup;
        setup.missEvery = each.missEvery;
        auto owned = std::make_unique<board::VirtualBoard>(setup);
        board::VirtualBoard& board = *owned;
        boards.addSource(std::move(owned));
        const hid::Handle handle = boards.GetHandle(board::VirtualBoard::VendorId, 1);
        boards.SetReadNotify(handle, true);
        // Request n asks for the A/D value or the inputs by turns, both set to n.
        for (std::uint8_t n = 1; n <= 6; ++n) {
            board.setAdValue(n);
            board.setInputBits(n);
            for (const std::uint8_t code : {n % 2 ? 4 : 13, 14}) {
                hid::Report request{};
                request[1] = code;
                boards.WriteEx(board::VirtualBoard::VendorId, 1, request);
            }
        }
        testsupport::DrainEvents();
        std::vector<int> answered;
        for (hid::Report reply{}; boards.Read(handle, reply);)
            answered.push_back(reply[reply[1] == 4 ? 19 : 20]);
        EXPECT_EQ(answered, each.answered);
    }
}

TEST_F(Bench, ABoardPlugsItselfInAndOutOnItsSchedule) {
    const struct {
        std::chrono::milliseconds plugAt;
        std::chrono::milliseconds unplugAt;
    } cases[] = {{0ms, 300ms}, {200ms, 500ms}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.plugAt.count());
        board::VirtualBoardSetup setup;
        setup.plugAt = each.plugAt;
        setup.unplugAt = each.unplugAt;
        const auto attached = Clock::now();
        board::VirtualBoard& board = attach(setup);
        // No timer has run yet: whatever the machine's load, a later plug has not come.
        EXPECT_EQ(handle() != 0, each.plugAt == 0ms);
        EXPECT_EQ(board.isPlugged(), each.plugAt == 0ms);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return handle() != 0; }, 10s));
        EXPECT_GE(Clock::now() - attached, each.plugAt);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return handle() == 0; }, 10s));
        EXPECT_GE(Clock::now() - attached, each.unplugAt);
    }
}

// Control codes, C1 codes and the code page's own letters reach the layer byte for byte.
TEST_F(Bench, ABenchFilesBoardsAreDevicesThatGiveTheirNamesAsWindows1252Bytes) {
    QTemporaryDir dir;
    QFile file(dir.filePath("bench.toml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[[board]]\n"
               "[[board]]\n"
               "serial = \"ZB-\\u20AC\\u0081\"\n"
               "manufacturer = \"Caf\u00e9\\u0007\"\n"
               "product = \"\\u001B[31m<b>Evil</b>\\u001B[0m\"\n");
    file.close();
    const auto option = board::VirtualBoardOption::read(true, file.fileName().toStdString());
    ASSERT_TRUE(option);
    board::VirtualBoard* builtIn = option->attachTo(layer);
    ASSERT_NE(builtIn, nullptr);
    // The built-in board first, then the bench's in the file's order.
    EXPECT_EQ(layer.GetItemCount(), 3);
    EXPECT_EQ(layer.deviceInfo(handle())->serialNumber, "VB-0001");
    EXPECT_EQ(layer.deviceInfo(2)->serialNumber, "BENCH-1");
    const hid::DeviceInfo* hostile = layer.deviceInfo(3);
    ASSERT_NE(hostile, nullptr);
    EXPECT_EQ(hostile->serialNumber, "ZB-\x80\x81");
    EXPECT_EQ(hostile->manufacturer, "Caf\xE9\x07");
    EXPECT_EQ(hostile->product, "\x1B[31m<b>Evil</b>\x1B[0m");
}

} // namespace
