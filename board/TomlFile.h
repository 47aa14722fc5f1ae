#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <toml++/toml.h>

namespace hid {

/// Where a TOML file is wrong and how: its name, line and column (1-based; 0 when the file
/// could not be read at all), and a message that names what is allowed.
struct TomlError {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;

    /// "file:line:column: message".
    std::string text() const;
};

/// The largest TOML file read: far above any plan or bench a person writes, and small enough
/// that nothing in it takes long to parse.
inline constexpr std::size_t LargestTomlFile = 1024 * 1024;
/// The most dots outside strings and comments on one line. toml++ nests a table for each part
/// of a dotted key or table name, with no limit of its own, and a key of some 50,000 parts
/// overflows the stack; arrays and inline tables it bounds itself.
inline constexpr int MostDotsOnALine = 32;

/// The text of the regular file at `path`, at most LargestTomlFile bytes; a file that cannot
/// be read is told with the system's reason.
std::optional<std::string> ReadTomlText(const std::string& path, TomlError& error);

/// Parses TOML `text` (named `file` in the errors) once it is known to be within the bounds
/// above; a text past them, or that is no TOML, is told in `error`.
std::optional<toml::table> ParseToml(std::string_view text, const std::string& file,
                                     TomlError& error);

/// Where the character at `index` (counted in characters) of the string value whose literal
/// starts at `literal` stands in `text`: the character itself, or the escape that writes it.
toml::source_position CharacterPosition(std::string_view text, toml::source_position literal,
                                        std::size_t index);

} // namespace hid
