// The mirrors of both report buffers, the reset and the input lamps' switch-off.
#include "window/DisplayText.h"
#include "window/MainForm.h"
#include "window/UnshapedText.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace window {

namespace {

using MirrorTexts = std::array<QString, 256>;

MirrorTexts MakeMirrorTexts(QString (*text)(std::uint8_t)) {
    MirrorTexts texts;
    for (std::size_t byte = 0; byte < texts.size(); ++byte)
        texts[byte] = text(static_cast<std::uint8_t>(byte));
    return texts;
}

/// Text bytes show as characters, the command byte and the numeric positions as numbers.
/// Each report refreshes 25 boxes: the 256 texts of each kind are made once and shared.
const QString& MirrorText(std::size_t index, std::uint8_t byte) {
    static const MirrorTexts characters = MakeMirrorTexts(window::MirrorCharacter);
    static const MirrorTexts numbers =
        MakeMirrorTexts([](std::uint8_t value) { return QString::number(value); });
    constexpr std::size_t LastCharacterIndex = protocol::TextIndex + protocol::SendTextLength - 1;
    if (index >= protocol::TextIndex && index <= LastCharacterIndex) return characters[byte];
    return numbers[byte];
}

void ShowBuffer(const protocol::Report& buffer,
                const std::array<QLineEdit*, window::BufferRows>& boxes) {
    for (std::size_t i = 0; i < protocol::MirroredBytes; ++i) {
        // Every box is refreshed, but a box whose text stays the same is not repainted:
        // at a thousand reports a second the repaints, not the bytes, cost the time.
        const QString& text = MirrorText(i, buffer[i]);
        if (boxes[i]->text() != text) window::SetUnshapedText(*boxes[i], text);
    }
}

} // namespace

void MainForm::ConnectUnshapedBoxes() {
    for (QLineEdit* box : ui.BufferInBox)
        window::ShapeTypedText(*box);
    for (QLineEdit* box : ui.BufferOutBox)
        window::ShapeTypedText(*box);
    window::ShapeTypedText(*ui.Text1);
}

void MainForm::ShowBufferIn() {
    ShowBuffer(BufferIn, ui.BufferInBox);
}

void MainForm::ShowBufferOut() {
    ShowBuffer(BufferOut, ui.BufferOutBox);
}

void MainForm::ClearBuffers_Click() {
    BufferIn.fill(0);
    BufferOut.fill(0);
    ui.ListBox2->clear();
    ShowBufferIn();
    ShowBufferOut();
}

void MainForm::ClearLed() {
    for (QLabel* lamp : ui.PORTA1ON)
        lamp->hide();
}

} // namespace window
