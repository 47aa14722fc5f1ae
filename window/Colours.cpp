#include "window/Colours.h"

#include <QPushButton>

namespace window::colours {

void SetBackColour(QPushButton* button, const QColor& colour) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    button->setPalette(palette);
}

QColor BackColour(const QPushButton* button) {
    return button->palette().color(QPalette::Button);
}

} // namespace window::colours
