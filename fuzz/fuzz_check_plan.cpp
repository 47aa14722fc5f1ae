// Board check plans from any text.
//
// Checks, besides the sanitizers: the parser never crashes; a plan it accepts, written back as
// TOML, parses again to an equal plan; a plan it refuses is told with a position in the text;
// a text within the plan's bounds never gives toml++ a tree deeper than the bounds allow (a
// [[table]] header is two levels where the bounds count one, hence twice the depth).
#include "FuzzCheck.h"
#include "check/PlanParser.h"
#include "support/PlanToml.h"
#include "tomlfile/TextBounds.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <toml++/toml.h>

namespace {

/// How many tables and arrays nest below `node`.
int Depth(const toml::node& node) {
    int deepest = 0;
    if (const toml::table* table = node.as_table())
        for (const auto& [key, child] : *table)
            deepest = std::max(deepest, 1 + Depth(child));
    if (const toml::array* array = node.as_array())
        for (const toml::node& child : *array)
            deepest = std::max(deepest, 1 + Depth(child));
    return deepest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tomlfile::TomlError bounds;
    if (tomlfile::WithinBounds(text, "fuzz.toml", bounds)) {
        try {
            FUZZ_CHECK(Depth(toml::parse(text)) <= 2 * tomlfile::MostNesting);
        } catch (const toml::parse_error&) {
        }
    }
    check::PlanError error;
    const auto plan = check::ParsePlan(text, "fuzz.toml", error);
    if (!plan) {
        FUZZ_CHECK(error.file == "fuzz.toml" && !error.message.empty());
        return 0;
    }
    const std::string written = testsupport::PlanToToml(*plan);
    check::PlanError again;
    const auto reread = check::ParsePlan(written, "written.toml", again);
    if (!reread) std::fprintf(stderr, "%s\n%s\n", again.text().c_str(), written.c_str());
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(*reread == *plan);
    return 0;
}
