#include "window/LampPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace window {

namespace {

// A bulb seen slightly from above, lit from the upper left: a bevelled grey ring (light at
// the upper left, dark at the lower right), the coloured glass inside it shading from a
// lighter tone at the upper left to a darker one at the lower right, and a white highlight.
QPixmap DrawLamp(const QColor& glass) {
    const qreal size = LampPictureSize;
    QPixmap pixmap(LampPictureSize, LampPictureSize);
    pixmap.fill(Qt::transparent);

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QRectF ring(1.5, 1.5, size - 3, size - 3);
    QLinearGradient ringShade(ring.topLeft(), ring.bottomRight());
    ringShade.setColorAt(0.0, QColor(235, 235, 235));
    ringShade.setColorAt(0.5, QColor(160, 160, 160));
    ringShade.setColorAt(1.0, QColor(70, 70, 70));
    painter.setBrush(ringShade);
    painter.drawEllipse(ring);
    painter.setPen(QPen(QColor(60, 60, 60), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ring);
    painter.setPen(Qt::NoPen);

    const QRectF bulb = ring.adjusted(3.5, 3.5, -3.5, -3.5);
    QRadialGradient glassShade(bulb.center(), bulb.width() / 2,
                               bulb.center() - QPointF(bulb.width() / 5, bulb.height() / 5));
    glassShade.setColorAt(0.0, glass.lighter(125));
    glassShade.setColorAt(0.6, glass);
    glassShade.setColorAt(1.0, glass.darker(170));
    painter.setBrush(glassShade);
    painter.drawEllipse(bulb);

    const QRectF highlight(bulb.left() + bulb.width() * 0.18, bulb.top() + bulb.height() * 0.14,
                           bulb.width() * 0.34, bulb.height() * 0.26);
    QRadialGradient shine(highlight.center(), highlight.width() / 2);
    shine.setColorAt(0.0, QColor(255, 255, 255, 255));
    shine.setColorAt(0.5, QColor(255, 255, 255, 200));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setBrush(shine);
    painter.drawEllipse(highlight);
    return pixmap;
}

} // namespace

QPixmap LitLampPicture() {
    return DrawLamp(QColor(56, 252, 56));
}

QPixmap UnlitLampPicture() {
    return DrawLamp(QColor(56, 110, 56));
}

} // namespace window
