// Text in and out of reports, and the one send.
#include "protocol/ReportText.h"
#include "hid/TerminalText.h"
#include "protocol/Send.h"
#include "support/FakeHidLayer.h"

#include <gtest/gtest.h>

namespace {

TEST(ReportText, OutgoingCharactersKeepTheLowByteOfTheirCodeUnit) {
    protocol::Report report{};
    report.fill(0x77);
    const std::size_t written = protocol::PutText(report, 2, u"A\u00e9\u20ac", 17);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(report[2], 'A');
    EXPECT_EQ(report[3], 0xE9);
    EXPECT_EQ(report[4], 0xAC);
    EXPECT_EQ(report[5], 0x77); // bytes after the text keep their values
}

TEST(ReportText, OutgoingTextStopsAtItsLimitAndAtTheEndOfTheReport) {
    protocol::Report report{};
    EXPECT_EQ(protocol::PutText(report, 2, u"abcdefghijklmnopqrstuvwxyz", 17), 17u);
    EXPECT_EQ(report[18], 'q');
    EXPECT_EQ(report[19], 0);
    EXPECT_EQ(protocol::PutText(report, 30, u"abcdefgh", 23), 3u);
    EXPECT_EQ(report[32], 'c');
}

TEST(ReportText, IncomingBytesAreWindows1252CharactersZerosIncluded) {
    protocol::Report report{};
    const std::uint8_t bytes[] = {'H',  0xE9, 0,    0x80, 0x95, 0x99,
                                  0x9F, 0x81, 0x8D, 0x8F, 0x90, 0x9D};
    std::copy(std::begin(bytes), std::end(bytes), report.begin() + 2);
    const QString text = protocol::TakeText(report, 2, 16);
    ASSERT_EQ(text.size(), 16);
    EXPECT_EQ(text.left(7), QString::fromUtf8("H\u00e9") + QChar(0) +
                                QString::fromUtf8("\u20ac\u2022\u2122\u0178"));
    // The five bytes Windows-1252 leaves undefined become the C1 controls of their number.
    EXPECT_EQ(text.mid(7, 5), QString::fromUtf16(u"\u0081\u008d\u008f\u0090\u009d"));
}

// Nothing a board or a file says may steer the operator's terminal.
TEST(TerminalText, ControlCharactersShowAsEscapesAndTheRestAsItIs) {
    const std::pair<std::string, std::string> cases[] = {
        {"Café ™ € 日本", "Café ™ € 日本"},
        {"Prod\x1b]0;pwned\a\x1b[2J", "Prod\\x1b]0;pwned\\x07\\x1b[2J"},
        {"a\nPASS", "a\\x0aPASS"},
        {"\x7f \xc2\x81", "\\x7f \\x81"},
        {"\xe2\x80\xae evil", "\\u202e evil"},
        {"\xff\xc3", "\\xff\\xc3"},                     // not UTF-8
        {"\xef\xbf\xbe\xef\xbf\xbf", "\\ufffe\\uffff"}, // noncharacters XML cannot carry
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(hid::TerminalText(text), shown) << text;
}

TEST(Send, HandsTheWholeBufferToTheBoardsIds) {
    testsupport::FakeHidLayer layer;
    protocol::Report buffer{};
    buffer[1] = 14;
    buffer[21] = 200;
    buffer[32] = 9;
    protocol::Send(layer, buffer);
    ASSERT_EQ(layer.writes.size(), 1u);
    EXPECT_EQ(layer.calls.back(), "WriteEx 4660 1");
    EXPECT_EQ(layer.writes[0], buffer);
}

} // namespace
