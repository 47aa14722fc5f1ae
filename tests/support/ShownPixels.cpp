#include "support/ShownPixels.h"

#include <QScreen>

namespace testsupport {

QImage ShownImage(QWidget& widget) {
    QWidget* window = widget.window();
    const QPoint at = widget.mapTo(window, QPoint(0, 0));
    return window->screen()
        ->grabWindow(window->winId(), at.x(), at.y(), widget.width(), widget.height())
        .toImage();
}

} // namespace testsupport
