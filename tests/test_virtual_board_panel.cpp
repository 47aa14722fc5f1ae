#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "panel/VirtualBoardPanel.h"
#include "protocol/ReportLayout.h"
#include "support/EventLoop.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using hid::Report;
using testsupport::WaitUntil;

namespace {

class VirtualBoardPanelTest : public ::testing::Test {
protected:
    VirtualBoardPanelTest() {
        board = &board::VirtualBoard::attachTo(layer);
        panel = std::make_unique<panel::VirtualBoardPanel>(*board);
    }

    template <typename Widget> Widget* child(const QString& name) {
        auto* widget = panel->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QCheckBox* inputBit(int bit) { return child<QCheckBox>(QStringLiteral("inputBit%1").arg(bit)); }
    bool lampLit(int bit) {
        return child<QLabel>(QStringLiteral("portDLamp%1").arg(bit))->property("lit").toBool();
    }

    /// Sends a request the way the console does and answers the board's reply.
    Report ask(std::uint8_t code) {
        const hid::Handle handle =
            layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
        EXPECT_TRUE(layer.SetReadNotify(handle, true));
        Report request{};
        request[protocol::CommandIndex] = code;
        EXPECT_TRUE(layer.WriteEx(protocol::DeviceVendorID, protocol::DeviceProductID, request));
        Report answer{};
        EXPECT_TRUE(WaitUntil([&] { return layer.Read(handle, answer); }));
        EXPECT_EQ(answer[protocol::CommandIndex], code);
        return answer;
    }
    void send(Report report) {
        EXPECT_TRUE(layer.WriteEx(protocol::DeviceVendorID, protocol::DeviceProductID, report));
    }
    /// Waits for the panel's next redraw.
    void waitForRefresh() {
        const int before = panel->refreshCount();
        ASSERT_TRUE(WaitUntil([&] { return panel->refreshCount() > before; }));
    }

    hid::DeviceManager layer;
    board::VirtualBoard* board = nullptr;
    std::unique_ptr<panel::VirtualBoardPanel> panel;
};

TEST_F(VirtualBoardPanelTest, InputBitSwitchesChangeWhatCode13Answers) {
    for (int bit = 0; bit < 8; ++bit) {
        if (inputBit(bit)->isChecked()) inputBit(bit)->click();
    }
    inputBit(0)->click();
    inputBit(6)->click();
    EXPECT_EQ(board->inputBits(), 0b0100'0001);
    EXPECT_EQ(ask(protocol::Code::ReadInput)[protocol::InputBitsIndex], 0b0100'0001);

    inputBit(6)->click();
    inputBit(7)->click();
    EXPECT_EQ(ask(protocol::Code::ReadInput)[protocol::InputBitsIndex], 0b1000'0001);
}

TEST_F(VirtualBoardPanelTest, SliderAndAnswerTextChangeWhatTheBoardAnswers) {
    child<QSlider>("adInput")->setValue(201);
    EXPECT_EQ(ask(protocol::Code::ReadAdc)[protocol::AdValueIndex], 201);
    EXPECT_EQ(child<QLabel>("adValue")->text(), "201");

    QLineEdit* answer = child<QLineEdit>("answerText");
    answer->clear();
    // Typed as the operator would, one key at a time; longer than the board keeps.
    for (const QChar character : QStringLiteral("Grüße €5 aus ZOV, 12345"))
        QTest::sendKeyEvent(QTest::Click, answer, Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
    const Report reply = ask(protocol::Code::ReadText);
    const QByteArray text(reinterpret_cast<const char*>(reply.data() + protocol::TextIndex),
                          protocol::AnswerTextLength);
    EXPECT_EQ(text, QByteArray("Gr\xfc\xdf"
                               "e \x80"
                               "5 aus ZOV"));
}

TEST_F(VirtualBoardPanelTest, PlugSwitchPlugsAndUnplugsTheBoard) {
    QCheckBox* plugged = child<QCheckBox>("plugged");
    EXPECT_TRUE(plugged->isChecked());
    const hid::Handle first = layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
    ASSERT_NE(first, 0);

    plugged->click();
    EXPECT_FALSE(board->isPlugged());
    EXPECT_EQ(layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID), 0);

    plugged->click();
    EXPECT_TRUE(board->isPlugged());
    EXPECT_GT(layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID), first);

    // And the other way round: the switch follows the board.
    board->unplug();
    waitForRefresh();
    EXPECT_FALSE(plugged->isChecked());
}

TEST_F(VirtualBoardPanelTest, ShowsWhatTheConsoleToldTheBoard) {
    Report portD{};
    portD[protocol::CommandIndex] = protocol::Code::WritePort;
    portD[protocol::PortWriteIndex] = 0b1000'0101;
    portD[protocol::LoopFlagIndex] = protocol::LoopRunning;
    send(portD);
    Report text{};
    text[protocol::CommandIndex] = protocol::Code::SendText;
    const QByteArray hello("<b>Hi</b> board"); // shown as it is, never as markup
    std::copy(hello.begin(), hello.end(), text.begin() + protocol::TextIndex);
    text[protocol::LoopFlagIndex] = protocol::LoopRunning;
    send(text);
    Report clock{};
    clock[protocol::CommandIndex] = protocol::Code::DateTime;
    const QByteArray now("07.12.2026  03:55:00");
    std::copy(now.begin(), now.end(), clock.begin() + protocol::TextIndex);
    clock[protocol::LoopFlagIndex] = protocol::LoopRunning;
    send(clock);
    waitForRefresh();

    for (int bit = 0; bit < 8; ++bit)
        EXPECT_EQ(lampLit(bit), bit == 0 || bit == 2 || bit == 7) << "lamp " << bit;
    EXPECT_EQ(child<QLabel>("lastText")->text(), "<b>Hi</b> board");
    EXPECT_EQ(child<QLabel>("lastClockText")->text(), "07.12.2026  03:55:00");
    for (const char* name : {"lastText", "lastClockText"})
        EXPECT_EQ(child<QLabel>(name)->textFormat(), Qt::PlainText) << name;
    EXPECT_EQ(child<QLabel>("loopFlag")->text(), "1");
    EXPECT_EQ(child<QLabel>("reportsIn")->text(), "3");
    EXPECT_EQ(child<QLabel>("reportsOut")->text(), "0");

    ask(protocol::Code::ReadAdc);
    waitForRefresh();
    EXPECT_EQ(child<QLabel>("reportsIn")->text(), "4");
    EXPECT_EQ(child<QLabel>("reportsOut")->text(), "1");
}

TEST_F(VirtualBoardPanelTest, BurstOfChangesRedrawsRarelyAndEndsOnTheLastState) {
    const int before = panel->refreshCount();
    for (int value = 0; value < 200; ++value)
        board->setAdValue(static_cast<std::uint8_t>(value));
    board->setInputBits(0x3C);
    waitForRefresh();
    EXPECT_LE(panel->refreshCount() - before, 2);
    EXPECT_EQ(child<QSlider>("adInput")->value(), 199);
    EXPECT_EQ(board->adValue(), 199) << "showing the state must not write it back";
    for (int bit = 0; bit < 8; ++bit)
        EXPECT_EQ(inputBit(bit)->isChecked(), ((0x3C >> bit) & 1) != 0) << "bit " << bit;
    EXPECT_EQ(board->inputBits(), 0x3C);
}

TEST_F(VirtualBoardPanelTest, ClosingTheMainWindowEndsTheProgramWhileThePanelIsOpen) {
    QWidget mainWindow;
    mainWindow.show();
    panel->show();
    EXPECT_EQ(panel->windowTitle(), "Virtual board");
    // The program's own loop: it ends when the main window closes, or the guard ends it.
    QTimer::singleShot(0, &mainWindow, &QWidget::close);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(3000);
    EXPECT_EQ(QApplication::exec(), 0) << "the panel kept the program running";
}

} // namespace
