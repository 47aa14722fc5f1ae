#include "window/SteadyScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

namespace window {

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void SteadyScrollBar::sliderChange(SliderChange change) {
    if (change == SliderRangeChange && painted_ && look() == shown_) return;
    QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    shown_ = look();
    painted_ = true;
    QScrollBar::paintEvent(event);
}

SteadyScrollBar::Look SteadyScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const auto part = [&](QStyle::SubControl control) {
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, control, this);
    };
    return {part(QStyle::SC_ScrollBarGroove),     part(QStyle::SC_ScrollBarSlider),
            part(QStyle::SC_ScrollBarAddPage),    part(QStyle::SC_ScrollBarSubPage),
            option.sliderValue == option.minimum, option.sliderValue == option.maximum,
            option.minimum == option.maximum};
}

} // namespace window
