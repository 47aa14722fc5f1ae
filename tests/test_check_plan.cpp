// Board check plans: what a wrong plan is told, and plans written back as TOML.
#include "check/PlanParser.h"
#include "support/PlanToml.h"
#include "support/RefusedText.h"

#include <gtest/gtest.h>

namespace {

using check::ParsePlan;
using check::PlanError;

using WrongPlan = testsupport::RefusedText;

/// A plan of one step: the `name` line, `[[step]]`, then `step` from line 3 on.
std::string OneStep(const std::string& step) {
    return "name='p'\n[[step]]\n" + step;
}

const WrongPlan WrongPlans[] = {
    {"unknown key, with the allowed ones", OneStep("type='read_ad'\nmaximum=3\n"), 4, 1,
     "unknown key 'maximum'; allowed: type, name, repeat, retry, stop_on_fail, min, max, equals, "
     "answer_within_ms, until, within_ms"},
    {"value out of range", OneStep("type='read_ad'\nmax = 300\n"), 4, 7,
     "'max' must be an integer from 0 to 255"},
    {"wrong type", OneStep("type='write_port'\nvalue='12'\n"), 4, 7,
     "'value' must be an integer from 0 to 255"},
    {"unknown step type", OneStep("  type='read_adc'\n"), 3, 8,
     "'type' must be one of read_ad, read_inputs, read_text, write_port, send_text, "
     "send_clock, send, poll, wait_ms"},
    {"misspelt type, at its own line", OneStep("name='first'\nType='read_ad'\n"), 4, 1,
     "unknown key 'Type' (did you mean 'type'?)"},
    {"no type", OneStep("name='first'\n"), 2, 1, "'type' is missing"},
    {"missing option", OneStep("type='poll'\n"), 2, 1, "'duration_ms' is missing"},
    {"poll shorter than two periods", OneStep("type='poll'\nduration_ms=39\n"), 4, 13,
     "from 40 to 3600000 (two polling periods of 20 ms"},
    {"min above max", OneStep("type='read_ad'\nmin=9\nmax=3\n"), 5, 5,
     "'max' must be at least 'min' (9)"},
    {"mask without value", OneStep("type='read_inputs'\nmask=1\n"), 2, 1,
     "'mask' and 'value' go together"},
    {"bad regular expression", OneStep("type='read_text'\nmatches='(a'\n"), 4, 9,
     "'matches' must be a valid regular expression"},
    {"a pattern longer than 200 bytes",
     OneStep("type='read_text'\nmatches='" + std::string(201, 'a') + "'\n"), 4, 9,
     "at most 200 bytes"},
    {"byte index outside the report", OneStep("type='send'\ncode=3\nbytes={40=1}\n"), 5, 7,
     "byte index (2 to 32)"},
    {"bit number", OneStep("type='read_inputs'\nbits_high=[8]\n"), 4, 11,
     "bit numbers from 0 to 7"},
    {"text too long", OneStep("type='send_text'\ntext='123456789012345678'\n"), 4, 6,
     "at most 17 characters"},
    {"plan name too long", "name='" + std::string(201, 'n') + "'\n", 1, 6,
     "'name' must be a string of 1 to 200 characters"},
    {"unknown top-level key", "name='p'\nsteps=1\n", 2, 1,
     "allowed: name, stop_on_fail, step, teardown"},
    {"teardown not tables", "name='p'\nteardown=1\n[[step]]\ntype='read_ad'\n", 2, 10,
     "'teardown' must be [[teardown]] tables"},
    {"a teardown step, told as one", "name='p'\n[[step]]\ntype='read_ad'\n[[teardown]]\ntype='x'\n",
     5, 6, "teardown step 1: 'type' must be one of"},
    {"until without its time", OneStep("type='read_ad'\nuntil=true\n"), 2, 1,
     "'until = true' and 'within_ms' go together"},
    {"retry over the cap", OneStep("type='read_ad'\nretry=101\n"), 4, 7,
     "'retry' must be an integer from 0 to 100"},
    {"ask without the answer expected", OneStep("type='ask'\ntext='Lit?'\n"), 2, 1,
     "'expect' is missing"},
    {"scan pattern", OneStep("type='scan'\ntext='Label'\npattern='(ZB'\n"), 5, 9,
     "'pattern' must be a valid regular expression"},
    {"answer naming no value", OneStep("type='send'\ncode=4\nanswer={ volts={ min=1 } }\n"), 5, 8,
     "'answer' must be a table of ad = { min, max, equals }, inputs = { equals, mask, value, "
     "bits_high, bits_low }, text = { equals, prefix, matches }"},
    {"answer limits no answer meets", OneStep("type='send'\ncode=4\nanswer.ad={ min=9, max=3 }\n"),
     5, 1, "the limits able to meet together"},
    {"no steps", "name='p'\n", 1, 1, "at least one [[step]]"},

    // What the board's code page (Windows-1252) lacks, at its own column where it is written.
    {"sent text", OneStep("type='send_text'\ntext='OK ✓'\n"), 4, 10,
     "'text' holds \"✓\" (U+2713), which the board's code page, Windows-1252, does not have"},
    {"sent text in CJK", OneStep("type='send_text'\ntext=\"日本\"\n"), 4, 7, "\"日\" (U+65E5)"},
    {"expected text, escaped", OneStep("type='read_text'\nequals=\"a\\u2713\"\n"), 4, 10,
     "'equals' holds \"✓\" (U+2713)"},
    {"expected prefix", OneStep("type='read_text'\nprefix='Ωmega'\n"), 4, 9,
     "\"Ω\" (U+03A9), which the board's code page, Windows-1252, does not have: no answer"},

    {"expected text with the character that ends an answer",
     OneStep("type='read_text'\nequals='OK'\nprefix=\"O\\u0000\"\n"), 5, 10,
     "'prefix' holds the character 0 (U+0000), where the board's answer text ends"},

    // Limits that no answer can meet together, told at the later of the keys.
    {"a bit both high and low", OneStep("type='read_inputs'\nbits_high=[0,3]\nbits_low=[3]\n"), 5,
     10, "bit 3 is in both 'bits_high' and 'bits_low'"},
    {"equals outside min..max", OneStep("type='read_ad'\nequals=5\nmin=100\nmax=200\n"), 6, 5,
     "no answer passes both 'equals' (= 5) and 'min'/'max' (100..200)"},
    {"value outside the mask", OneStep("type='read_inputs'\nmask=0x0F\nvalue=0xF0\n"), 5, 7,
     "'value' 0xF0 has bits outside 'mask' 0x0F"},
    {"equals against mask and value",
     OneStep("type='read_inputs'\nmask=0xF0\nvalue=0xA0\nequals=0x05\n"), 6, 8,
     "'equals' (= 0x05) and 'mask'/'value' (mask 0xF0 = 0xA0)"},
    {"equals against bits_low", OneStep("type='read_inputs'\nbits_low=[0]\nequals=1\n"), 5, 8,
     "'equals' (= 0x01) and 'bits_low' (bits low 0)"},
    {"mask and value against bits_high",
     OneStep("type='read_inputs'\nmask=0x01\nvalue=0\nbits_high=[0]\n"), 6, 11,
     "'mask'/'value' (mask 0x01 = 0x00) and 'bits_high' (bits high 0)"},
    {"text equals without the prefix", OneStep("type='read_text'\nequals='Hi'\nprefix='Hello'\n"),
     5, 8, "'equals' (= \"Hi\") and 'prefix' (starts with \"Hello\")"},
    {"text equals the pattern does not match whole",
     OneStep("type='read_text'\nmatches='a'\nequals='abc'\n"), 5, 8, "and 'matches' (matches /a/)"},
    {"poll median above p99",
     OneStep("type='poll'\nduration_ms=1000\nmedian_ms=50\np99_ms=10\nmax_ms=5\n"), 6, 8,
     "'median_ms' (50) is above 'p99_ms' (10)"},
    {"poll limit above the time an answer may take",
     OneStep("type='poll'\nduration_ms=1000\nmax_ms=2000\n"), 5, 8,
     "'max_ms' (2000) is above 'answer_within_ms' (1000, the default)"},

    // What a plan may ask for.
    {"repeat over the cap", OneStep("type='read_ad'\nrepeat=10001\n"), 4, 8, "from 1 to 10000"},
    {"step runs over the cap",
     OneStep("type='read_ad'\nrepeat=6000\n[[step]]\ntype='read_ad'\nrepeat=5000\n"), 7, 8,
     "11000 step runs"},
    {"step runs with their retries over the cap", OneStep("type='read_ad'\nretry=99\nrepeat=101\n"),
     5, 8, "up to 10100 step runs"},

    // The text before it is TOML: its messages call it a plan.
    {"not UTF-8", "name='caf\xE9'\n", 1, 10, "save the plan as UTF-8"},
};

TEST(CheckPlan, AWrongPlanIsToldWithFileLineColumnAndTheAllowedValues) {
    for (const WrongPlan& wrong : WrongPlans) {
        SCOPED_TRACE(wrong.what);
        PlanError error;
        EXPECT_FALSE(ParsePlan(wrong.text, "plan.toml", error));
        testsupport::ExpectTold(error, "plan.toml", wrong);
        const std::string place =
            "plan.toml:" + std::to_string(wrong.line) + ":" + std::to_string(wrong.column) + ": ";
        EXPECT_EQ(error.text().rfind(place, 0), 0u) << error.text();
    }
}

// Near the refusals above, but each limit can be met: none may be refused.
TEST(CheckPlan, LimitsThatCanAllBeMetAreTaken) {
    const std::string plans[] = {
        OneStep("type='read_ad'\nequals=100\nmin=100\nmax=200\nrepeat=5000\n[[step]]\n"
                "type='read_ad'\nrepeat=5000\n"),
        OneStep("type='read_inputs'\nmask=0xF0\nvalue=0xA0\nbits_high=[7,0]\nbits_low=[6]\n"
                "equals=0xA1\n"),
        OneStep("type='read_text'\nequals='Hello €'\nprefix='Hello'\nmatches='Hel+o .'\n"),
        OneStep("type='send_text'\ntext='''[[[[.{{{{.'''\n"),
        OneStep("type='poll'\nduration_ms=40\nanswer_within_ms=100\nmedian_ms=100\np99_ms=100\n"
                "max_ms=100\n"),
        "name='" + std::string(200, 'n') + "'\n[[step]]\ntype='send'\ncode=1\n[step.bytes]\n2=0\n",
    };
    for (const std::string& plan : plans) {
        SCOPED_TRACE(plan);
        PlanError error;
        EXPECT_TRUE(ParsePlan(plan, "plan.toml", error)) << error.text();
    }
}

TEST(CheckPlan, TheExamplesParseAndWriteBackToEqualPlans) {
    for (const char* name : {"smoke", "regression", "production", "line"}) {
        SCOPED_TRACE(name);
        PlanError error;
        const auto plan =
            check::ParsePlanFile(std::string(ZOV_SOURCE_DIR "/examples/") + name + ".toml", error);
        ASSERT_TRUE(plan) << error.text();
        const std::string written = testsupport::PlanToToml(*plan);
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
