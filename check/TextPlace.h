#pragma once

#include <cstddef>
#include <string_view>

/// Lines and columns in UTF-8 text, as toml++ counts them: lines from 1, split at '\n';
/// columns from 1, in characters (code points), not bytes.
namespace check {

struct TextPlace {
    int line = 1;
    int column = 1;
};

/// The line and column of the byte at `offset`.
TextPlace PlaceOf(std::string_view text, std::size_t offset);
/// The byte offset of a line and column; the end of the line (or text) when it is shorter.
std::size_t OffsetOf(std::string_view text, TextPlace place);

} // namespace check
