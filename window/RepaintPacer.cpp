#include "window/RepaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QWidget>

namespace window {

RepaintPacer::RepaintPacer(QWidget& window, std::chrono::milliseconds frame)
    : window_(window), frame_(frame) {
    nextFrame_.setSingleShot(true);
    nextFrame_.setTimerType(Qt::PreciseTimer);
    // Qt keeps the dirty regions while a request is held back; a fresh request paints them all.
    connect(&nextFrame_, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
    });
    window_.installEventFilter(this);
}

bool RepaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::UpdateRequest) return false;
    const std::chrono::milliseconds elapsed(sinceLastPaint_.isValid() ? sinceLastPaint_.elapsed()
                                                                      : 0);
    if (!sinceLastPaint_.isValid() || elapsed >= frame_) {
        sinceLastPaint_.start();
        return false;
    }
    if (!nextFrame_.isActive()) nextFrame_.start(frame_ - elapsed);
    return true;
}

void SetPacedValue(QProgressBar& bar, int value) {
    if (bar.value() == value) return;
    bar.setUpdatesEnabled(false);
    bar.setValue(value);
    bar.setUpdatesEnabled(true); // marks the bar for the next paint
}

} // namespace window
