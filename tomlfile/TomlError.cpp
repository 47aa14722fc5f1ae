#include "tomlfile/TomlError.h"

namespace tomlfile {

std::string TomlError::text() const {
    if (line == 0) return file + ": " + message;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

} // namespace tomlfile
