#include "hid/TerminalText.h"

#include <QString>
#include <cstdio>

namespace hid {
namespace {

/// U+FFFD stands for bytes that were lost; U+FFFE and U+FFFF are no characters, and XML
/// cannot carry them.
bool Harmful(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x061C ||
           c == 0x200E || c == 0x200F || (c >= 0xFFFD && c <= 0xFFFF);
}

void Escape(std::string& out, char32_t c, bool wide) {
    char text[12];
    std::snprintf(text, sizeof text, wide ? "\\u%04x" : "\\x%02x", unsigned(c));
    out += text;
}

/// The length of the UTF-8 sequence that starts with `lead`; 0 for a byte that starts none.
int SequenceLength(unsigned char lead) {
    return lead < 0x80           ? 1
           : (lead >> 5) == 0x6  ? 2
           : (lead >> 4) == 0xE  ? 3
           : (lead >> 3) == 0x1E ? 4
                                 : 0;
}

} // namespace

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const int length = SequenceLength(static_cast<unsigned char>(text[i]));
        const std::u32string decoded =
            length > 0 && i + std::size_t(length) <= text.size()
                ? QString::fromUtf8(text.data() + i, length).toStdU32String()
                : std::u32string();
        // A sequence that does not decode to exactly one character is shown byte by byte.
        if (decoded.size() != 1 || (length > 1 && decoded[0] == 0xFFFD)) {
            Escape(out, static_cast<unsigned char>(text[i]), false);
            ++i;
            continue;
        }
        if (Harmful(decoded[0]))
            Escape(out, decoded[0], decoded[0] > 0xFF);
        else
            out.append(text.substr(i, std::size_t(length)));
        i += std::size_t(length);
    }
    return out;
}

} // namespace hid
