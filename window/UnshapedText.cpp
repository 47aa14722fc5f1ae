#include "window/UnshapedText.h"

#include <QFont>
#include <QLineEdit>

namespace window {
namespace {

QFont Shaping(QFont font, bool shaped) {
    const auto others = QFont::StyleStrategy(font.styleStrategy() & ~QFont::PreferNoShaping);
    font.setStyleStrategy(shaped ? others : QFont::StyleStrategy(others | QFont::PreferNoShaping));
    return font;
}

bool Shaped(const QLineEdit& box) {
    return !(box.font().styleStrategy() & QFont::PreferNoShaping);
}

} // namespace

void SetUnshapedText(QLineEdit& box, const QString& text) {
    if (Shaped(box)) box.setFont(Shaping(box.font(), false));
    box.setText(text);
}

void ShapeTypedText(QLineEdit& box) {
    QObject::connect(&box, &QLineEdit::textEdited, &box, [&box] {
        if (!Shaped(box)) box.setFont(Shaping(box.font(), true));
    });
}

} // namespace window
