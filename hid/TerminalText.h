#pragma once

#include <string>
#include <string_view>

namespace hid {

/// `text` (UTF-8) made safe to print on a terminal: every control character (C0, DEL, C1),
/// the line and paragraph separators and the bidirectional overrides are shown as \xNN or
/// \uNNNN, so that nothing a board, a file or a plan says can move the cursor, clear the
/// screen, retitle the window, hide what follows or start a line of its own. Bytes that are
/// not UTF-8 are shown as \xNN too. What it gives is also text XML can carry (no control
/// character but the escapes' own, no U+FFFE or U+FFFF), so the records show a text as the
/// console does.
std::string TerminalText(std::string_view text);

} // namespace hid
