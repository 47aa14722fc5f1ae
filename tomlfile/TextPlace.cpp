#include "tomlfile/TextPlace.h"

#include <algorithm>

namespace tomlfile {
namespace {

/// A byte that continues a character rather than starting one.
bool Continues(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

/// The byte offset of a line and column; the end of the line (or text) when it is shorter.
std::size_t OffsetOf(std::string_view text, TextPlace place) {
    std::size_t offset = 0;
    for (int line = 1; line < place.line && offset < text.size(); ++line)
        offset = std::min(text.find('\n', offset), text.size() - 1) + 1;
    for (int column = 1; column < place.column; ++column) {
        if (offset >= text.size() || text[offset] == '\n') break;
        ++offset;
        while (offset < text.size() && Continues(text[offset]))
            ++offset;
    }
    return offset;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

TextPlace PlaceOf(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, offset);
    const std::size_t lineStart = before.rfind('\n') + 1; // 0 when there is none
    const std::string_view line = before.substr(lineStart);
    return {int(std::count(before.begin(), before.end(), '\n')) + 1,
            int(std::count_if(line.begin(), line.end(), [](char c) { return !Continues(c); })) + 1};
}

TextPlace BeginOf(const toml::source_region& region) {
    return {int(region.begin.line), int(region.begin.column)};
}

TextPlace CharacterPlace(std::string_view text, TextPlace literal, std::size_t index) {
    std::size_t at = OffsetOf(text, literal);
    if (at >= text.size()) return literal;
    const char quote = text[at];
    const bool basic = quote == '"';
    const bool multiLine = text.substr(at, 3) == std::string(3, quote);
    const auto peek = [&](std::size_t ahead) {
        return at + ahead < text.size() ? text[at + ahead] : '\0';
    };
    at += multiLine ? 3 : 1;
    // A multi-line string leaves out a line break right after its opening quotes.
    if (multiLine && peek(0) == '\r' && peek(1) == '\n')
        at += 2;
    else if (multiLine && peek(0) == '\n')
        at += 1;
    for (std::size_t character = 0; at < text.size();) {
        const bool escape = basic && peek(0) == '\\';
        // A backslash at the end of a line of a multi-line string takes the blanks after it
        // away, and stands for no character.
        if (escape && multiLine && IsBlank(peek(1))) {
            for (++at; at < text.size() && IsBlank(text[at]);)
                ++at;
            continue;
        }
        if (character++ == index) return PlaceOf(text, at);
        if (escape) {
            at += peek(1) == 'u' ? 6 : peek(1) == 'U' ? 10 : 2;
        } else if (multiLine && peek(0) == '\r' && peek(1) == '\n') {
            at += 2; // one line break
        } else {
            for (++at; at < text.size() && Continues(text[at]);)
                ++at;
        }
    }
    return literal;
}

} // namespace tomlfile
