#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

namespace window {

/// The mark the text list shows for a control code: U+25A1 (white square). Windows-1252 has
/// no byte for it, so it never stands for a character the board sent.
inline constexpr char16_t ControlCodeMark = 0x25A1;

/// A text answer as the text list shows it: up to its first zero byte (the board pads a short
/// answer with zero bytes, so it shows as just its letters), one character per byte, and every
/// control code (0x00 to 0x1F, 0x7F and the five bytes Windows-1252 leaves undefined) as
/// ControlCodeMark.
QString ListText(QStringView decodedText);

/// A text byte as its mirror box shows it: its Windows-1252 character, or for a control code
/// its number in angle brackets ("<0>", "<27>"), which no single character can be mistaken for.
QString MirrorCharacter(std::uint8_t byte);

} // namespace window
