#include "stationwindow/PlainLabel.h"

#include <QLabel>

namespace stationwindow {

QLabel* PlainLabel(QWidget* parent, int pixels, bool bold, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

} // namespace stationwindow
