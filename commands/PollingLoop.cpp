// The one timer: it polls the board or streams the clock, as the caption of DateBut says.
#include "protocol/DateAndTimeText.h"
#include "protocol/ReportText.h"
#include "protocol/Send.h"
#include "window/Colours.h"
#include "window/LampShape.h"
#include "window/MainForm.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <chrono>

namespace window {

namespace {

using namespace std::chrono_literals;
constexpr auto TickInterval = 20ms;

// The caption of DateBut is the mode of the ticks.
const QString PollingMode = QStringLiteral("Clock Off");
const QString ClockMode = QStringLiteral("Clock On");
const QString IdleMode = QStringLiteral("Clock");

} // namespace

void MainForm::Timer2_Timer() {
    ui.LED2->setFillColour(colours::Green);
    // One reading of the clock per tick, for the label and the report alike: a fresh
    // reading per character could mix two seconds into a time that never existed.
    const QString now = fncDateAndTime();
    ui.DateTime->setText(now);
    const QString mode = ui.DateBut->text();
    if (mode == PollingMode) {
        DisplayADC_Click();
        btnReadInput_Click();
    } else if (mode == ClockMode) {
        SendDateTime(now);
    }
}

void MainForm::SendDateTime(const QString& dateAndTime) {
    protocol::PutDateTime(BufferOut, dateAndTime);
    protocol::Send(hid_, BufferOut);
    ui.LED2->setFillColour(colours::Red);
    ShowBufferOut();
}

void MainForm::StartLoop_Click() {
    ui.Timer2->start(TickInterval);
    colours::SetBackColour(ui.StartLoop, colours::Green);
    colours::SetBackColour(ui.StopLoop, colours::ButtonFace);
    BufferOut[protocol::LoopFlagIndex] = protocol::LoopRunning;
    SetCommandButtonsEnabled(false);
}

void MainForm::StopLoop_Click() {
    ui.Timer2->stop();
    colours::SetBackColour(ui.StartLoop, colours::ButtonFace);
    colours::SetBackColour(ui.StopLoop, colours::Red);
    SetCommandButtonsEnabled(true);
    // The last command code goes out again, now with the loop flag down.
    BufferOut[protocol::LoopFlagIndex] = protocol::LoopStopped;
    SendBufferOut();
    ClearBuffers_Click();
}

void MainForm::DateBut_Click() {
    ui.Timer2->start(TickInterval);
    colours::SetBackColour(ui.DateBut, colours::Green);
    ui.DateBut->setText(ClockMode);
    colours::SetBackColour(ui.TimeBut, colours::ButtonFace);
}

void MainForm::TimeBut_Click() {
    ui.Timer2->stop();
    colours::SetBackColour(ui.DateBut, colours::ButtonFace);
    ui.DateBut->setText(IdleMode);
    ui.TimeBut->setText("Clock Off");
    colours::SetBackColour(ui.TimeBut, colours::Red);
    BufferOut[protocol::LoopFlagIndex] = protocol::LoopStopped;
    BufferOut[protocol::CommandIndex] = protocol::Code::Reset;
    protocol::Send(hid_, BufferOut);
    ClearBuffers_Click();
}

void MainForm::SetCommandButtonsEnabled(bool enabled) {
    for (QPushButton* button : {ui.DisplayADC, ui.btnReadInput, ui.btnReadText, ui.btnSendText,
                                ui.btnWritePort, ui.btnWritePortClear, ui.USB_Command})
        button->setEnabled(enabled);
}

} // namespace window
