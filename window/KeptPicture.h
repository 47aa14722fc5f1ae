#pragma once

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <optional>

class QWidget;

namespace window {

/// The colour a widget's parent fills under it, when it fills it with one plain colour. A
/// picture kept for a widget holds the background under it, so it is kept only there.
std::optional<QColor> PlainColourUnder(const QWidget* widget);

/// Whether the painter places pixels at whole-pixel offsets, unscaled and unturned: a kept
/// picture drawn there lands on exactly the pixels the style would have drawn.
bool PaintsAtWholePixels(const QPainter& painter);

/// A picture of an option's area at the device's pixel ratio: the plain colour under it, and
/// over that what `draw(option, painter)` paints with a copy of the option moved to the
/// picture's origin.
template <class Option, class Draw>
QPixmap PictureAtOrigin(const Option& option, const QColor& background, qreal ratio, Draw draw) {
    QPixmap picture(option.rect.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(background);
    QPainter pen(&picture);
    Option atOrigin = option;
    atOrigin.rect.moveTopLeft({0, 0});
    draw(atOrigin, pen);
    pen.end();
    return picture;
}

} // namespace window
