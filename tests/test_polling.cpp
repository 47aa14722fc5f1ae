// The loop and clock buttons, the tick, and the consequences of sharing one timer.
#include "protocol/DateAndTimeText.h"
#include "support/FormFixture.h"
#include "support/ShownPixels.h"
#include "window/Colours.h"
#include "window/LampShape.h"

#include <QTest>
#include <QTimer>

namespace {

using protocol::DateAndTimeText;
using testsupport::FormFixture;
using testsupport::WaitUntil;

class Loop : public FormFixture {
protected:
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    const hid::Report& lastSent() const { return layer.writes.back(); }
    /// Whether `button` comes to show `colour` on the screen inside its bevel.
    static ::testing::AssertionResult showsFace(QPushButton* button, const QColor& colour) {
        return testsupport::Shows(*button, testsupport::ButtonFaceColour, colour);
    }
    std::vector<QPushButton*> commandButtons() const {
        return {ui().DisplayADC,   ui().btnReadInput,      ui().btnReadText, ui().btnSendText,
                ui().btnWritePort, ui().btnWritePortClear, ui().USB_Command};
    }
    bool commandButtonsEnabled(bool enabled) const {
        for (const QPushButton* button : commandButtons())
            if (button->isEnabled() != enabled) return false;
        return true;
    }
    std::string textAt(const hid::Report& report, std::size_t length) const {
        return std::string(report.begin() + 2, report.begin() + 2 + static_cast<long>(length));
    }
    /// A clock stopped at a moment whose text differs from any the window showed at load.
    void stopTheClock() {
        form->setClock([] { return QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)); });
    }
};

// The label shows the moment of the load, not the caption it was laid out with.
TEST(ClockLabel, StartUpShowsTheDateAndTimeOfTheLoad) {
    testsupport::FakeHidLayer layer;
    QDateTime second = QDateTime::currentDateTime();
    window::MainForm form(layer);
    const QDateTime after = QDateTime::currentDateTime();
    // Every whole second from the one before the load to the one after it.
    QStringList possible;
    for (second = second.addMSecs(-second.time().msec()); second <= after;
         second = second.addSecs(1))
        possible << DateAndTimeText(QLocale(), second.date(), second.time());
    const QString shown = form.controls().DateTime->text();
    EXPECT_NE(shown, "DateTime");
    EXPECT_TRUE(possible.contains(shown))
        << shown.toStdString() << " is none of " << possible.join(" | ").toStdString();
}

TEST_F(Loop, TimerIsPreciseAndDoesNotTickBeforeAButton) {
    EXPECT_FALSE(ui().Timer2->isActive());
    EXPECT_EQ(ui().Timer2->timerType(), Qt::PreciseTimer);
}

TEST_F(Loop, StartLoopPollsAdThenInputWithTheLoopFlag) {
    stopTheClock();
    const std::size_t before = layer.writes.size();
    click(ui().StartLoop);
    EXPECT_EQ(ui().Timer2->interval(), 20);
    EXPECT_TRUE(commandButtonsEnabled(false));
    EXPECT_EQ(layer.writes.size(), before); // the flag waits for the first tick
    EXPECT_TRUE(showsFace(ui().StartLoop, window::colours::Green));
    EXPECT_TRUE(showsFace(ui().StopLoop, window::colours::ButtonFace));
    ASSERT_TRUE(WaitUntil([&] { return layer.writes.size() >= before + 4; }));
    for (std::size_t i = before; i < before + 4; ++i) {
        EXPECT_EQ(layer.writes[i][1], (i - before) % 2 == 0 ? 4 : 13) << i;
        EXPECT_EQ(layer.writes[i][23], 1) << i;
    }
    EXPECT_EQ(ui().LED2->fillColour(), window::colours::Green);
    EXPECT_EQ(ui().DateTime->text(), form->fncDateAndTime()); // each tick shows the clock
}

