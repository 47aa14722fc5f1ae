#include "window/KeptPicture.h"

#include <QPainter>
#include <QWidget>
#include <cmath>

namespace window {

std::optional<QColor> PlainColourUnder(const QWidget* widget) {
    const QWidget* parent = widget ? widget->parentWidget() : nullptr;
    if (!parent || !parent->autoFillBackground()) return std::nullopt;
    const QBrush& under = parent->palette().brush(parent->backgroundRole());
    if (under.style() != Qt::SolidPattern) return std::nullopt;
    return under.color();
}

bool PaintsAtWholePixels(const QPainter& painter) {
    const QTransform& placed = painter.transform();
    return placed.type() <= QTransform::TxTranslate && placed.dx() == std::round(placed.dx()) &&
           placed.dy() == std::round(placed.dy());
}

} // namespace window
