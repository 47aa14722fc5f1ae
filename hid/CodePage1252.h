#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace hid {

/// Windows-1252, the ANSI code page of the Western Windows systems the board's firmware and
/// the names boards give were written for: 0x80 is the euro sign, 0x92 the right single
/// quotation mark, 0x95 the bullet, 0x99 the trade mark sign; every byte outside 0x80 to 0x9F
/// is the Latin-1 character of its number. The five bytes Windows-1252 leaves undefined
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) are the C1 control characters of the same number, as
/// Windows decodes them; 0 stays the character with code 0.
char16_t windows1252Char(std::uint8_t byte);

/// The Windows-1252 byte of `character`; '?' for a character the code page does not have.
char windows1252Byte(char32_t character);

/// `text` as Windows-1252 bytes, '?' for each character the code page does not have.
std::string toWindows1252(std::u32string_view text);

/// `bytes` as Windows-1252 text, one character for each byte, zero bytes included.
QString fromWindows1252(std::string_view bytes);

} // namespace hid
