#include "window/PacedListWidget.h"

#include <algorithm>

namespace window {

PacedListWidget::PacedListWidget(QWidget* parent, std::chrono::milliseconds frame)
    : QListWidget(parent), frame_(frame), spacing_(frame) {
    nextLayout_.setSingleShot(true);
    nextLayout_.setTimerType(Qt::PreciseTimer);
    connect(&nextLayout_, &QTimer::timeout, this, &PacedListWidget::layOutNow);
}

void PacedListWidget::doItemsLayout() {
    const std::chrono::nanoseconds elapsed(sinceLayout_.isValid() ? sinceLayout_.nsecsElapsed()
                                                                  : 0);
    if (!sinceLayout_.isValid() || elapsed >= spacing_) {
        layOutNow();
        return;
    }
    if (!nextLayout_.isActive())
        nextLayout_.start(std::chrono::ceil<std::chrono::milliseconds>(spacing_ - elapsed));
}

void PacedListWidget::layOutNow() {
    nextLayout_.stop();
    QElapsedTimer took;
    took.start();
    QListWidget::doItemsLayout();
    spacing_ = std::max<std::chrono::nanoseconds>(
        frame_, std::chrono::nanoseconds(took.nsecsElapsed()) * LayoutSpacing);
    sinceLayout_.start();
}

} // namespace window
