#include "window/ProgressBarStyle.h"

#include "window/KeptPicture.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionProgressBar>
#include <algorithm>

namespace window {
namespace {

/// Columns on each side of a fill's end that the end's outline and smoothing reach into.
constexpr int EndReach = 4;
/// Columns at each end of the bar that its rounded corners take.
constexpr int BarEnd = 4;

/// Whether a fill ending at `end` leaves its end's reach clear of both ends of a bar of the
/// given width: there the columns around the end look the same wherever it lies.
bool EndInMiddle(int end, int width) {
    return end - EndReach >= BarEnd && end + EndReach <= width - BarEnd;
}

} // namespace

ProgressBarStyle::ProgressBarStyle(QStyle* base) : QProxyStyle(base) {}

ProgressBarStyle* ProgressBarStyle::instance() {
    static ProgressBarStyle* style = [] {
        auto* made = new ProgressBarStyle(QStyleFactory::create(QApplication::style()->name()));
        made->setParent(qApp);
        return made;
    }();
    return style;
}

int ProgressBarStyle::fillEnd(const QStyleOptionProgressBar& bar, const QWidget* widget) const {
    const QRect contents = subElementRect(SE_ProgressBarContents, &bar, widget);
    const qint64 steps = std::max<qint64>(1, qint64(bar.maximum) - bar.minimum);
    const qint64 done = qint64(std::max(bar.progress, bar.minimum)) - bar.minimum;
    return contents.left() - bar.rect.left() + int(done * contents.width() / steps);
}

QPixmap ProgressBarStyle::picture(const QStyleOptionProgressBar& bar, int progress,
                                  const QColor& background, qreal ratio,
                                  const QWidget* widget) const {
    QStyleOptionProgressBar at = bar;
    at.progress = progress;
    return PictureAtOrigin(at, background, ratio,
                           [&](const QStyleOptionProgressBar& atOrigin, QPainter& pen) {
                               QProxyStyle::drawControl(CE_ProgressBar, &atOrigin, &pen, widget);
                           });
}

void ProgressBarStyle::drawControl(ControlElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    const std::optional<QColor> under = PlainColourUnder(widget);
    const bool plain = element == CE_ProgressBar && bar && under && PaintsAtWholePixels(*painter) &&
                       (bar->state & State_Horizontal) && !bar->invertedAppearance &&
                       bar->direction == Qt::LeftToRight && !bar->textVisible &&
                       bar->maximum - bar->minimum > 1 && bar->progress < bar->maximum;
    const int width = option->rect.width();
    const int end = plain ? fillEnd(*bar, widget) : 0;
    if (!plain || !EndInMiddle(end, width)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    const Look look{
        width, option->rect.height(), int(option->state), option->palette.cacheKey(), under->rgba(),
        ratio, bar->minimum,          bar->maximum};
    auto found = pictures_.find(look);
    if (found == pictures_.end()) {
        if (pictures_.size() >= KeptLooks) pictures_.clear();
        QStyleOptionProgressBar half = *bar;
        half.progress = bar->minimum + (bar->maximum - bar->minimum) / 2;
        Pictures made{picture(*bar, bar->minimum, *under, ratio, widget),
                      picture(*bar, half.progress, *under, ratio, widget),
                      picture(*bar, bar->maximum - 1, *under, ratio, widget),
                      fillEnd(half, widget)};
        found = pictures_.emplace(look, std::move(made)).first;
    }
    const Pictures& kept = found->second;
    if (!EndInMiddle(kept.halfFill, width)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // Columns of the pictures, in the bar's own pixels (the pictures are at the device's ratio).
    const int height = option->rect.height();
    const auto columns = [&](const QPixmap& from, int left, int right, int at) {
        painter->drawPixmap(
            QRectF(option->rect.left() + at, option->rect.top(), right - left, height), from,
            QRectF(left * ratio, 0, (right - left) * ratio, height * ratio));
    };
    columns(kept.nearlyFull, 0, end - EndReach, 0);
    columns(kept.half, kept.halfFill - EndReach, kept.halfFill + EndReach, end - EndReach);
    columns(kept.empty, end + EndReach, width, end + EndReach);
}

} // namespace window
