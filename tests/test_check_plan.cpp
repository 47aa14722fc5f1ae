// Board check plans: what a wrong plan is told, and plans written back as TOML.
#include "check/PlanParser.h"
#include "check/PlanToml.h"

#include <gtest/gtest.h>

namespace {

using check::ParsePlan;
using check::PlanError;

/// "a.a.a...", of `parts` parts.
std::string DottedKey(int parts) {
    std::string key = "a";
    for (int part = 1; part < parts; ++part)
        key += ".a";
    return key;
}

struct WrongPlan {
    const char* what;
    std::string text;
    int line;
    int column;
    const char* message; ///< a part of the message
};

const WrongPlan WrongPlans[] = {
    {"unknown key, with the allowed ones", "name='p'\n[[step]]\ntype='read_ad'\nmaximum=3\n", 4, 1,
     "unknown key 'maximum'; allowed: type, name, repeat, min, max, equals, answer_within_ms"},
    {"value out of range", "name='p'\n[[step]]\ntype='read_ad'\nmax = 300\n", 4, 7,
     "'max' must be an integer from 0 to 255"},
    {"wrong type", "name='p'\n[[step]]\ntype='write_port'\nvalue='12'\n", 4, 7,
     "'value' must be an integer from 0 to 255"},
    {"unknown step type", "name='p'\n[[step]]\n  type='read_adc'\n", 3, 8,
     "'type' must be one of read_ad, read_inputs, read_text, write_port, send_text, "
     "send_clock, send, poll, wait_ms"},
    {"missing option", "name='p'\n[[step]]\ntype='poll'\n", 2, 1, "'duration_ms' is missing"},
    {"min above max", "name='p'\n[[step]]\ntype='read_ad'\nmin=9\nmax=3\n", 5, 5,
     "'max' must be at least 'min' (9)"},
    {"mask without value", "name='p'\n[[step]]\ntype='read_inputs'\nmask=1\n", 2, 1,
     "'mask' and 'value' go together"},
    {"bad regular expression", "name='p'\n[[step]]\ntype='read_text'\nmatches='(a'\n", 4, 9,
     "'matches' must be a valid regular expression"},
    {"byte index outside the report", "name='p'\n[[step]]\ntype='send'\ncode=3\nbytes={40=1}\n", 5,
     7, "byte index (2 to 32)"},
    {"bit number", "name='p'\n[[step]]\ntype='read_inputs'\nbits_high=[8]\n", 4, 11,
     "bit numbers from 0 to 7"},
    {"text too long", "name='p'\n[[step]]\ntype='send_text'\ntext='123456789012345678'\n", 4, 6,
     "at most 17 characters"},
    {"unknown top-level key", "name='p'\nsteps=1\n", 2, 1, "allowed: name, step"},
    {"no steps", "name='p'\n", 1, 1, "at least one [[step]]"},
    {"TOML syntax", "name='p'\n[[step]\n", 2, 8, ""},
    // Used to overflow the stack inside toml++.
    {"a dotted key of 50,000 parts", "name='p'\n" + DottedKey(50'000) + " = 1\n", 2, 66,
     "more than 32 dots"},
};

TEST(CheckPlan, AWrongPlanIsToldWithFileLineColumnAndTheAllowedValues) {
    for (const WrongPlan& wrong : WrongPlans) {
        SCOPED_TRACE(wrong.what);
        PlanError error;
        EXPECT_FALSE(ParsePlan(wrong.text, "plan.toml", error));
        EXPECT_EQ(error.file, "plan.toml");
        EXPECT_EQ(error.line, wrong.line);
        EXPECT_EQ(error.column, wrong.column);
        EXPECT_NE(error.message.find(wrong.message), std::string::npos) << error.message;
        EXPECT_EQ(error.text().rfind("plan.toml:" + std::to_string(wrong.line) + ":", 0), 0u);
    }
}

TEST(CheckPlan, TheExamplesParseAndWriteBackToEqualPlans) {
    for (const char* name : {"smoke", "regression", "production"}) {
        SCOPED_TRACE(name);
        PlanError error;
        const auto plan =
            check::ParsePlanFile(std::string(ZOV_SOURCE_DIR "/examples/") + name + ".toml", error);
        ASSERT_TRUE(plan) << error.text();
        const std::string written = check::PlanToToml(*plan);
        const auto again = ParsePlan(written, "written", error);
        ASSERT_TRUE(again) << error.text() << "\n" << written;
        EXPECT_EQ(*again, *plan) << written;
    }
}

TEST(CheckPlan, BytesAsAnArrayArePlacedFromByteTwoOn) {
    PlanError error;
    const auto plan =
        ParsePlan("name='p'\n[[step]]\ntype='send'\ncode=1\nbytes=[65,66]\n", "p", error);
    ASSERT_TRUE(plan) << error.text();
    EXPECT_EQ(plan->steps[0].bytes, (std::map<std::int64_t, std::int64_t>{{2, 65}, {3, 66}}));
}

} // namespace
