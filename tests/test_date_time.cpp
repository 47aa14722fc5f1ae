// The date-and-time text in the host's forms.
#include "protocol/DateAndTimeText.h"

#include <gtest/gtest.h>

namespace {

using protocol::DateAndTimeText;

const QLocale UnitedStates(QLocale::English, QLocale::UnitedStates);

TEST(DateAndTime, UnitedStatesTextsHaveTwentyToTwentyThreeCharacters) {
    EXPECT_EQ(DateAndTimeText(UnitedStates, QDate(2026, 3, 4), QTime(9, 5, 7)),
              "3/4/2026  9:05:07 AM");
    EXPECT_EQ(DateAndTimeText(UnitedStates, QDate(2026, 12, 6), QTime(10, 30, 0)),
              "12/6/2026  10:30:00 AM");
    EXPECT_EQ(DateAndTimeText(UnitedStates, QDate(2026, 12, 16), QTime(22, 30, 0)).size(), 23);
    EXPECT_EQ(DateAndTimeText(UnitedStates, QDate(2026, 3, 4), QTime(9, 5, 7)).size(), 20);
}

TEST(DateAndTime, OtherLocalesKeepTheirFormsWithAFourDigitYearAndTwoBlanks) {
    EXPECT_EQ(DateAndTimeText(QLocale(QLocale::German, QLocale::Germany), QDate(2026, 12, 6),
                              QTime(10, 30, 0)),
              "06.12.2026  10:30:00");
    const QString japanese = DateAndTimeText(QLocale(QLocale::Japanese, QLocale::Japan),
                                             QDate(2026, 12, 6), QTime(10, 30, 0));
    EXPECT_TRUE(japanese.startsWith("2026/12/06  ")) << japanese.toStdString();
    EXPECT_FALSE(japanese.contains("UTC"));
}

TEST(DateAndTime, NoTimeZoneNameEvenWhereTheFormFramesIt) {
    const QString persian = DateAndTimeText(QLocale(QLocale::Persian, QLocale::Iran),
                                            QDate(2026, 12, 6), QTime(10, 30, 0));
    EXPECT_FALSE(persian.contains("UTC"));
    EXPECT_FALSE(persian.contains("()"));
    EXPECT_FALSE(persian.endsWith(' '));
}

TEST(DateAndTime, TheCLocaleUsesTheUnitedStatesForms) {
    EXPECT_EQ(DateAndTimeText(QLocale::c(), QDate(2026, 12, 6), QTime(10, 30, 0)),
              "12/6/2026  10:30:00 AM");
}

} // namespace
