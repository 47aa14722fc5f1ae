#pragma once

#include "protocol/ReportLayout.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace protocol {

/// The clock text the console sends with code 6 (DateTime): the date in the locale's short form
/// with a four-digit year, two blanks, then the time in its long form without a time-zone name. The
/// "C" locale uses the United States forms, and no-break spaces come out as plain blanks (the board
/// takes one byte per character).
QString DateAndTimeText(const QLocale& locale, QDate date, QTime time);

/// Makes `report` the clock report: code 6 (DateTime) with `text` from TextIndex on, as much of
/// it as ClockTextLength allows; the other bytes keep their values.
void PutDateTime(Report& report, QStringView text);

} // namespace protocol
