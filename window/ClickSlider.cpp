#include "window/ClickSlider.h"

#include <QKeyEvent>

namespace window {

ClickSlider::ClickSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void ClickSlider::mousePressEvent(QMouseEvent* event) {
    // The style may let the middle button jump the slider; only the left one acts here.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QSlider::mousePressEvent(event);
}

void ClickSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QSlider::mouseReleaseEvent(event);
    if (rect().contains(event->position().toPoint())) emit Click();
}

void ClickSlider::keyPressEvent(QKeyEvent* event) {
    const int before = value();
    QSlider::keyPressEvent(event);
    if (value() != before) emit Click();
}

} // namespace window
