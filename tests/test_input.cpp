// What the board's answers show: text lines, the A/D bar, the input lamps, and DecToBin.
#include "support/FormFixture.h"
#include "support/ShownPixels.h"
#include "window/Colours.h"
#include "window/LampShape.h"

namespace {

using testsupport::FormFixture;
using testsupport::MakeReport;
using testsupport::Shows;

/// The columns of a bar's middle row painted in the fill's blue, where the groove is white.
int FilledColumns(const QImage& bar) {
    int filled = 0;
    for (int x = 0; x < bar.width(); ++x) {
        const QColor pixel = bar.pixelColor(x, bar.height() / 2);
        filled += pixel.blue() - pixel.red() > 64;
    }
    return filled;
}

class Input : public FormFixture {
protected:
    /// Whether the window comes to show the input lamps lit as `lit` says, most significant
    /// first: a lit lamp's glass is bright green, an unlit one's dark.
    ::testing::AssertionResult showsLamps(const std::vector<bool>& lit) const {
        const auto litOnScreen = [this](const QImage& window) {
            std::vector<bool> shown;
            for (const QLabel* lamp : ui().PORTA1OFF)
                shown.push_back(window.pixelColor(lamp->geometry().center()).green() > 200);
            return shown;
        };
        return Shows(*form, litOnScreen, lit);
    }
    /// Everything the window shows as text, the bar and the lamps.
    QStringList windowTexts() const {
        QStringList texts = inMirror();
        for (const QLabel* label : form->findChildren<QLabel*>())
            texts << label->objectName() + "=" + label->text() +
                         (label->isHidden() ? " hidden" : "");
        for (const QLineEdit* box : form->findChildren<QLineEdit*>())
            texts << box->objectName() + "=" + box->text();
        texts << listLines(ui().ListBox2) << listLines(ui().ListBox);
        texts << QString::number(ui().ProgressBar1->value()) << form->windowTitle();
        return texts;
    }
    QStringList inMirror() const {
        QStringList texts;
        for (const QLineEdit* box : ui().BufferInBox)
            texts << box->text();
        return texts;
    }
};

TEST_F(Input, PortAnswerShowsDigitsLampsMostSignificantFirstAndCaption) {
    answer(MakeReport(13, {{20, 5}}));
    EXPECT_EQ(ui().Text1->text(), "00000101");
    EXPECT_TRUE(showsLamps({false, false, false, false, false, true, false, true}));
    EXPECT_EQ(ui().Label4->text(), "PIC Input Status (PORTC) = 5");
    EXPECT_EQ(ui().BufferInBox[20]->text(), "5");

    answer(MakeReport(13, {{20, 128}}));
    EXPECT_TRUE(showsLamps({true, false, false, false, false, false, false, false}));
    answer(MakeReport(13, {{20, 255}}));
    EXPECT_EQ(ui().Text1->text(), "11111111");
    EXPECT_TRUE(showsLamps(std::vector<bool>(8, true)));
    answer(MakeReport(13, {{20, 0}}));
    EXPECT_TRUE(showsLamps(std::vector<bool>(8, false)));
}

TEST_F(Input, AdAnswerDrivesBarAndCaption) {
    // The fill reaches as far along the bar as the value is of 255: all the way, a quarter and
    // most of the way (both drawn from the kept pictures), not at all.
    QProgressBar& bar = *ui().ProgressBar1;
    for (const int value : {255, 64, 200, 0}) {
        answer(MakeReport(4, {{19, std::uint8_t(value)}}));
        const int reach = value * bar.width() / 255;
        const int filled = testsupport::ReadShownUntil(
            bar, FilledColumns, [&](int columns) { return std::abs(columns - reach) <= 2; });
        EXPECT_NEAR(filled, reach, 2) << value;
        EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = " + QString::number(value));
    }
    EXPECT_EQ(ui().BufferInBox[1]->text(), "4");
}

TEST_F(Input, TextAnswersAddSixteenCharacterLinesInOrder) {
    hid::Report first = MakeReport(2);
    std::copy_n("ABCDEFGHIJKLMNOPQ", 17, first.begin() + 2); // index 18 holds a further letter
    answer(first);
    hid::Report second = MakeReport(2);
    std::copy_n("Hi", 2, second.begin() + 2); // the rest are zero bytes
    answer(second);
    EXPECT_EQ(listLines(ui().ListBox2), (QStringList{"ABCDEFGHIJKLMNOP", "Hi"}));
}

// The text line ends at the first zero byte, so a short answer padded with zero bytes shows
// as just its letters, while the mirror still shows every byte.
TEST_F(Input, TextLineEndsAtTheFirstZeroByte) {
    hid::Report report = MakeReport(2);
    std::copy_n("AB\0CD", 5, report.begin() + 2);
    answer(report);
    EXPECT_EQ(listLines(ui().ListBox2), QStringList{"AB"});
    EXPECT_EQ(ui().BufferInBox[4]->text(), "<0>");
    EXPECT_EQ(ui().BufferInBox[5]->text(), "C");
}

// Bytes 0x80 to 0x9F are Windows-1252 characters and show as such; only control codes and
// the five undefined bytes show as the mark.
TEST_F(Input, TextBytesAreWindows1252WithAMarkForControlCodes) {
    const QChar mark(0x25A1);
    hid::Report report = MakeReport(2);
    const std::uint8_t bytes[] = {0x80, 0x85, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,
                                  0x97, 0x99, 0xE9, 0x01, 0x1B, 0x7F, 0x81, 0x9D};
    std::copy(std::begin(bytes), std::end(bytes), report.begin() + 2);
    answer(report);
    const QString expected = QString::fromUtf8("\u20ac\u2026\u2018\u2019\u201c\u201d\u2022"
                                               "\u2013\u2014\u2122\u00e9") +
                             QString(5, mark);
    EXPECT_EQ(listLines(ui().ListBox2), QStringList{expected});
    EXPECT_EQ(ui().BufferInBox[2]->text(), QString::fromUtf8("\u20ac"));
    EXPECT_EQ(ui().BufferInBox[16]->text(), "<129>");
}

TEST_F(Input, OtherCodesOnlyLightTheStrobeAndLeaveTheMirror) {
    answer(MakeReport(4, {{19, 77}}));
    const QStringList before = inMirror();
    for (const std::uint8_t code : {1, 5, 6, 50, 200}) {
        ui().LED2->setFillColour(window::colours::Red);
        ASSERT_TRUE(Shows(*ui().LED2, testsupport::CentreColour, window::colours::Red));
        answer(MakeReport(code, {{19, 1}, {20, 0xFF}}));
        EXPECT_TRUE(Shows(*ui().LED2, testsupport::CentreColour, window::colours::Green))
            << int(code);
        EXPECT_EQ(inMirror(), before) << int(code);
        EXPECT_EQ(form->bufferIn()[1], code); // the buffer holds it all the same
    }
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 77");
    EXPECT_EQ(ui().ListBox2->count(), 0);
}

// Bytes 25 to 32 are never shown: an answer that differs only there shows the same window.
TEST_F(Input, BytesTwentyFiveToThirtyTwoChangeNothingOnTheWindow) {
    for (const std::uint8_t code : {2, 4, 13}) {
        hid::Report plain = MakeReport(code);
        std::fill(plain.begin() + 2, plain.begin() + 25, 'x'); // no zero byte to end a line early
        plain[19] = 90;
        plain[20] = 0x3C;
        answer(plain);
        const QStringList shown = windowTexts();
        hid::Report tail = plain;
        for (std::size_t i = 25; i < tail.size(); ++i)
            tail[i] = static_cast<std::uint8_t>(0xA0 + i);
        answer(tail);
        QStringList shownAfter = windowTexts();
        if (code == 2) { // a text answer adds its line again; the two lines must be the same
            ASSERT_EQ(ui().ListBox2->count(), 2);
            EXPECT_EQ(ui().ListBox2->item(1)->text(), ui().ListBox2->item(0)->text());
            delete ui().ListBox2->takeItem(1); // taken items are the caller's to delete
            shownAfter = windowTexts();
            ui().ListBox2->clear();
        }
        EXPECT_EQ(shownAfter, shown) << int(code);
    }
}

// The buffer still holds the last answer when a Read fails: nothing of it is shown again.
TEST_F(Input, FailedReadOnlyLightsTheStrobe) {
    answer(MakeReport(4, {{19, 77}}));
    answer(MakeReport(13, {{20, 0x81}}));
    hid::Report text = MakeReport(2);
    std::copy_n("Hi", 2, text.begin() + 2);
    answer(text); // shown again, it would add a second line
    const QStringList shown = windowTexts();

    layer.readAnswer = false;
    ui().LED2->setFillColour(window::colours::Red);
    answer(MakeReport(4, {{19, 5}}));
    EXPECT_EQ(ui().LED2->fillColour(), window::colours::Green);
    EXPECT_EQ(form->bufferIn(), text);
    EXPECT_EQ(windowTexts(), shown);
    EXPECT_EQ(listLines(ui().ListBox2), QStringList{"Hi"});
    EXPECT_EQ(ui().ProgressBar1->value(), 77);
    EXPECT_TRUE(showsLamps({true, false, false, false, false, false, false, true}));
}

TEST_F(Input, ReadUsesTheEventsHandle) {
    answer(MakeReport(4), 42);
    EXPECT_EQ(layer.readHandles.back(), 42);
}

TEST(DecToBin, RendersAndWidensAsTheWorkedTableSays) {
    struct Row {
        std::uint8_t value;
        std::int16_t given;
        std::int16_t after;
        const char* text;
    };
    for (const Row& row :
         {Row{0, 8, 8, "00000000"}, Row{5, 8, 8, "00000101"}, Row{255, 8, 8, "11111111"},
          Row{5, 2, 10, "0000000101"}, Row{255, 4, 12, "000011111111"}, Row{1, 0, 8, "00000001"},
          Row{0, 0, 0, ""}}) {
        std::int16_t bits = row.given;
        EXPECT_EQ(window::MainForm::DecToBin(row.value, bits), row.text)
            << int(row.value) << "/" << row.given;
        EXPECT_EQ(bits, row.after) << int(row.value) << "/" << row.given;
    }
}

TEST(DecToBin, CountsBeyondThirtyOneGiveLeadingZerosNotGarbage) {
    std::int16_t bits = 40;
    EXPECT_EQ(window::MainForm::DecToBin(129, bits), QString(32, '0') + "10000001");
    EXPECT_EQ(bits, 40);
}

} // namespace
