// The report descriptor parser: report ids and lengths, and descriptors it must refuse.
#include "hid/ReportDescriptor.h"
#include "support/BoardNode.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using hid::ReportDescriptor;
using Bytes = std::vector<std::uint8_t>;

ReportDescriptor Parsed(const Bytes& bytes) {
    ReportDescriptor descriptor;
    std::string error;
    EXPECT_TRUE(ReportDescriptor::parse(bytes, descriptor, error)) << error;
    return descriptor;
}

TEST(ReportDescriptor, TheBoardHas32ByteInputAndOutputReportsWithoutAnId) {
    const ReportDescriptor descriptor = Parsed(testsupport::BoardReportDescriptor());
    ASSERT_EQ(descriptor.reports.size(), 1u);
    EXPECT_EQ(descriptor.reports[0].id, 0u);
    EXPECT_EQ(descriptor.reports[0].inputBits, 256u);
    EXPECT_EQ(descriptor.reports[0].outputBits, 256u);
    EXPECT_EQ(descriptor.reports[0].featureBits, 0u);
    const hid::DeviceInfo::ReportFormat format = descriptor.format();
    EXPECT_FALSE(format.usesReportIds);
    EXPECT_EQ(format.inputReportSize, 32);
    EXPECT_EQ(format.outputReportSize, 32);
}

TEST(ReportDescriptor, NumberedReportsAreSummedPerIdAndKind) {
    const ReportDescriptor descriptor = Parsed({
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,       // vendor collection
        0x85, 0x02, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02, // id 2: 64-byte output
        0x85, 0x01, 0x95, 0x20, 0x81, 0x02,             // id 1: 32-byte input
        0x75, 0x01, 0x95, 0x04, 0x81, 0x02,             // id 1: 4 more bits of input
        0x85, 0x03, 0x75, 0x08, 0x95, 0x04, 0xB1, 0x02, // id 3: 4-byte feature
        0xC0,
    });
    ASSERT_EQ(descriptor.reports.size(), 3u);
    EXPECT_EQ(descriptor.reports[0].id, 1u) << "listed by ascending id";
    EXPECT_EQ(descriptor.reports[0].inputBits, 256u + 4u);
    EXPECT_EQ(descriptor.reports[1].id, 2u);
    EXPECT_EQ(descriptor.reports[1].outputBits, 512u);
    EXPECT_EQ(descriptor.reports[2].featureBits, 32u);
    EXPECT_TRUE(descriptor.usesReportIds());
    EXPECT_EQ(descriptor.longestInputBytes(), 33u) << "260 bits round up to whole bytes";
    EXPECT_EQ(descriptor.longestOutputBytes(), 64u);
}

TEST(ReportDescriptor, PopRestoresWhatPushSaved) {
    const ReportDescriptor descriptor = Parsed({
        0x75, 0x08, 0x95, 0x04, // 4 bytes
        0xA4, 0x85, 0x05,       // Push, id 5
        0x95, 0x02, 0x81, 0x02, // id 5: 2 bytes of input
        0xB4, 0x81, 0x02,       // Pop: id 0, 4 bytes of input
    });
    ASSERT_EQ(descriptor.reports.size(), 2u);
    EXPECT_EQ(descriptor.reports[0].id, 0u);
    EXPECT_EQ(descriptor.reports[0].inputBits, 32u);
    EXPECT_EQ(descriptor.reports[1].id, 5u);
    EXPECT_EQ(descriptor.reports[1].inputBits, 16u);
}

TEST(ReportDescriptor, LongItemsLocalItemsAndFourByteDataAreRead) {
    const ReportDescriptor descriptor = Parsed({
        0xFE, 0x03, 0x42, 0x81, 0x02, 0xC0, // long item whose data looks like Input, End Collection
        0x75, 0x08,                         // Report Size 8
        0x97, 0x20, 0x00, 0x00, 0x00,       // Report Count 32, as four bytes
        0x0B, 0x01, 0x00, 0x00, 0xFF,       // a four-byte local Usage
        0x91, 0x02,
    });
    ASSERT_EQ(descriptor.reports.size(), 1u);
    EXPECT_EQ(descriptor.reports[0].outputBits, 256u);
    EXPECT_EQ(descriptor.reports[0].inputBits, 0u) << "a long item's data is not read as items";
}

TEST(ReportDescriptor, AnEmptyDescriptorDeclaresNoReports) {
    const ReportDescriptor descriptor = Parsed({});
    EXPECT_TRUE(descriptor.reports.empty());
    EXPECT_EQ(descriptor.format().inputReportSize, 0);
    EXPECT_FALSE(descriptor.usesReportIds());
}

struct Malformed {
    const char* name;
    Bytes bytes;
    const char* says; // part of the error
};

class MalformedDescriptor : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedDescriptor, IsRefusedWithAReasonAndNoReports) {
    ReportDescriptor descriptor;
    descriptor.reports = {ReportDescriptor::Report{9, 8, 8, 8}};
    std::string error;
    EXPECT_FALSE(ReportDescriptor::parse(GetParam().bytes, descriptor, error));
    EXPECT_TRUE(descriptor.reports.empty()) << "nothing from before or from the part read";
    EXPECT_NE(error.find(GetParam().says), std::string::npos) << error;
}

Bytes TooDeep() {
    Bytes bytes;
    for (int i = 0; i < 5; ++i)
        bytes.push_back(0xA4);
    return bytes;
}

Bytes TooLong() {
    // 256-bit fields, 64 per Input item, 9 items: 147456 bits, beyond 16383 bytes.
    Bytes bytes{0x76, 0x00, 0x01, 0x95, 0x40};
    for (int i = 0; i < 9; ++i)
        bytes.insert(bytes.end(), {0x81, 0x02});
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    ReportDescriptor, MalformedDescriptor,
    ::testing::Values(
        Malformed{"ItemCutOff", {0x75, 0x08, 0x96, 0x20}, "item data cut off at byte 2"},
        Malformed{"LongItemHeaderCutOff", {0xFE, 0x05}, "long item cut off"},
        Malformed{"LongItemDataCutOff", {0xFE, 0x05, 0x01, 0xAA}, "long item data cut off"},
        Malformed{"ReportIdZero", {0x85, 0x00}, "Report ID 0"},
        Malformed{"ReportIdAbove255", {0x86, 0x00, 0x01}, "Report ID 256"},
        Malformed{"ReportSizeAbove256", {0x76, 0x01, 0x01}, "Report Size 257"},
        Malformed{"HugeReportCount", {0x97, 0xFF, 0xFF, 0xFF, 0xFF}, "Report Count 4294967295"},
        Malformed{"PushBeyondFourLevels", TooDeep(), "Push beyond 4 levels at byte 4"},
        Malformed{"PopWithNothingPushed", {0xB4}, "Pop with nothing pushed"},
        Malformed{"EndWithoutCollection", {0xA1, 0x01, 0xC0, 0xC0}, "End Collection without"},
        Malformed{
            "CollectionLeftOpen", {0xA1, 0x01, 0xA1, 0x00, 0xC0}, "1 collection(s) left open"},
        Malformed{"ReportTooLong", TooLong(), "longer than 16383 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
