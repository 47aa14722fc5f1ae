#pragma once

#include <QColor>
#include <optional>

class QPainter;
class QWidget;

namespace window {

/// The colour a widget's parent fills under it, when it fills it with one plain colour. A
/// picture kept for a widget holds the background under it, so it is kept only there.
std::optional<QColor> PlainColourUnder(const QWidget* widget);

/// Whether the painter places pixels at whole-pixel offsets, unscaled and unturned: a kept
/// picture drawn there lands on exactly the pixels the style would have drawn.
bool PaintsAtWholePixels(const QPainter& painter);

} // namespace window
