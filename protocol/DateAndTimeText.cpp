#include "protocol/DateAndTimeText.h"

#include "protocol/ReportText.h"

namespace protocol {
namespace {

/// The short date format with its year widened to four digits.
QString FourDigitYear(QString format) {
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

/// The long time format with its time-zone field (unquoted "t") and what only framed it taken out.
QString WithoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (const QChar character : format) {
        if (character == u'\'') quoted = !quoted;
        if (quoted || character != u't') result += character;
    }
    result.replace(QLatin1String("()"), QString());
    return result.trimmed();
}

} // namespace

QString DateAndTimeText(const QLocale& locale, QDate date, QTime time) {
    const QLocale forms =
        locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale;
    QString text = forms.toString(date, FourDigitYear(forms.dateFormat(QLocale::ShortFormat))) +
                   QLatin1String("  ") +
                   forms.toString(time, WithoutTimeZone(forms.timeFormat(QLocale::LongFormat)));
    text.replace(QChar::Nbsp, u' ');
    text.replace(QChar(0x202F),
                 u' '); // narrow no-break space, used before AM/PM by newer locale data
    return text;
}

void PutDateTime(Report& report, QStringView text) {
    PutText(report, TextIndex, text, ClockTextLength);
    report[CommandIndex] = Code::DateTime;
}

} // namespace protocol
