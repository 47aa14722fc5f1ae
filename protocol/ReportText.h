#pragma once

#include "protocol/ReportLayout.h"

#include <QString>
#include <QStringView>

namespace protocol {

/// Out: a character goes as the low 8 bits of its UTF-16 code unit (U+20AC gives 0xAC).
inline std::uint8_t CharToByte(QChar character) {
    return static_cast<std::uint8_t>(character.unicode() & 0xFF);
}

/// In: a byte is a Windows-1252 character, the ANSI code page of the Western systems the
/// board's firmware was written against: 0x80 is the euro sign, 0x95 the bullet, 0x99 the
/// trade mark sign. The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
/// 0x9D) become the C1 control characters of the same number, as Windows decodes them; 0
/// stays the character with code 0.
QChar ByteToChar(std::uint8_t byte);

/// Writes the first `maxLength` characters of `text` from `index` on; bytes after the text
/// keep their values. Answers how many characters were written.
std::size_t PutText(Report& report, std::size_t index, QStringView text, std::size_t maxLength);

/// The `length` bytes from `index` on as characters, zero bytes included.
QString TakeText(const Report& report, std::size_t index, std::size_t length);

} // namespace protocol
