#pragma once

class QWidget;

/// Moves `window` to the right of `anchor`, top edges level, where the screen has room, else
/// to the screen's right edge.
void PlaceBeside(QWidget& window, const QWidget& anchor);
