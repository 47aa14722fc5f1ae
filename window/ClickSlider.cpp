#include "window/ClickSlider.h"

#include <QKeyEvent>

namespace window {

ClickSlider::ClickSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void ClickSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (rect().contains(event->position().toPoint())) emit Click();
}

void ClickSlider::keyPressEvent(QKeyEvent* event) {
    const int before = value();
    QSlider::keyPressEvent(event);
    if (value() != before) emit Click();
}

} // namespace window
