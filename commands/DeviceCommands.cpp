// The command buttons and the slider: each writes its bytes of BufferOut, sends the whole
// buffer and refreshes the output mirror.
#include "commands/NumberRule.h"
#include "protocol/ReportText.h"
#include "protocol/Send.h"
#include "window/ClickSlider.h"
#include "window/MainForm.h"
#include "window/NoticeBox.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace window {

void MainForm::SendBufferOut() {
    protocol::Send(hid_, BufferOut);
    ShowBufferOut();
}

void MainForm::DisplayADC_Click() {
    BufferOut[protocol::CommandIndex] = protocol::Code::ReadAdc;
    SendBufferOut();
}

void MainForm::btnReadInput_Click() {
    BufferOut[protocol::CommandIndex] = protocol::Code::ReadInput;
    SendBufferOut();
}

void MainForm::btnReadText_Click() {
    BufferOut[protocol::CommandIndex] = protocol::Code::ReadText;
    SendBufferOut();
}

void MainForm::btnSendText_Click() {
    // Report id, command byte and the first sixteen text positions; index 18 keeps its value.
    constexpr std::size_t Cleared = protocol::TextIndex + protocol::AnswerTextLength;
    std::fill_n(BufferOut.begin(), Cleared, 0);
    protocol::PutText(BufferOut, protocol::TextIndex, ui.WriteText->text(),
                      protocol::SendTextLength);
    BufferOut[protocol::CommandIndex] = protocol::Code::SendText;
    SendBufferOut();
}

void MainForm::btnWritePort_Click() {
    const auto value = commands::ParseByte(ui.txtWritePort->text());
    if (!value) {
        ReportBadNumber("The PORTD Write value");
        return;
    }
    BufferOut[protocol::CommandIndex] = protocol::Code::WritePort;
    BufferOut[protocol::PortWriteIndex] = *value;
    SendBufferOut();
    ShowPortOutput();
}

void MainForm::btnWritePortClear_Click() {
    BufferOut[protocol::CommandIndex] = protocol::Code::WritePort;
    BufferOut[protocol::PortWriteIndex] = 0;
    SendBufferOut();
    ShowPortOutput();
    ui.Slider1->setValue(0); // a value set here raises no Click, so no second report
}

void MainForm::Slider1_Click() {
    BufferOut[protocol::CommandIndex] = protocol::Code::WritePort;
    BufferOut[protocol::PortWriteIndex] = static_cast<std::uint8_t>(ui.Slider1->value());
    SendBufferOut();
    ShowPortOutput();
}

void MainForm::USB_Command_Click() {
    const auto code = commands::ParseByte(ui.cmdUSB->text());
    if (!code) {
        ReportBadNumber("The USB command code");
        return;
    }
    BufferOut[protocol::CommandIndex] = *code;
    SendBufferOut();
}

void MainForm::ShowPortOutput() {
    ui.Label5->setText("PIC Output Status (PORTD) = " +
                       QString::number(BufferOut[protocol::PortWriteIndex]));
}

void MainForm::ReportBadNumber(const QString& field) {
    window::ShowNotice(numberMessage_, this, "NumberMessage",
                       field + " must be a whole number from 0 to 255. Nothing was sent.");
}

} // namespace window
