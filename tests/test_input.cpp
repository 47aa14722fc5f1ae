// What the board's answers show: text lines, the A/D bar, the input lamps, and DecToBin.
#include "support/FormFixture.h"
#include "window/Colours.h"
#include "window/LampShape.h"

namespace {

using testsupport::FormFixture;
using testsupport::MakeReport;

class Input : public FormFixture {
protected:
    std::vector<bool> lampsShown() const {
        std::vector<bool> shown;
        for (const QLabel* lamp : ui().PORTA1ON)
            shown.push_back(!lamp->isHidden());
        return shown;
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
    EXPECT_EQ(lampsShown(),
              (std::vector<bool>{false, false, false, false, false, true, false, true}));
    EXPECT_EQ(ui().Label4->text(), "PIC Input Status (PORTC) = 5");
    EXPECT_EQ(ui().BufferInBox[20]->text(), "5");

    answer(MakeReport(13, {{20, 128}}));
    EXPECT_EQ(lampsShown(),
              (std::vector<bool>{true, false, false, false, false, false, false, false}));
    answer(MakeReport(13, {{20, 255}}));
    EXPECT_EQ(ui().Text1->text(), "11111111");
    EXPECT_EQ(lampsShown(), std::vector<bool>(8, true));
    answer(MakeReport(13, {{20, 0}}));
    EXPECT_EQ(lampsShown(), std::vector<bool>(8, false));
}

TEST_F(Input, AdAnswerDrivesBarAndCaption) {
    answer(MakeReport(4, {{19, 255}}));
    EXPECT_EQ(ui().ProgressBar1->value(), 255);
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 255");
    answer(MakeReport(4, {{19, 0}}));
    EXPECT_EQ(ui().ProgressBar1->value(), 0);
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 0");
    EXPECT_EQ(ui().BufferInBox[1]->text(), "4");
}

TEST_F(Input, TextAnswersAddSixteenCharacterLinesInOrder) {
    hid::Report first = MakeReport(2);
    std::copy_n("ABCDEFGHIJKLMNOPQ", 17, first.begin() + 2); // index 18 holds a further letter
    answer(first);
    hid::Report second = MakeReport(2);
    std::copy_n("Hi", 2, second.begin() + 2); // the rest are zero bytes
    answer(second);
    const QStringList lines = listLines(ui().ListBox2);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(lines[1].size(), 16);
    EXPECT_TRUE(lines[1].startsWith("Hi"));
    // Zero bytes stay in the line, each shown as one bullet.
    EXPECT_EQ(lines[1].mid(2), QString(14, QChar(0x2022)));
}

TEST_F(Input, OtherCodesOnlyLightTheStrobeAndLeaveTheMirror) {
    answer(MakeReport(4, {{19, 77}}));
    const QStringList before = inMirror();
    for (const std::uint8_t code : {1, 5, 6, 50, 200}) {
        ui().LED2->setFillColour(colours::Red);
        answer(MakeReport(code, {{19, 1}, {20, 0xFF}}));
        EXPECT_EQ(ui().LED2->fillColour(), colours::Green) << int(code);
        EXPECT_EQ(inMirror(), before) << int(code);
        EXPECT_EQ(form->bufferIn()[1], code); // the buffer holds it all the same
    }
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 77");
    EXPECT_EQ(ui().ListBox2->count(), 0);
}

TEST_F(Input, FailedReadOnlyLightsTheStrobe) {
    layer.readAnswer = false;
    const QString text1 = ui().Text1->text();
    answer(MakeReport(13, {{20, 255}}));
    EXPECT_EQ(ui().LED2->fillColour(), colours::Green);
    EXPECT_EQ(ui().Text1->text(), text1);
    EXPECT_EQ(lampsShown(), std::vector<bool>(8, false));
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
        EXPECT_EQ(MainForm::DecToBin(row.value, bits), row.text)
            << int(row.value) << "/" << row.given;
        EXPECT_EQ(bits, row.after) << int(row.value) << "/" << row.given;
    }
}

TEST(DecToBin, CountsBeyondThirtyOneGiveLeadingZerosNotGarbage) {
    std::int16_t bits = 40;
    EXPECT_EQ(MainForm::DecToBin(129, bits), QString(32, '0') + "10000001");
    EXPECT_EQ(bits, 40);
}

} // namespace
