#pragma once

#include "hid/CodePage1252.h"
#include "protocol/ReportLayout.h"

#include <QString>
#include <QStringView>

namespace protocol {

/// Out: a character goes as the low 8 bits of its UTF-16 code unit (U+20AC gives 0xAC).
inline std::uint8_t CharToByte(QChar character) {
    return static_cast<std::uint8_t>(character.unicode() & 0xFF);
}

/// In: a byte is a Windows-1252 character (hid/CodePage1252.h), as the board's names are.
inline QChar ByteToChar(std::uint8_t byte) {
    return QChar(hid::windows1252Char(byte));
}

/// Writes the first `maxLength` characters of `text` from `index` on; bytes after the text
/// keep their values. Answers how many characters were written.
std::size_t PutText(Report& report, std::size_t index, QStringView text, std::size_t maxLength);

/// The `length` bytes from `index` on as characters, zero bytes included.
QString TakeText(const Report& report, std::size_t index, std::size_t length);

} // namespace protocol
