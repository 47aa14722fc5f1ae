#include "window/PacedListWidget.h"

namespace window {

PacedListWidget::PacedListWidget(QWidget* parent, std::chrono::milliseconds frame)
    : QListWidget(parent), frame_(frame) {
    nextLayout_.setSingleShot(true);
    nextLayout_.setTimerType(Qt::PreciseTimer);
    connect(&nextLayout_, &QTimer::timeout, this, &PacedListWidget::layOutNow);
}

void PacedListWidget::doItemsLayout() {
    const std::chrono::milliseconds elapsed(sinceLayout_.isValid() ? sinceLayout_.elapsed() : 0);
    if (!sinceLayout_.isValid() || elapsed >= frame_) {
        layOutNow();
        return;
    }
    if (!nextLayout_.isActive()) nextLayout_.start(frame_ - elapsed);
}

void PacedListWidget::layOutNow() {
    nextLayout_.stop();
    sinceLayout_.start();
    QListWidget::doItemsLayout();
}

} // namespace window