TEST_F(Loop, StopLoopResendsTheLastCodeWithTheFlagDownAndClearsEverything) {
    click(ui().StartLoop);
    form->Timer2_Timer();
    click(ui().StopLoop);
    EXPECT_FALSE(ui().Timer2->isActive());
    EXPECT_EQ(lastSent()[1], 13);
    EXPECT_EQ(lastSent()[23], 0);
    EXPECT_EQ(form->bufferOut(), hid::Report{});
    EXPECT_EQ(form->bufferIn(), hid::Report{});
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "0");
    EXPECT_EQ(ui().BufferOutBox[23]->text(), "0");
    EXPECT_TRUE(commandButtonsEnabled(true));
    EXPECT_TRUE(showsFace(ui().StopLoop, window::colours::Red));
    EXPECT_TRUE(showsFace(ui().StartLoop, window::colours::ButtonFace));
}

TEST_F(Loop, ClockStreamSendsTheTextAndEndsEachTickRed) {
    click(ui().TimeBut);
    ASSERT_TRUE(showsFace(ui().TimeBut, window::colours::Red));
    click(ui().DateBut);
    EXPECT_EQ(ui().Timer2->intervalAsDuration(), std::chrono::milliseconds(20));
    EXPECT_EQ(ui().DateBut->text(), "Clock On");
    EXPECT_TRUE(showsFace(ui().DateBut, window::colours::Green));
    EXPECT_TRUE(
        showsFace(ui().TimeBut, window::colours::ButtonFace)); // no longer the red TimeBut gave it
    EXPECT_EQ(ui().TimeBut->text(), "Clock Off");              // the caption TimeBut gave it stays
    EXPECT_TRUE(ui().Timer2->isActive());
    form->Timer2_Timer();
    const QString shown = ui().DateTime->text();
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(shown.size()), 23);
    EXPECT_EQ(lastSent()[1], 6);
    // The report carries the very text the label shows.
    EXPECT_EQ(textAt(lastSent(), length), shown.left(static_cast<qsizetype>(length)).toStdString());
    EXPECT_EQ(ui().LED2->fillColour(), window::colours::Red);
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "6");
}

// The clock text fills indexes 2 to n + 1 and nothing else: 20 characters reach the port value
// at 21, 22 the loop flag at 23, 23 the last mirrored byte; a shorter text leaves the bytes
// after it as the longer one before it left them.
TEST_F(Loop, ClockTextsOfTwentyToTwentyThreeCharactersFillTheirBytesOnly) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QDateTime now;
    form->setClock([&] { return now; });
    ui().txtWritePort->setText("200");
    click(ui().btnWritePort);
    click(ui().StartLoop);
    click(ui().DateBut);

    const struct {
        QDateTime when;
        const char* text;
    } ticks[] = {
        {QDateTime(QDate(2026, 1, 5), QTime(9, 5, 0)), "1/5/2026  9:05:00 AM"},
        {QDateTime(QDate(2026, 1, 5), QTime(10, 5, 0)), "1/5/2026  10:05:00 AM"},
        {QDateTime(QDate(2026, 12, 6), QTime(10, 30, 0)), "12/6/2026  10:30:00 AM"},
        {QDateTime(QDate(2026, 12, 16), QTime(22, 30, 0)), "12/16/2026  10:30:00 PM"},
        {QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)), "3/4/2026  9:05:07 AM"},
    };
    hid::Report expected = form->bufferOut();
    for (const auto& tick : ticks) {
        now = tick.when;
        form->Timer2_Timer();
        const std::string text = tick.text;
        ASSERT_EQ(ui().DateTime->text().toStdString(), text);
        std::copy(text.begin(), text.end(), expected.begin() + 2);
        expected[1] = 6;
        EXPECT_EQ(lastSent(), expected) << text;
    }
    // The first tick's 20 characters overwrote the port value and left the loop flag.
    EXPECT_EQ(layer.writes[layer.writes.size() - 5][21], 'M');
    EXPECT_EQ(layer.writes[layer.writes.size() - 5][23], 1);
    EXPECT_EQ(layer.writes[layer.writes.size() - 4][23], 1);
    EXPECT_EQ(layer.writes[layer.writes.size() - 3][23], 'M');
    EXPECT_EQ(ui().BufferOutBox[24]->text(), QString::number('M'));
    QLocale::setDefault(QLocale::system());

    click(ui().StopLoop); // repeats code 6 and the clock text with the flag down
    EXPECT_EQ(lastSent()[1], 6);
    EXPECT_EQ(lastSent()[23], 0);
    EXPECT_EQ(lastSent()[2], '3');
}

