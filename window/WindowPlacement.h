#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

/// Where the program's windows go on screen, so that the others leave the main window's
/// controls in view. Only the place changes, never a window's own layout.
///
/// Where windows are placed by the program (X11, and Qt's offscreen platform): with extra
/// windows open, the main window goes to the top left of the screen's available area and the
/// extra windows into the room to its right, one below the other. Under Wayland a client
/// cannot place its windows: the compositor places every one, and these functions leave them
/// where it puts them.

namespace window {

/// False where the platform leaves window placement to others (Wayland's compositor).
bool ProgramPlacesWindows();

/// How big a window would like to be and how small it can be, frame included.
struct SizeRange {
    QSize preferred;
    QSize minimum;
};

/// The frames of windows beside `main` in `area`: a column in the room right of `main`, the
/// first at the top, each `gap` below the one before. A window is as wide as it would like,
/// shrunk to the room but not below its minimum, and as high, shrunk to the area's height.
/// One wider than the room runs past the area's right edge rather than over the main window;
/// one that no longer fits below the one before goes to the bottom of the area, over it.
std::vector<QRect> ColumnBeside(const QRect& area, const QRect& main,
                                const std::vector<SizeRange>& windows, int gap);

/// The top left of a frame of `size` beside `anchor` in `area`, its top level with the
/// anchor's: right of it where there is room, else left of it; with room on neither side, at
/// the area's edge on the roomier side, covering as little of the anchor as it can.
QPoint SpotBeside(const QRect& area, const QRect& anchor, const QSize& size, int gap);

/// Moves `main` to the top left of its screen's available area and `extras` beside it, by
/// ColumnBeside (resizing them within their own limits); nothing where the program does not
/// place windows. Before the windows are shown.
void ArrangeBeside(QWidget& main, const std::vector<QWidget*>& extras);

/// Moves `window` (at its size) beside `anchor`, by SpotBeside; nothing where the
/// program does not place windows.
void PlaceBeside(QWidget& window, const QWidget& anchor);

} // namespace window
