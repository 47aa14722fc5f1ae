#pragma once

#include "tomlfile/TomlError.h"

#include <cstddef>
#include <string>
#include <string_view>

/// What a TOML text must keep before it is handed to toml++: a size, UTF-8, and a nesting
/// depth. toml++ follows nested tables by recursion with no limit of its own, so a key of
/// 50,000 dotted parts ends the program on a full stack. A plan or a bench needs three levels at
/// most.
namespace tomlfile {

inline constexpr std::size_t LargestText = 1 << 20; // 1 MiB
/// Each [table] header or dotted key part, array and inline table is one level.
inline constexpr int MostNesting = 8;

/// "the plan has 1048577 bytes; at most 1 MiB (1048576 bytes) is read"; `noun` names what the
/// text is (a plan, a bench).
std::string TooLarge(std::size_t bytes, std::string_view noun);

/// True when `text` keeps the bounds; otherwise tells the first breach in `error`, in words
/// that call the text a `noun`.
bool WithinBounds(std::string_view text, const std::string& file, TomlError& error,
                  std::string_view noun = "file");

} // namespace tomlfile
