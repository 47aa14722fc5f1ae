// A board whose report descriptor the console cannot drive is not driven, and the message says
// what the descriptor shows.
#include "support/HidrawSourceFixture.h"

namespace {

struct FormatCase {
    const char* name;
    std::vector<std::uint8_t> descriptor;
    const char* found; // in the message
};

class WrongFormat : public HidrawSourceTest, public ::testing::WithParamInterface<FormatCase> {};

// A board with a report id got its input shifted by one byte and its output without the id.
TEST_P(WrongFormat, BoardIsNotDrivenAndTheMessageSaysWhatItFound) {
    system.attached = {Board};
    system.details[Board.path] =
        hidraw::NodeDetails{BoardVendor, BoardProduct, GetParam().descriptor};
    start();
    testsupport::DrainEvents();
    EXPECT_EQ(board(), 0);
    ASSERT_EQ(listener.problems.size(), 1u);
    EXPECT_EQ(listener.problems[0].kind, hid::DeviceProblem::Kind::WrongFormat);
    const std::string& message = listener.problems[0].message;
    EXPECT_NE(message.find(Board.path), std::string::npos);
    EXPECT_NE(message.find(GetParam().found), std::string::npos) << message;
    EXPECT_NE(message.find("32-byte input and output reports without a report id"),
              std::string::npos);
}

std::vector<std::uint8_t> WithOutputOf64() {
    std::vector<std::uint8_t> bytes = testsupport::BoardReportDescriptor();
    bytes.insert(bytes.end() - 5, {0x95, 0x40}); // Report Count (64) before the Output item
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    HidrawSource, WrongFormat,
    ::testing::Values(FormatCase{"ReportId", HidrawSourceTest::WithReportId(), "numbered reports"},
                      FormatCase{"LongOutput", WithOutputOf64(), "output reports of 64 bytes"},
                      FormatCase{"CutOff", {0x06, 0x00}, "cannot read"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
