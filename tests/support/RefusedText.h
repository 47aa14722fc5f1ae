#pragma once

#include "tomlfile/TomlError.h"

#include <gtest/gtest.h>
#include <string>

namespace testsupport {

/// A TOML text (a plan, a bench) that must be refused, and where and how the refusal says so.
struct RefusedText {
    const char* what;
    std::string text;
    int line; ///< 0 for the text as a whole
    int column;
    const char* message; ///< a part of the message
};

/// Expects `error` to tell `refused` in `file`, at its line and column.
inline void ExpectTold(const tomlfile::TomlError& error, const std::string& file,
                       const RefusedText& refused) {
    EXPECT_EQ(error.file, file);
    EXPECT_EQ(error.line, refused.line) << error.text();
    EXPECT_EQ(error.column, refused.column) << error.text();
    EXPECT_NE(error.message.find(refused.message), std::string::npos) << error.text();
}

} // namespace testsupport
