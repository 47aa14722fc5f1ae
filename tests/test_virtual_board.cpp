// The virtual board behind the HID layer: what it answers, what it keeps, when it answers.
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "support/EventLoop.h"
#include "support/EventRecorder.h"

#include <gtest/gtest.h>

namespace {

using testsupport::DrainEvents;

class Board : public ::testing::Test {
protected:
    Board() {
        board = &board::VirtualBoard::attachTo(layer);
        layer.Connect(&window);
        handle = layer.GetHandle(0x1234, 1);
        layer.SetReadNotify(handle, true);
    }

    void send(std::uint8_t code, std::initializer_list<std::pair<int, std::uint8_t>> bytes = {}) {
        hid::Report report{};
        report[1] = code;
        for (const auto& [index, value] : bytes)
            report[static_cast<std::size_t>(index)] = value;
        ASSERT_TRUE(layer.WriteEx(0x1234, 1, report));
    }

    /// The answers that arrived, in order.
    std::vector<hid::Report> answers() {
        DrainEvents();
        std::vector<hid::Report> result;
        hid::Report report{};
        while (layer.Read(handle, report))
            result.push_back(report);
        return result;
    }

    hid::DeviceManager layer;
    board::VirtualBoard* board;
    testsupport::EventRecorder window;
    hid::Handle handle = 0;
};

TEST_F(Board, IsTheBoardTheConsoleServes) {
    EXPECT_GT(handle, 0);
    std::array<char, 255> name;
    layer.GetProductName(handle, name);
    EXPECT_STRNE(name.data(), "");
}

TEST_F(Board, AnswersTextAdAndInputsWithTheSameCode) {
    board->setAnswerText("ABCDEFGHIJKLMNOP");
    board->setAdValue(201);
    board->setInputBits(0x5A);
    send(2);
    send(4);
    send(13);
    const auto replies = answers();
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0][1], 2);
    EXPECT_EQ(std::string(replies[0].begin() + 2, replies[0].begin() + 18), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(replies[0][18], 0);
    EXPECT_EQ(replies[1][1], 4);
    EXPECT_EQ(replies[1][19], 201);
    EXPECT_EQ(replies[2][1], 13);
    EXPECT_EQ(replies[2][20], 0x5A);
    for (const auto& reply : replies)
        EXPECT_EQ(reply[0], 0);
}

TEST_F(Board, AnswersArriveThroughTheEventLoopNotInsideTheWrite) {
    send(4);
    hid::Report report{};
    EXPECT_FALSE(layer.Read(handle, report));
    EXPECT_EQ(answers().size(), 1u);
}

TEST_F(Board, KeepsPortDTextsAndLoopFlagAndOtherCodesGetNoAnswer) {
    send(14, {{21, 0xC3}, {23, 1}});
    EXPECT_EQ(board->portD(), 0xC3);
    EXPECT_EQ(board->loopFlag(), 1);
    hid::Report text{};
    text[1] = 1;
    std::copy_n("Seventeen chars!!", 17, text.begin() + 2);
    layer.WriteEx(0x1234, 1, text);
    EXPECT_EQ(board->lastText(), QByteArray("Seventeen chars!!"));
    hid::Report clock{};
    clock[1] = 6;
    std::copy_n("12/6/2026  10:30:00 AM", 22, clock.begin() + 2);
    layer.WriteEx(0x1234, 1, clock);
    EXPECT_EQ(board->lastClockText(), QByteArray("12/6/2026  10:30:00 AM"));
    send(7);
    send(200);
    EXPECT_TRUE(answers().empty());
    EXPECT_EQ(board->reportsReceived(), 5u);
}

TEST_F(Board, CodeFiftyResetsTheFirmwareButNotItsInputs) {
    board->setAdValue(17);
    send(14, {{21, 0xFF}, {23, 1}});
    send(50);
    EXPECT_EQ(board->portD(), 0);
    EXPECT_EQ(board->loopFlag(), 0);
    EXPECT_TRUE(board->lastText().isEmpty());
    EXPECT_EQ(board->adValue(), 17);
}

// An answer still on its way when the board is pulled must not arrive after a replug.
TEST_F(Board, UnplugDropsAnswersOnTheirWayAndReplugGivesANewHandle) {
    send(4);
    board->unplug();
    EXPECT_EQ(layer.GetHandle(0x1234, 1), 0);
    board->plug();
    const hid::Handle again = layer.GetHandle(0x1234, 1);
    EXPECT_GT(again, handle);
    layer.SetReadNotify(again, true);
    DrainEvents();
    hid::Report report{};
    EXPECT_FALSE(layer.Read(again, report));
    EXPECT_EQ(board->reportsSent(), 0u);
}

TEST_F(Board, FailingWritesAreReportedAsFailures) {
    board->setWritesFail(true);
    hid::Report report{};
    report[1] = 4;
    EXPECT_FALSE(layer.WriteEx(0x1234, 1, report));
    EXPECT_TRUE(answers().empty());
}

} // namespace
