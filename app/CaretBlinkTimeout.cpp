#include "app/CaretBlinkTimeout.h"

#include <QApplication>
#include <QEvent>
#include <QStyleHints>

namespace app {

CaretBlinkTimeout::CaretBlinkTimeout(std::chrono::milliseconds timeout)
    : flashTime_(QGuiApplication::styleHints()->cursorFlashTime()) {
    timeout_.setSingleShot(true);
    timeout_.setInterval(timeout);
    connect(&timeout_, &QTimer::timeout, this, &CaretBlinkTimeout::rest);
    qApp->installEventFilter(this);
    timeout_.start();
}

CaretBlinkTimeout::~CaretBlinkTimeout() {
    qApp->removeEventFilter(this);
    QGuiApplication::styleHints()->setCursorFlashTime(flashTime_);
}

bool CaretBlinkTimeout::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::InputMethod:
        // A flash time of 0 shows the cursor steadily; the line edits follow a change at once.
        if (QGuiApplication::styleHints()->cursorFlashTime() != flashTime_)
            QGuiApplication::styleHints()->setCursorFlashTime(flashTime_);
        timeout_.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CaretBlinkTimeout::rest() {
    QGuiApplication::styleHints()->setCursorFlashTime(0);
}

} // namespace app
