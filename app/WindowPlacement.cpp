#include "app/WindowPlacement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

void PlaceBeside(QWidget& window, const QWidget& anchor) {
    window.adjustSize();
    const QRect screen = anchor.screen()->availableGeometry();
    const QPoint beside = anchor.frameGeometry().topRight() + QPoint(16, 0);
    window.move(std::min(beside.x(), screen.right() - window.frameGeometry().width()), beside.y());
}