// Where the locale's text is longer than 23 characters, the label shows all of it and the
// report its first 23: index 25 and on keep their bytes.
TEST_F(Loop, ClockTextLongerThanTwentyThreeCharactersSendsItsFirstTwentyThree) {
    QLocale::setDefault(QLocale(QLocale::LowGerman, QLocale::Germany));
    stopTheClock();
    const QString text = form->fncDateAndTime();
    click(ui().DateBut);
    form->Timer2_Timer();
    QLocale::setDefault(QLocale::system());
    ASSERT_GT(text.size(), 23) << text.toStdString();
    EXPECT_EQ(ui().DateTime->text(), text);
    EXPECT_EQ(lastSent()[1], 6);
    EXPECT_EQ(textAt(lastSent(), 23), text.left(23).toStdString());
    for (std::size_t i = 25; i < lastSent().size(); ++i)
        EXPECT_EQ(lastSent()[i], 0) << i;
}

// The date and the time come from one reading of the clock: two readings on either side of
// midnight would pair the old day's date with the new day's 12:00:00 AM.
TEST_F(Loop, TheDateAndTimeTextReadsTheClockOnce) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime readings[] = {QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 999)),
                                  QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0))};
    int read = 0;
    form->setClock([&] { return readings[std::min(read++, 1)]; });
    EXPECT_EQ(form->fncDateAndTime(), "12/6/2026  11:59:59 PM");
    EXPECT_EQ(read, 1);
    QLocale::setDefault(QLocale::system());
}

TEST_F(Loop, TimeButSendsResetAndStopsEvenAPollingLoop) {
    click(ui().StartLoop);
    click(ui().TimeBut);
    EXPECT_FALSE(ui().Timer2->isActive());
    EXPECT_EQ(lastSent()[1], 50);
    EXPECT_EQ(lastSent()[23], 0);
    EXPECT_EQ(form->bufferOut(), hid::Report{});
    EXPECT_EQ(ui().DateBut->text(), "Clock");
    EXPECT_EQ(ui().TimeBut->text(), "Clock Off");
    EXPECT_TRUE(showsFace(ui().TimeBut, window::colours::Red));
    EXPECT_TRUE(showsFace(ui().DateBut, window::colours::ButtonFace));
    // The loop's buttons are left as the loop set them until Stop Loop.
    EXPECT_TRUE(commandButtonsEnabled(false));
    EXPECT_TRUE(showsFace(ui().StartLoop, window::colours::Green));
}

TEST_F(Loop, AfterTheClockButtonsTheLoopNeverPollsAgain) {
    stopTheClock();
    click(ui().TimeBut);
    const std::size_t sent = layer.writes.size();
    click(ui().StartLoop);
    ui().LED2->setFillColour(window::colours::Red);
    form->Timer2_Timer();
    EXPECT_EQ(layer.writes.size(), sent);
    EXPECT_EQ(ui().LED2->fillColour(), window::colours::Green);
    EXPECT_EQ(ui().DateTime->text(), form->fncDateAndTime()); // the tick still shows the clock

    click(ui().DateBut);
    click(ui().StopLoop);
    click(ui().StartLoop); // resumes the clock stream, not polling
    form->Timer2_Timer();
    EXPECT_EQ(lastSent()[1], 6);
}

TEST_F(Loop, DateButWhilePollingSwitchesTheTicksToTheClock) {
    click(ui().StartLoop);
    form->Timer2_Timer();
    EXPECT_EQ(lastSent()[1], 13);
    click(ui().DateBut);
    form->Timer2_Timer();
    EXPECT_EQ(lastSent()[1], 6);
    EXPECT_TRUE(commandButtonsEnabled(false));
}

// A plug event while polling enables four of the seven again, as the device buttons are a group.
TEST_F(Loop, PlugWhilePollingEnablesTheDeviceButtons) {
    click(ui().StartLoop);
    deliver(hid::HIDEventPlugged, 7);
    EXPECT_TRUE(ui().btnReadInput->isEnabled());
    EXPECT_TRUE(ui().btnWritePort->isEnabled());
    EXPECT_FALSE(ui().DisplayADC->isEnabled());
    EXPECT_FALSE(ui().USB_Command->isEnabled());
}

} // namespace
