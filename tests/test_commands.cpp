// The command buttons, the slider and the number rule, as the operator uses them.
#include "commands/NumberRule.h"
#include "support/FormFixture.h"
#include "window/ClickSlider.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTest>

namespace {

using testsupport::FormFixture;

class Commands : public FormFixture {
protected:
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void type(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }
    const hid::Report& lastSent() const { return layer.writes.back(); }
    QMessageBox* message() const { return form->findChild<QMessageBox*>("NumberMessage"); }
};

TEST_F(Commands, PortWriteSendsTheValueAndCaptionsIt) {
    click(ui().btnWritePort); // "255" at load
    EXPECT_EQ(lastSent()[1], 14);
    EXPECT_EQ(lastSent()[21], 255);
    EXPECT_EQ(ui().Label5->text(), "PIC Output Status (PORTD) = 255");
    EXPECT_EQ(ui().BufferOutBox[21]->text(), "255");
}

TEST_F(Commands, BytesStickAcrossCommands) {
    type(ui().txtWritePort, "200");
    click(ui().btnWritePort);
    click(ui().DisplayADC);
    EXPECT_EQ(lastSent()[1], 4);
    EXPECT_EQ(lastSent()[21], 200); // the port value rides along

    click(ui().btnSendText);
    type(ui().txtWritePort, "7");
    click(ui().btnWritePort);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(lastSent().data() + 2), 16),
              "Midi Char Test!!");
    EXPECT_EQ(lastSent()[21], 7);
}

TEST_F(Commands, PortClearSendsZeroAndMovesTheSliderWithoutASecondReport) {
    ui().Slider1->setValue(90);
    type(ui().txtWritePort, "200");
    click(ui().btnWritePort);
    const std::size_t before = layer.writes.size();
    click(ui().btnWritePortClear);
    EXPECT_EQ(layer.writes.size(), before + 1);
    EXPECT_EQ(lastSent()[1], 14);
    EXPECT_EQ(lastSent()[21], 0);
    EXPECT_EQ(ui().Label5->text(), "PIC Output Status (PORTD) = 0");
    EXPECT_EQ(ui().Slider1->value(), 0);
}

TEST_F(Commands, SliderSendsOnlyWhenTheOperatorMovesIt) {
    const std::size_t before = layer.writes.size();
    ui().Slider1->setValue(128); // set by the program: nothing goes out
    EXPECT_EQ(layer.writes.size(), before);
    QTest::mouseClick(ui().Slider1, Qt::LeftButton, {}, ui().Slider1->rect().center());
    ASSERT_EQ(layer.writes.size(), before + 1);
    EXPECT_EQ(lastSent()[1], 14);
    EXPECT_EQ(lastSent()[21], ui().Slider1->value());
    EXPECT_EQ(ui().Label5->text(),
              "PIC Output Status (PORTD) = " + QString::number(ui().Slider1->value()));
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "14"); // the output mirror shows what went out
    EXPECT_EQ(ui().BufferOutBox[21]->text(), QString::number(ui().Slider1->value()));
    ui().Slider1->setFocus();
    QTest::keyClick(ui().Slider1, Qt::Key_Right);
    ASSERT_EQ(layer.writes.size(), before + 2);
    EXPECT_EQ(lastSent()[21], ui().Slider1->value());

    // Pressed on it but released beside it: the operator changed their mind.
    const QPoint beside = ui().Slider1->rect().bottomRight() + QPoint(10, 10);
    QTest::mousePress(ui().Slider1, Qt::LeftButton, {}, ui().Slider1->rect().center());
    QTest::mouseRelease(ui().Slider1, Qt::LeftButton, {}, beside);
    EXPECT_EQ(layer.writes.size(), before + 2);
}

// Only the left button works the slider: a right or middle click inside it sends nothing.
TEST_F(Commands, OnlyTheLeftButtonClicksTheSlider) {
    type(ui().txtWritePort, "200");
    click(ui().btnWritePort);
    const std::size_t before = layer.writes.size();
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton})
        QTest::mouseClick(ui().Slider1, button, {}, ui().Slider1->rect().center());
    EXPECT_EQ(layer.writes.size(), before);
    EXPECT_EQ(ui().Slider1->value(), 0);
    EXPECT_EQ(ui().Label5->text(), "PIC Output Status (PORTD) = 200");
}

TEST_F(Commands, ReadTextSendsCodeTwoWithTheRestOfTheBufferAsItWas) {
    type(ui().txtWritePort, "200");
    click(ui().btnWritePort);
    click(ui().btnSendText);
    hid::Report expected = lastSent();
    click(ui().btnReadText);
    expected[1] = 2;
    EXPECT_EQ(lastSent(), expected);
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "2");
}

