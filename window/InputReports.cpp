// What the board's answers show: text lines, the A/D bar and the input lamps.
#include "hid/HidLayer.h"
#include "protocol/ReportText.h"
#include "window/Colours.h"
#include "window/DisplayText.h"
#include "window/LampShape.h"
#include "window/MainForm.h"
#include "window/UnshapedText.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <cmath>

namespace window {

namespace {
constexpr std::int16_t PortBits = 8;
}

void MainForm::OnRead(hid::Handle pHandle) {
    ui.LED2->setFillColour(colours::Green);
    if (!hid_.Read(pHandle, BufferIn)) return;

    switch (BufferIn[protocol::CommandIndex]) {
    case protocol::Code::Status:
    case protocol::Code::SendText:
        break;
    case protocol::Code::ReadText: {
        const QString text =
            protocol::TakeText(BufferIn, protocol::TextIndex, protocol::AnswerTextLength);
        ui.ListBox2->addItem(window::ListText(text));
        ShowBufferIn();
        break;
    }
    case protocol::Code::ReadAdc: {
        const std::uint8_t value = BufferIn[protocol::AdValueIndex];
        window::SetPacedValue(*ui.ProgressBar1, value);
        ui.Label1->setText("A to D (RA2) = " + QString::number(value));
        ShowBufferIn();
        break;
    }
    case protocol::Code::ReadInput: {
        const std::uint8_t port = BufferIn[protocol::InputBitsIndex];
        std::int16_t bits = PortBits;
        window::SetUnshapedText(*ui.Text1, DecToBin(port, bits));
        // The lamps follow the digits shown, most significant bit on the left.
        const QString digits = ui.Text1->text();
        for (qsizetype i = 0; i < digits.size() && i < qsizetype(window::InputLamps); ++i)
            ui.PORTA1ON[static_cast<std::size_t>(i)]->setVisible(digits[i] == u'1');
        ui.Label4->setText("PIC Input Status (PORTC) = " + QString::number(port));
        ShowBufferIn();
        break;
    }
    default:
        break;
    }
}

QString MainForm::DecToBin(std::uint8_t DeciValue, std::int16_t& NoOfBits) {
    constexpr std::int16_t Widening = 8;
    while (std::pow(2.0, NoOfBits) - 1 < DeciValue)
        NoOfBits = static_cast<std::int16_t>(NoOfBits + Widening);
    // Bits above the byte are 0: counts past 31 just get more leading zeros.
    QString text;
    for (int j = NoOfBits - 1; j >= 0; --j)
        text += (j < 8 && ((DeciValue >> j) & 1)) ? u'1' : u'0';
    return text;
}

} // namespace window
