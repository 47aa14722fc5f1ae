#pragma once

#include <string>

namespace tomlfile {

/// Where a TOML file (a plan, a bench) is wrong and how: the file's name, line and column
/// (1-based; 0 when the problem is the file as a whole, such as one that cannot be read), and
/// a message that names what is allowed.
struct TomlError {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;

    /// "file:line:column: message", or "file: message" for the file as a whole.
    std::string text() const;
};

} // namespace tomlfile
