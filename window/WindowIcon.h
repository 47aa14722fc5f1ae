#pragma once

#include <QIcon>

namespace window {

/// The program's icon, drawn in 16, 32 and 48 pixels: a stack of white window pages with
/// cyan title bars and thin dark outlines.
QIcon MakeWindowIcon();

} // namespace window
