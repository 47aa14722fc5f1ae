#include "check/TextPattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <memory>
#include <pcre2.h>

namespace check {
namespace {

std::string EngineMessage(int code) {
    PCRE2_UCHAR text[256];
    return pcre2_get_error_message(code, text, sizeof text) < 0
               ? "error " + std::to_string(code)
               : std::string(reinterpret_cast<const char*>(text));
}

} // namespace

std::optional<bool> MatchesWhole(std::string_view pattern, std::string_view text,
                                 std::string& error) {
    int code = 0;
    PCRE2_SIZE offset = 0;
    const std::unique_ptr<pcre2_code, decltype(&pcre2_code_free)> compiled(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                      PCRE2_UTF | PCRE2_ANCHORED | PCRE2_ENDANCHORED, &code, &offset, nullptr),
        pcre2_code_free);
    if (!compiled) {
        error = "the pattern cannot be used: " + EngineMessage(code) + " at offset " +
                std::to_string(offset);
        return std::nullopt;
    }
    const std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> match(
        pcre2_match_data_create_from_pattern(compiled.get(), nullptr), pcre2_match_data_free);
    code = pcre2_match(compiled.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                       match.get(), nullptr);
    if (code >= 0) return true;
    if (code == PCRE2_ERROR_NOMATCH) return false;
    error = "the regular expression engine could not match the pattern against the text: " +
            EngineMessage(code);
    return std::nullopt;
}

} // namespace check
