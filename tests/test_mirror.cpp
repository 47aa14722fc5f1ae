// The buffer mirrors, Clear Buffer and the lamps' switch-off.
#include "support/FormFixture.h"

#include <QImage>
#include <QTest>
#include <memory>

namespace {

using testsupport::FormFixture;
using testsupport::MakeReport;

class Mirror : public FormFixture {
protected:
    /// The box as drawn, and as a box of the same kind, place and text draws it with the text
    /// shaped as in any other box of the window.
    struct Drawn {
        QImage box;
        QImage shaped;
    };
    Drawn drawn(QLineEdit* box) {
        if (!twin) twin = std::make_unique<QLineEdit>(form.get());
        twin->setGeometry(box->geometry());
        QFont font = box->font();
        font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() & ~QFont::PreferNoShaping));
        twin->setFont(font);
        twin->setAlignment(box->alignment());
        twin->setText(box->text());
        twin->setCursorPosition(box->cursorPosition());
        twin->show();
        return {box->grab().toImage(), twin->grab().toImage()};
    }

    std::unique_ptr<QLineEdit> twin;
};

TEST_F(Mirror, NumbersAtOneAndNineteenOnCharactersFromTwoToEighteen) {
    hid::Report report = MakeReport(2);
    for (std::size_t i = 2; i <= 24; ++i)
        report[i] = 'A';
    report[24] = 255;
    report[3] = 27;
    report[4] = 0x85;
    report[5] = 0xE9;
    report[6] = 0x7F;
    report[7] = 0x8D; // undefined in Windows-1252
    answer(report);
    EXPECT_EQ(ui().BufferInBox[3]->text(), "<27>");
    EXPECT_EQ(ui().BufferInBox[4]->text(), QString(QChar(0x2026)));
    EXPECT_EQ(ui().BufferInBox[5]->text(), QString(QChar(0xE9)));
    EXPECT_EQ(ui().BufferInBox[6]->text(), "<127>");
    EXPECT_EQ(ui().BufferInBox[7]->text(), "<141>");
    EXPECT_EQ(ui().BufferInBox[0]->text(), "0");
    EXPECT_EQ(ui().BufferInBox[1]->text(), "2");
    EXPECT_EQ(ui().BufferInBox[2]->text(), "A");
    EXPECT_EQ(ui().BufferInBox[18]->text(), "A");
    EXPECT_EQ(ui().BufferInBox[19]->text(), "65");
    EXPECT_EQ(ui().BufferInBox[24]->text(), "255");
}

// Each text a mirror box can show: every byte as a character and as a number, and the marks of
// the control codes; and the input bits' digits. Laid out without shaping, each must look the
// same as with it.
TEST_F(Mirror, EveryTextAMirrorShowsLooksAsIfShaped) {
    for (int byte = 0; byte <= 255; ++byte) {
        hid::Report report = MakeReport(13); // the input bits, at 20, and the mirror's bytes
        for (std::size_t i = 2; i <= 24; ++i)
            report[i] = static_cast<std::uint8_t>(byte);
        answer(report);
        for (QLineEdit* box : {ui().BufferInBox[2], ui().BufferInBox[19], ui().Text1}) {
            const Drawn look = drawn(box);
            ASSERT_EQ(look.box, look.shaped)
                << "byte " << byte << " as " << box->text().toStdString() << " in "
                << box->objectName().toStdString();
        }
    }
}

// Text typed into a mirror box is anything at all: kerned pairs as in any other box.
TEST_F(Mirror, TextTypedIntoAMirrorBoxIsShaped) {
    QLineEdit* box = ui().BufferOutBox[3];
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "AVAToLTYo");
    box->clearFocus();
    const Drawn look = drawn(box);
    EXPECT_EQ(look.box, look.shaped);

    QTest::mouseClick(ui().ClearBuffers, Qt::LeftButton);
    EXPECT_EQ(box->text(), "<0>") << "the mirror takes the box back";
}

TEST_F(Mirror, StartUpLeavesBothMirrorsCleared) {
    for (std::size_t i = 0; i < window::BufferRows; ++i) {
        const bool character = i >= 2 && i <= 18;
        const QString expected = character ? QString("<0>") : QString("0");
        EXPECT_EQ(ui().BufferInBox[i]->text(), expected) << i;
        EXPECT_EQ(ui().BufferOutBox[i]->text(), expected) << i;
    }
}

TEST_F(Mirror, ClearBufferZeroesEverythingButLeavesLampsAndAnswers) {
    answer(MakeReport(13, {{20, 0xF0}}));
    answer(MakeReport(4, {{19, 99}}));
    hid::Report text = MakeReport(2);
    text[2] = 'x';
    answer(text);
    QTest::mouseClick(ui().btnReadText, Qt::LeftButton);

    QTest::mouseClick(ui().ClearBuffers, Qt::LeftButton);
    EXPECT_EQ(form->bufferIn(), hid::Report{});
    EXPECT_EQ(form->bufferOut(), hid::Report{});
    EXPECT_EQ(ui().ListBox2->count(), 0);
    EXPECT_EQ(ui().BufferInBox[1]->text(), "0");
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "0");
    EXPECT_EQ(ui().Text1->text(), "11110000");
    EXPECT_FALSE(ui().PORTA1ON[0]->isHidden());
    EXPECT_EQ(ui().ProgressBar1->value(), 99);
    EXPECT_EQ(ui().Label1->text(), "A to D (RA2) = 99");
    EXPECT_EQ(ui().Label4->text(), "PIC Input Status (PORTC) = 240");
    EXPECT_EQ(layer.writes.size(), 2u); // start-up and Read Text: clearing sends nothing
}

TEST_F(Mirror, ClearLedHidesAllLampsAndKeepsTheDigits) {
    answer(MakeReport(13, {{20, 0xFF}}));
    form->ClearLed();
    for (const QLabel* lamp : ui().PORTA1ON)
        EXPECT_TRUE(lamp->isHidden());
    for (const QLabel* lamp : ui().PORTA1OFF)
        EXPECT_FALSE(lamp->isHidden());
    EXPECT_EQ(ui().Text1->text(), "11111111");
}

TEST_F(Mirror, OutputMirrorCatchesUpWithTheFirstSendAfterStartUp) {
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "0");
    QTest::mouseClick(ui().btnReadInput, Qt::LeftButton);
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "13");
}

} // namespace
