// The number rule (txtWritePort, cmdUSB) on any short text in eight locales.
//
// Checks, besides the sanitizers: blanks around a text change nothing; the locale's own
// writing of an accepted byte reads back as that byte; and a plain decimal (up to six digits,
// optionally a separator and up to six more) gives what exact decimal arithmetic gives:
// the nearest whole number, a half to the even one, refused outside 0 to 255.
#include "FuzzSupport.h"
#include "commands/NumberRule.h"

#include <QLocale>
#include <QString>
#include <array>
#include <optional>

namespace {

using fuzzsupport::ByteReader;

constexpr qsizetype MaxLength = 48;

struct Case {
    QLocale locale;
    char16_t decimalPoint; ///< for the plain decimals the check computes itself; 0: none
};

const std::array<Case, 8> Cases{
    Case{QLocale::c(), u'.'},
    Case{QLocale(QLocale::English, QLocale::UnitedStates), u'.'},
    Case{QLocale(QLocale::German, QLocale::Germany), u','},
    Case{QLocale(QLocale::French, QLocale::France), u','}, // groups with a narrow no-break space
    Case{QLocale(QLocale::Arabic, QLocale::Egypt), 0},     // its own digits and separators
    Case{QLocale(QLocale::Hindi, QLocale::India), u'.'},
    Case{QLocale(QLocale::Persian, QLocale::Iran), 0},
    Case{QLocale(QLocale::Japanese, QLocale::Japan), u'.'},
};

/// What exact arithmetic makes of "D[.F]" (1 to 6 digits D without a leading zero unless D is
/// "0", 1 to 6 digits F): nothing when the text is not of that form.
std::optional<std::optional<std::uint8_t>> PlainDecimal(const QString& text, char16_t point) {
    const QString trimmed = text.trimmed();
    const qsizetype pointAt = point ? trimmed.indexOf(QChar(point)) : -1;
    const QString whole = pointAt < 0 ? trimmed : trimmed.left(pointAt);
    const QString fraction = pointAt < 0 ? QString() : trimmed.mid(pointAt + 1);
    const auto digits = [](const QString& part) {
        for (const QChar c : part)
            if (c < u'0' || c > u'9') return false;
        return true;
    };
    if (whole.isEmpty() || whole.size() > 6 || !digits(whole)) return std::nullopt;
    if (whole.size() > 1 && whole[0] == u'0') return std::nullopt;
    if (pointAt >= 0 && (fraction.isEmpty() || fraction.size() > 6 || !digits(fraction)))
        return std::nullopt;

    long value = whole.toLong();
    if (!fraction.isEmpty()) {
        const QString padded = fraction.leftJustified(6, u'0');
        const long millionths = padded.toLong();
        if (millionths > 500'000 || (millionths == 500'000 && value % 2 == 1)) ++value;
    }
    if (value > 255) return std::optional<std::uint8_t>{};
    return std::optional<std::uint8_t>{static_cast<std::uint8_t>(value)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    const Case& test = Cases[input.byte() % Cases.size()];
    const auto rest = input.rest();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(rest.data()),
                                           static_cast<qsizetype>(rest.size()))
                             .left(MaxLength);

    const auto value = commands::ParseByte(text, test.locale);
    FUZZ_CHECK(commands::ParseByte(" " + text + "\t ", test.locale) == value);
    if (value)
        FUZZ_CHECK(commands::ParseByte(test.locale.toString(int{*value}), test.locale) == value);
    if (test.decimalPoint)
        if (const auto expected = PlainDecimal(text, test.decimalPoint))
            FUZZ_CHECK(value == *expected);
    return 0;
}
