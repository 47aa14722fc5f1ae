// Board check plans from any text.
//
// Checks, besides the sanitizers: the parser never crashes; a plan it accepts, written back as
// TOML, parses again to an equal plan; a plan it refuses is told with a position in the text.
#include "FuzzCheck.h"
#include "check/PlanParser.h"
#include "check/PlanToml.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check::PlanError error;
    const auto plan = check::ParsePlan(text, "fuzz.toml", error);
    if (!plan) {
        FUZZ_CHECK(error.file == "fuzz.toml" && !error.message.empty());
        return 0;
    }
    const std::string written = check::PlanToToml(*plan);
    check::PlanError again;
    const auto reread = check::ParsePlan(written, "written.toml", again);
    if (!reread) std::fprintf(stderr, "%s\n%s\n", again.text().c_str(), written.c_str());
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(*reread == *plan);
    return 0;
}
