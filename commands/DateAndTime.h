#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace commands {

/// The date in the locale's short form with a four-digit year, two blanks, then the time in
/// its long form without a time-zone name. The "C" locale uses the United States forms, and
/// no-break spaces come out as plain blanks (the board takes one byte per character).
QString DateAndTimeText(const QLocale& locale, QDate date, QTime time);

} // namespace commands
