#include "check/TextPlace.h"

#include <algorithm>

namespace check {
namespace {

/// A byte that continues a character rather than starting one.
bool Continues(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

TextPlace PlaceOf(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, offset);
    const std::size_t lineStart = before.rfind('\n') + 1; // 0 when there is none
    const std::string_view line = before.substr(lineStart);
    return {int(std::count(before.begin(), before.end(), '\n')) + 1,
            int(std::count_if(line.begin(), line.end(), [](char c) { return !Continues(c); })) + 1};
}

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

} // namespace check
