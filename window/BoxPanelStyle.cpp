#include "window/BoxPanelStyle.h"

#include "window/KeptPicture.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionFrame>

namespace window {

BoxPanelStyle::BoxPanelStyle(QStyle* base) : QProxyStyle(base) {}

BoxPanelStyle* BoxPanelStyle::instance() {
    static BoxPanelStyle* style = [] {
        auto* made = new BoxPanelStyle(QStyleFactory::create(QApplication::style()->name()));
        made->setParent(qApp);
        return made;
    }();
    return style;
}

void BoxPanelStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    const std::optional<QColor> under = PlainColourUnder(widget);
    if (element != PE_PanelLineEdit || !frame || !under || !PaintsAtWholePixels(*painter)) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QColor background = *under;
    const qreal ratio = painter->device()->devicePixelRatio();
    const Picture key{option->rect.width(), option->rect.height(),
                      int(option->state),   option->palette.cacheKey(),
                      frame->lineWidth,     int(option->direction),
                      background.rgba(),    ratio};
    auto found = pictures_.find(key);
    if (found == pictures_.end()) {
        if (pictures_.size() >= KeptPictures) pictures_.clear();
        const QPixmap picture = PictureAtOrigin(
            *frame, background, ratio, [&](const QStyleOptionFrame& atOrigin, QPainter& pen) {
                QProxyStyle::drawPrimitive(element, &atOrigin, &pen, widget);
            });
        found = pictures_.emplace(key, picture).first;
    }
    painter->drawPixmap(option->rect.topLeft(), found->second);
}

} // namespace window
