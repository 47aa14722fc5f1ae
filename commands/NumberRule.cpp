#include "commands/NumberRule.h"

#include <cmath>

namespace commands {

std::optional<std::uint8_t> ParseByte(const QString& text, const QLocale& locale) {
    bool ok = false;
    const double number = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(number)) return std::nullopt;
    const double rounded = std::nearbyint(number); // the default rounding: halves to even
    if (rounded < 0 || rounded > 255) return std::nullopt;
    return static_cast<std::uint8_t>(rounded);
}

} // namespace commands
