#include "window/BoxPanelStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOptionFrame>
#include <cmath>

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
    const QWidget* parent = widget ? widget->parentWidget() : nullptr;
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    const QBrush under = parent ? parent->palette().brush(parent->backgroundRole()) : QBrush();
    const QTransform& placed = painter->transform();
    const bool whole = placed.type() <= QTransform::TxTranslate &&
                       placed.dx() == std::round(placed.dx()) &&
                       placed.dy() == std::round(placed.dy());
    if (element != PE_PanelLineEdit || !frame || !parent || !parent->autoFillBackground() ||
        under.style() != Qt::SolidPattern || !whole) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QColor background = under.color();
    const qreal ratio = painter->device()->devicePixelRatio();
    const Picture key{option->rect.width(), option->rect.height(),
                      int(option->state),   option->palette.cacheKey(),
                      frame->lineWidth,     int(option->direction),
                      background.rgba(),    ratio};
    auto found = pictures_.find(key);
    if (found == pictures_.end()) {
        if (pictures_.size() >= KeptPictures) pictures_.clear();
        QPixmap picture(option->rect.size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(background);
        QPainter pen(&picture);
        QStyleOptionFrame atOrigin = *frame;
        atOrigin.rect.moveTopLeft({0, 0});
        QProxyStyle::drawPrimitive(element, &atOrigin, &pen, widget);
        pen.end();
        found = pictures_.emplace(key, picture).first;
    }
    painter->drawPixmap(option->rect.topLeft(), found->second);
}

} // namespace window
