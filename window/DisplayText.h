#pragma once

#include <QString>
#include <cstdint>

namespace window {

/// A report byte as one character an engineer can read: Latin-1 as it is, a control code
/// as its visible symbol (0 shows as U+2400 "␀", 0x1B as "␛", 0x7F as "␡") and a C1
/// control (0x80-0x9F) as U+FFFD. One byte always gives one character, so a 16-byte text
/// stays 16 characters long.
QChar VisibleChar(char16_t latin1);

/// VisibleChar for every character of a text read from a report.
QString VisibleText(QString text);

} // namespace window
