#pragma once

#include <QString>
#include <cstdint>

namespace window {

/// A text answer as the text list shows it: one character per byte, every control code (C0,
/// DEL, C1) as "•". The bullet lies outside Latin-1, so it can never be a character the
/// board sent; zero bytes padding a short text show as a row of bullets.
QString ListText(QString latin1Text);

/// A text byte as its mirror box shows it: the Latin-1 character, or for a control code its
/// number in angle brackets ("<0>", "<27>"), which no single character can be mistaken for.
QString MirrorCharacter(std::uint8_t byte);

} // namespace window
