#pragma once

#include <cstddef>
#include <string_view>
#include <toml++/toml.h>

/// Lines and columns in UTF-8 text, as toml++ counts them: lines from 1, split at '\n';
/// columns from 1, in characters (code points), not bytes.
namespace tomlfile {

struct TextPlace {
    int line = 1;
    int column = 1;
};

/// The line and column of the byte at `offset`.
TextPlace PlaceOf(std::string_view text, std::size_t offset);
/// Where toml++ says a key, a value or a table begins.
TextPlace BeginOf(const toml::source_region& region);

/// Where the character at `index` (counted in characters) of the string value whose literal
/// begins at `literal` stands in `text`: the character itself, or the escape that writes it.
/// Takes every kind of TOML string: basic and literal, one-line and multi-line.
TextPlace CharacterPlace(std::string_view text, TextPlace literal, std::size_t index);

} // namespace tomlfile
