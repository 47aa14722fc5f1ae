#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace commands {

/// An operator's decimal text as a byte: read in the locale's number format, blanks around
/// it ignored, a fraction rounded to the nearest whole number with halves to the even
/// neighbour (2.5 gives 2, 3.5 gives 4). Nothing when the text is no number or the rounded
/// number lies outside 0 to 255.
std::optional<std::uint8_t> ParseByte(const QString& text, const QLocale& locale = QLocale());

} // namespace commands