TEST_F(Commands, SendTextClearsUpToSeventeenAndKeepsIndexEighteen) {
    type(ui().WriteText, "ABCDEFGHIJKLMNOPQRST"); // 20: only 17 go out
    click(ui().btnSendText);
    EXPECT_EQ(lastSent()[1], 1);
    EXPECT_EQ(lastSent()[18], 'Q');
    EXPECT_EQ(lastSent()[19], 0);

    type(ui().WriteText, "Hi");
    click(ui().btnSendText);
    EXPECT_EQ(lastSent()[2], 'H');
    EXPECT_EQ(lastSent()[3], 'i');
    for (std::size_t i = 4; i <= 17; ++i)
        EXPECT_EQ(lastSent()[i], 0) << i;
    EXPECT_EQ(lastSent()[18], 'Q'); // the zeroing stops at 17

    type(ui().WriteText, "");
    click(ui().btnSendText);
    EXPECT_EQ(lastSent()[1], 1);
    EXPECT_EQ(lastSent()[2], 0);
}

TEST_F(Commands, SendTextSendsTheLowByteOfEachCharacter) {
    ui().WriteText->setText(QString::fromUtf8("\u00e9\u20ac"));
    click(ui().btnSendText);
    EXPECT_EQ(lastSent()[2], 0xE9);
    EXPECT_EQ(lastSent()[3], 0xAC);
}

// The text box takes a paste of any length (a line edit cuts it at 32,767 characters without a
// word), and a text longer than a signed 16-bit count still sends its first 17 characters.
TEST_F(Commands, SendTextBeyondThirtyTwoThousandCharacters) {
    QApplication::clipboard()->setText(QString(40000, 'z'));
    ui().WriteText->clear();
    ui().WriteText->setFocus();
    QTest::keyClick(ui().WriteText, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ui().WriteText->text().size(), 40000);
    click(ui().btnSendText);
    for (std::size_t i = 2; i <= 18; ++i)
        EXPECT_EQ(lastSent()[i], 'z') << i;
    EXPECT_EQ(lastSent()[19], 0);
}

TEST_F(Commands, UsbCommandSendsTheTypedCodeWithTheBufferAsItIs) {
    type(ui().txtWritePort, "33");
    click(ui().btnWritePort);
    type(ui().cmdUSB, " 13 ");
    click(ui().USB_Command);
    hid::Report expected = layer.writes[layer.writes.size() - 2];
    expected[1] = 13;
    EXPECT_EQ(lastSent(), expected);
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "13"); // the output mirror follows
    type(ui().cmdUSB, "2.5");
    click(ui().USB_Command);
    EXPECT_EQ(lastSent()[1], 2);
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "2");
}

// A bad number is refused with a message: the program goes on, nothing is sent and no byte of
// the report to send changes.
TEST_F(Commands, BadNumbersAreRefusedWithAMessageAndNothingChanges) {
    click(ui().DisplayADC);
    const std::size_t sent = layer.writes.size();
    const hid::Report before = form->bufferOut();
    for (const char* text : {"", "abc", "-1", "256", "nan", "1e400", "12abc"}) {
        type(ui().txtWritePort, text);
        click(ui().btnWritePort);
        type(ui().cmdUSB, text);
        click(ui().USB_Command);
        EXPECT_EQ(layer.writes.size(), sent) << text;
        EXPECT_EQ(form->bufferOut(), before) << text;
    }
    ASSERT_NE(message(), nullptr);
    EXPECT_TRUE(message()->isVisible());
    EXPECT_FALSE(message()->isModal());
    EXPECT_TRUE(message()->text().contains("USB command code"));
    EXPECT_TRUE(message()->text().contains("0 to 255"));
    type(ui().txtWritePort, "x");
    click(ui().btnWritePort);
    EXPECT_TRUE(message()->text().contains("PORTD Write"));
}

TEST(NumberRule, RoundsHalvesToEvenAndKeepsTheRange) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(commands::ParseByte("2.5", english), 2);
    EXPECT_EQ(commands::ParseByte("3.5", english), 4);
    EXPECT_EQ(commands::ParseByte("254.6", english), 255);
    EXPECT_EQ(commands::ParseByte("  0  ", english), 0);
    EXPECT_EQ(commands::ParseByte("-0.4", english), 0);
    EXPECT_EQ(commands::ParseByte("255.5", english), std::nullopt);
    EXPECT_EQ(commands::ParseByte("-1", english), std::nullopt);
    EXPECT_EQ(commands::ParseByte("inf", english), std::nullopt);
    EXPECT_EQ(commands::ParseByte(QString(100000, '9'), english), std::nullopt);
}

TEST(NumberRule, ReadsTheLocalesDecimalSeparator) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(commands::ParseByte("3,5", german), 4);
    EXPECT_EQ(commands::ParseByte("2,5", german), 2);
}

} // namespace
