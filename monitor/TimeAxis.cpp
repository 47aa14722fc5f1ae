#include "monitor/TimeAxis.h"

#include <QPainter>

namespace monitor {

double TimeAxis::x(Clock::time_point time) const {
    const double span = std::chrono::duration<double>(to_ - from_).count();
    const double at = std::chrono::duration<double>(time - from_).count();
    return plot_.left() + (span > 0 ? at / span : 1.0) * plot_.width();
}

void TimeAxis::drawGrid(QPainter& painter, bool labels) const {
    const auto span = std::chrono::duration_cast<std::chrono::seconds>(to_ - from_);
    const int step = span.count() > 20 ? 5 : 1;
    painter.setPen(colours::Grid);
    for (int back = 0; back <= span.count(); back += step) {
        const int at = static_cast<int>(x(to_ - std::chrono::seconds(back)));
        painter.drawLine(at, plot_.top(), at, plot_.bottom());
        if (!labels || back % (step * 2) != 0) continue;
        painter.setPen(colours::Text);
        const QString text = back == 0 ? QStringLiteral("now") : QStringLiteral("-%1 s").arg(back);
        // The newest label ends at the plot's edge instead of running past it.
        const int width = 60;
        const QRect box(back == 0 ? at - width : at - width / 2, plot_.bottom() + 2, width,
                        painter.fontMetrics().height());
        painter.drawText(box, (back == 0 ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignTop, text);
        painter.setPen(colours::Grid);
    }
}

} // namespace monitor
