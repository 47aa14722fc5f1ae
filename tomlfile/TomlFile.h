#pragma once

#include "tomlfile/TomlError.h"

#include <optional>
#include <string>
#include <string_view>
#include <toml++/toml.h>

/// The two steps from a TOML file on disk to its tables; `noun` names what the file is (a
/// plan, a bench) in the messages.
namespace tomlfile {

/// The text of the regular file at `path`, read whole; or, in `error`, why it cannot be: the
/// system's reason (no such file, permission denied, ...), a directory, something other than
/// a regular file (a pipe is never waited on), or a file larger than LargestText (read no
/// further than that).
std::optional<std::string> ReadTomlFile(const std::string& path, TomlError& error,
                                        std::string_view noun = "file");

/// Parses TOML `text` (named `file` in the errors) once it is known to keep the bounds of
/// TextBounds.h; a text past them, or that is no TOML, is told in `error`.
std::optional<toml::table> ParseToml(std::string_view text, const std::string& file,
                                     TomlError& error, std::string_view noun = "file");

} // namespace tomlfile
