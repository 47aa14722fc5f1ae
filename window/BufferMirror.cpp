// The mirrors of both report buffers, the reset and the input lamps' switch-off.
#include "window/DisplayText.h"
#include "window/MainForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

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

/// The box's font with or without text shaping.
QFont Shaping(QFont font, bool shaped) {
    const QFont::StyleStrategy others =
        QFont::StyleStrategy(font.styleStrategy() & ~QFont::PreferNoShaping);
    font.setStyleStrategy(shaped ? others : QFont::StyleStrategy(others | QFont::PreferNoShaping));
    return font;
}

bool Shaped(const QLineEdit& box) {
    return !(box.font().styleStrategy() & QFont::PreferNoShaping);
}

void ShowBuffer(const protocol::Report& buffer,
                const std::array<QLineEdit*, window::BufferRows>& boxes) {
    for (std::size_t i = 0; i < protocol::MirroredBytes; ++i) {
        // Every box is refreshed, but a box whose text stays the same is not repainted:
        // at a thousand reports a second the repaints, not the bytes, cost the time.
        const QString& text = MirrorText(i, buffer[i]);
        QLineEdit& box = *boxes[i];
        if (box.text() == text) continue;
        // A mirror text is one character, or digits with angle brackets: in the boxes' font
        // shaping leaves every one of them as it is (tests/test_mirror.cpp draws them all both
        // ways), and half of what a new text costs is its shaping.
        if (Shaped(box)) box.setFont(Shaping(box.font(), false));
        box.setText(text);
    }
}

/// Text typed into a mirror box can be anything, and is laid out with shaping as in any box.
void ShapeTypedText(QLineEdit& box) {
    QObject::connect(&box, &QLineEdit::textEdited, &box, [&box] {
        if (!Shaped(box)) box.setFont(Shaping(box.font(), true));
    });
}

} // namespace

void MainForm::ConnectMirrorBoxes() {
    for (QLineEdit* box : ui.BufferInBox)
        ShapeTypedText(*box);
    for (QLineEdit* box : ui.BufferOutBox)
        ShapeTypedText(*box);
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
