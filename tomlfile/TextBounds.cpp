#include "tomlfile/TextBounds.h"

#include "tomlfile/TextPlace.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace tomlfile {
namespace {

/// The first bytes of well-formed UTF-8 characters: how many bytes follow, and the range of
/// the second byte (which rules out overlong forms, surrogates and characters past U+10FFFF);
/// every later byte is 0x80 to 0xBF.
struct Lead {
    unsigned first, last;
    int follow;
    unsigned low, high;
};
constexpr Lead Leads[] = {
    {0x00, 0x7F, 0, 0, 0},       {0xC2, 0xDF, 1, 0x80, 0xBF}, {0xE0, 0xE0, 2, 0xA0, 0xBF},
    {0xE1, 0xEC, 2, 0x80, 0xBF}, {0xED, 0xED, 2, 0x80, 0x9F}, {0xEE, 0xEF, 2, 0x80, 0xBF},
    {0xF0, 0xF0, 3, 0x90, 0xBF}, {0xF1, 0xF3, 3, 0x80, 0xBF}, {0xF4, 0xF4, 3, 0x80, 0x8F},
};

/// The offset of the first byte that does not belong to a well-formed UTF-8 character.
std::optional<std::size_t> FirstNonUtf8(std::string_view text) {
    const auto byte = [&](std::size_t at) -> unsigned {
        return at < text.size() ? static_cast<std::uint8_t>(text[at]) : 0x100; // none
    };
    for (std::size_t k = 0; k < text.size();) {
        const unsigned first = byte(k);
        const Lead* lead = std::find_if(std::begin(Leads), std::end(Leads), [&](const Lead& each) {
            return first >= each.first && first <= each.last;
        });
        if (lead == std::end(Leads)) return k;
        for (int n = 1; n <= lead->follow; ++n) {
            const unsigned next = byte(k + n);
            if (next < (n == 1 ? lead->low : 0x80) || next > (n == 1 ? lead->high : 0xBF)) return k;
        }
        k += 1 + lead->follow;
    }
    return std::nullopt;
}

/// The offset just past the string that starts at `at` (with ' or "), or the offset of the
/// line's end for a one-line string left open. Multi-line strings take """ and '''.
std::size_t StringEnd(std::string_view text, std::size_t at) {
    const char quote = text[at];
    const bool escapes = quote == '"';
    const std::string_view triple = escapes ? R"(""")" : "'''";
    const bool multiLine = text.substr(at, 3) == triple;
    for (std::size_t k = at + (multiLine ? 3 : 1); k < text.size(); ++k) {
        if (escapes && text[k] == '\\') {
            ++k;
        } else if (!multiLine && text[k] == '\n') {
            return k;
        } else if (!multiLine && text[k] == quote) {
            return k + 1;
        } else if (multiLine && text.substr(k, 3) == triple) {
            k += 3;
            for (int extra = 0; extra < 2 && k < text.size() && text[k] == quote; ++extra)
                ++k; // up to two quotes may end the text itself
            return k;
        }
    }
    return text.size();
}

/// Follows the text as toml++ will read it, as far as nesting goes: table headers and dotted
/// keys (each part one level), arrays and inline tables (each one level), skipping strings and
/// comments. Answers the offset where the nesting first passes `most`.
std::optional<std::size_t> TooDeep(std::string_view text, int most) {
    enum class Expect { LineStart, Header, Key, Value, LineEnd };
    struct Open {
        bool table; ///< an inline table; else an array
        int depth;  ///< the depth inside it
    };
    std::vector<Open> open;
    Expect expect = Expect::LineStart;
    int section = 0; ///< the depth of the latest [table] header
    int depth = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c == '#') {
            k = std::min(text.find('\n', k), text.size()) - 1; // the line's end comes next
            continue;
        }
        if (c == '\n') {
            if (open.empty()) {
                expect = Expect::LineStart;
                depth = section;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') continue;
        if (expect == Expect::LineStart) {
            if (c == '[') {
                expect = Expect::Header;
                depth = 1;
                if (k + 1 < text.size() && text[k + 1] == '[') ++k; // [[array of tables]]
                continue;
            }
            expect = Expect::Key;
        }
        if (c == '"' || c == '\'') {
            k = StringEnd(text, k) - 1;
            continue;
        }
        const bool deeper = (c == '.' && (expect == Expect::Header || expect == Expect::Key)) ||
                            ((c == '[' || c == '{') && expect == Expect::Value);
        if (deeper && ++depth > most) return k;
        switch (expect) {
        case Expect::Header:
            if (c == ']') {
                section = depth;
                expect = Expect::LineEnd;
            }
            break;
        case Expect::Key:
            if (c == '=') expect = Expect::Value;
            if (c != '}') break;
            [[fallthrough]]; // an empty inline table
        case Expect::Value:
            if (c == '[' || c == '{') {
                open.push_back({c == '{', depth});
                if (c == '{') expect = Expect::Key;
            } else if ((c == ']' || c == '}' || c == ',') && !open.empty()) {
                if (c != ',') open.pop_back();
                if (open.empty()) {
                    expect = Expect::LineEnd;
                } else {
                    depth = open.back().depth;
                    expect = open.back().table && c == ',' ? Expect::Key : Expect::Value;
                }
            }
            break;
        case Expect::LineStart:
        case Expect::LineEnd:
            break;
        }
    }
    return std::nullopt;
}

} // namespace

std::string TooLarge(std::size_t bytes, std::string_view noun) {
    return "the " + std::string(noun) + " has " + std::to_string(bytes) +
           " bytes; at most 1 MiB (" + std::to_string(LargestText) + " bytes) is read";
}

bool WithinBounds(std::string_view text, const std::string& file, TomlError& error,
                  std::string_view noun) {
    const auto refuse = [&](std::optional<std::size_t> offset, std::string message) {
        const TextPlace place = offset ? PlaceOf(text, *offset) : TextPlace{0, 0};
        error = {file, place.line, place.column, std::move(message)};
        return false;
    };
    if (text.size() > LargestText) return refuse(std::nullopt, TooLarge(text.size(), noun));
    if (const auto bad = FirstNonUtf8(text)) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<std::uint8_t>(text[*bad]));
        return refuse(bad, std::string("the byte ") + byte + " is not UTF-8 text; save the " +
                               std::string(noun) +
                               " as UTF-8 (it may have been saved as Latin-1 or Windows-1252)");
    }
    if (const auto deep = TooDeep(text, MostNesting))
        return refuse(deep, "tables, dotted keys, arrays and inline tables are nested more than " +
                                std::to_string(MostNesting) + " levels deep here, more than a " +
                                std::string(noun) + " may have");
    return true;
}

} // namespace tomlfile
