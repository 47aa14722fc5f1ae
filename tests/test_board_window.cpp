// The window with the virtual board behind the real HID layer, end to end.
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "support/EventLoop.h"
#include "support/FormFixture.h"
#include "support/ShownPixels.h"
#include "window/Colours.h"
#include "window/LampShape.h"
#include "window/MainForm.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using testsupport::CentreColour;
using testsupport::Shows;
using testsupport::WaitUntil;

class BoardWindow : public ::testing::Test {
protected:
    BoardWindow() {
        board = &board::VirtualBoard::attachTo(layer);
        form = std::make_unique<window::MainForm>(layer);
        form->show();
        WaitUntil([&] { return form->windowTitle().startsWith("HID Device Online"); });
        // Painted once: a later change shows on the screen only if the window repaints it.
        EXPECT_TRUE(WaitUntil([&] { return !testsupport::ShownImage(*form).isNull(); }));
    }
    const window::Controls& ui() const { return form->controls(); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    static QStringList listLines(const QListWidget* list) { return testsupport::ShownLines(*list); }

    hid::DeviceManager layer;
    board::VirtualBoard* board;
    std::unique_ptr<window::MainForm> form;
};

TEST_F(BoardWindow, ComesUpOnlineWithTheBoardsDetails) {
    EXPECT_EQ(form->windowTitle(), "HID Device Online | HID Devices Found = 1");
    EXPECT_EQ(ui().Label6->text(), "ONLINE");
    EXPECT_EQ(ui().Label3->text(), "HID Handle # 1");
    EXPECT_EQ(ui().Frame1->title(), "VID #4660 /  PID #1");
    EXPECT_EQ(listLines(ui().ListBox),
              (QStringList{" MFG: ZOV Electronics", " Product: ZOV-USB Virtual Board"}));
    // The start-up report reached the board.
    EXPECT_EQ(board->reportsReceived(), 1u);
    EXPECT_EQ(board->lastReport()[1], 50);
}

TEST_F(BoardWindow, UnplugAndReplug) {
    board->unplug();
    ASSERT_TRUE(WaitUntil([&] { return form->windowTitle() == "HID Device Unplugged"; }));
    EXPECT_TRUE(Shows(*ui().LED1, CentreColour, window::colours::Red));
    EXPECT_EQ(ui().Label6->text(), "OFFLINE");
    EXPECT_EQ(ui().ListBox->count(), 0);
    board->plug();
    ASSERT_TRUE(WaitUntil([&] { return form->windowTitle().startsWith("HID Device Online"); }));
    EXPECT_EQ(ui().Label3->text(), "HID Handle # 2");
    EXPECT_TRUE(Shows(*ui().LED1, CentreColour, window::colours::Green));
    // Read events were re-armed for the new handle.
    board->setAdValue(33);
    click(ui().DisplayADC);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 33"; }));
}

// Reconnecting lists the board once, though the layer announces it again, and reads come
// again once a change event has re-armed them.
TEST_F(BoardWindow, DisconnectThenConnectListsTheBoardOnceAndReadsAgain) {
    click(ui().btnHID_Disconnect);
    ASSERT_EQ(form->windowTitle(), "Offline, Click HID Connect");
    click(ui().btnHID_Connect);
    ASSERT_TRUE(WaitUntil([&] { return form->windowTitle().startsWith("HID Device Online"); }));
    EXPECT_EQ(listLines(ui().ListBox),
              (QStringList{" MFG: ZOV Electronics", " Product: ZOV-USB Virtual Board"}));
    board->setAdValue(77);
    click(ui().DisplayADC);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 77"; }));
}

// A second board's plug event leaves the list with the first board's lines, once: the window
// serves the earliest board. When that one leaves, the window goes on with the second, not
// OFFLINE.
TEST_F(BoardWindow, SecondBoardListsOnceAndTakesOverWhenTheFirstLeaves) {
    board::VirtualBoard& second = board::VirtualBoard::attachTo(layer);
    ASSERT_TRUE(WaitUntil([&] { return form->windowTitle().endsWith("Found = 2"); }));
    EXPECT_EQ(form->windowTitle(), "HID Device Online | HID Devices Found = 2");
    EXPECT_EQ(listLines(ui().ListBox),
              (QStringList{" MFG: ZOV Electronics", " Product: ZOV-USB Virtual Board"}));
    // The window serves the earliest board, whose reads are still armed.
    board->setAdValue(12);
    click(ui().DisplayADC);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 12"; }));

    // The first one leaves: the window goes on with the second, as if it had just come.
    second.setAdValue(21);
    board->unplug();
    ASSERT_TRUE(WaitUntil([&] { return ui().Label3->text() == "HID Handle # 2"; }));
    EXPECT_EQ(form->windowTitle(), "HID Device Online | HID Devices Found = 1");
    EXPECT_EQ(ui().LED1->fillColour(), window::colours::Green);
    EXPECT_EQ(ui().Label6->text(), "ONLINE");
    EXPECT_EQ(listLines(ui().ListBox),
              (QStringList{" MFG: ZOV Electronics", " Product: ZOV-USB Virtual Board"}));
    for (QPushButton* button : {ui().btnWritePort, ui().btnWritePortClear, ui().btnHID_Disconnect,
                                ui().btnReadInput, ui().btnReadText})
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    click(ui().DisplayADC);
    EXPECT_TRUE(WaitUntil([&] { return ui().Label1->text() == "A to D (RA2) = 21"; }));

    // The last one leaves: offline.
    second.unplug();
    EXPECT_TRUE(WaitUntil([&] { return form->windowTitle() == "HID Device Unplugged"; }));
    EXPECT_EQ(ui().Label6->text(), "OFFLINE");
}

TEST_F(BoardWindow, AnswersShowInTheTextListTheBarAndTheLamps) {
    board->setAnswerText("Board says hi!!!");
    board->setAdValue(180);
    board->setInputBits(0b1000'0001);
    click(ui().btnReadText);
    click(ui().DisplayADC);
    click(ui().btnReadInput);
    ASSERT_TRUE(WaitUntil([&] { return ui().Label4->text() == "PIC Input Status (PORTC) = 129"; }));
    EXPECT_EQ(listLines(ui().ListBox2), QStringList{"Board says hi!!!"});
    EXPECT_EQ(ui().ProgressBar1->value(), 180);
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 180");
    EXPECT_EQ(ui().Text1->text(), "10000001");
    EXPECT_FALSE(ui().PORTA1ON[0]->isHidden());
    EXPECT_TRUE(ui().PORTA1ON[1]->isHidden());
    EXPECT_FALSE(ui().PORTA1ON[7]->isHidden());
}

TEST_F(BoardWindow, PortWritesAndTextsReachTheBoard) {
    ui().txtWritePort->setText("165");
    click(ui().btnWritePort);
    EXPECT_EQ(board->portD(), 165);
    click(ui().btnSendText);
    EXPECT_EQ(board->lastText(), QByteArray("Midi Char Test!!"));
}

TEST_F(BoardWindow, PollingFollowsTheBoardAndStopsCleanly) {
    std::vector<hid::Report> received;
    QObject::connect(board, &board::VirtualBoard::reportReceived,
                     [&](const hid::Report& report) { received.push_back(report); });
    click(ui().StartLoop);
    board->setAdValue(10);
    ASSERT_TRUE(WaitUntil([&] { return ui().ProgressBar1->value() == 10; }));
    board->setAdValue(250);
    board->setInputBits(0x0F);
    ASSERT_TRUE(WaitUntil(
        [&] { return ui().ProgressBar1->value() == 250 && ui().Text1->text() == "00001111"; }));
    EXPECT_EQ(board->loopFlag(), 1);
    click(ui().StopLoop);
    EXPECT_EQ(board->loopFlag(), 0);

    std::size_t adRequests = 0;
    std::size_t inputRequests = 0;
    for (std::size_t i = 0; i + 1 < received.size(); ++i) {
        adRequests += received[i][1] == 4;
        inputRequests += received[i][1] == 13;
        EXPECT_EQ(received[i][23], 1) << i;
    }
    EXPECT_GE(adRequests, 2u);
    EXPECT_EQ(adRequests, inputRequests);
    EXPECT_EQ(received.back()[1], 13);
    EXPECT_EQ(received.back()[23], 0);
    EXPECT_EQ(form->bufferOut(), hid::Report{});
}

TEST_F(BoardWindow, ClockStreamReachesTheBoardAndStopsWithReset) {
    click(ui().DateBut);
    ASSERT_TRUE(WaitUntil([&] { return !board->lastClockText().isEmpty(); }));
    EXPECT_EQ(board->lastReport()[1], 6);
    EXPECT_TRUE(
        ui().DateTime->text().startsWith(QString::fromLatin1(board->lastClockText()).left(8)));
    click(ui().TimeBut);
    EXPECT_EQ(board->lastReport()[1], 50);
    EXPECT_TRUE(board->lastClockText().isEmpty());
}

} // namespace
