#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace check {

/// Whether the whole of `text` (UTF-8) matches `pattern`, a regular expression in Perl syntax
/// (PCRE2). Nothing, with `error` saying why, when the engine could not tell: a pattern it
/// cannot compile, or one that needs more backtracking than it allows for any text. An engine
/// that gives up is never taken for "no match".
std::optional<bool> MatchesWhole(std::string_view pattern, std::string_view text,
                                 std::string& error);

} // namespace check
