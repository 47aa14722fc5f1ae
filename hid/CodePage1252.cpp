#include "hid/CodePage1252.h"

#include <algorithm>
#include <array>

namespace hid {
namespace {

/// Windows-1252 from 0x80 to 0x9F; every other byte is the Latin-1 character of its number.
constexpr std::array<char16_t, 32> Windows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
};
constexpr std::uint8_t FirstHighByte = 0x80;
constexpr char32_t FirstLatin1Above = 0xA0; ///< the first character past the table's bytes
constexpr char32_t LastLatin1 = 0xFF;

} // namespace

char16_t windows1252Char(std::uint8_t byte) {
    if (byte >= FirstHighByte && byte < FirstHighByte + Windows1252High.size())
        return Windows1252High[byte - FirstHighByte];
    return byte;
}

char windows1252Byte(char32_t character) {
    if (character < FirstHighByte || (character >= FirstLatin1Above && character <= LastLatin1))
        return static_cast<char>(character);
    const auto found = std::find(Windows1252High.begin(), Windows1252High.end(), character);
    if (found == Windows1252High.end()) return '?';
    return static_cast<char>(FirstHighByte + (found - Windows1252High.begin()));
}

QString fromWindows1252(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    for (std::size_t k = 0; k < bytes.size(); ++k)
        text[static_cast<qsizetype>(k)] =
            QChar(windows1252Char(static_cast<std::uint8_t>(bytes[k])));
    return text;
}

std::string toWindows1252(std::u32string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char32_t character : text)
        bytes.push_back(windows1252Byte(character));
    return bytes;
}

} // namespace hid
