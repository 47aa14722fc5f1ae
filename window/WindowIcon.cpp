#include "window/WindowIcon.h"

#include <QPainter>
#include <QPixmap>

namespace window {

namespace {

// Three pages (two at 16 px, where a third would not show) cascade from the upper left;
// the front one lies at the lower right. Drawn without antialiasing so the outlines stay
// one pixel wide at every size.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);

    const int pages = size < 32 ? 2 : 3;
    const int offset = size / (pages == 2 ? 4 : 6);
    const int pageSize = size - offset * (pages - 1) - 1;
    const int titleHeight = std::max(3, size / 6);
    const QColor outline(32, 32, 48);
    const QColor title(0, 200, 220);

    for (int page = 0; page < pages; ++page) {
        const QRect frame(page * offset, page * offset, pageSize, pageSize);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawRect(frame);
        painter.setBrush(title);
        painter.drawRect(frame.left(), frame.top(), frame.width(), titleHeight);
        painter.setPen(outline);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
        painter.drawLine(frame.left(), frame.top() + titleHeight, frame.right(),
                         frame.top() + titleHeight);
    }
    return pixmap;
}

} // namespace

QIcon MakeWindowIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

} // namespace window
