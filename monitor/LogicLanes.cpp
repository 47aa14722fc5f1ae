#include "monitor/LogicLanes.h"

#include "monitor/TimeAxis.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace monitor {
namespace {

bool bitOf(std::uint8_t value, int bit) {
    return (value >> bit) & 1;
}

} // namespace

LogicLanes::LogicLanes(QString prefix, QColor trace, QWidget* parent)
    : QWidget(parent), prefix_(std::move(prefix)), trace_(trace) {
    setMinimumHeight(sizeHint().height());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LogicLanes::show(std::span<const Sample> samples, Clock::time_point from,
                      Clock::time_point to) {
    samples_.assign(samples.begin(), samples.end());
    from_ = from;
    to_ = to;
    update();
}

std::span<const Sample> LogicLanes::shown() const {
    const auto first = std::partition_point(samples_.begin(), samples_.end(),
                                            [&](const Sample& s) { return s.time < from_; });
    return {first, samples_.end()};
}

std::vector<LogicLanes::Edge> LogicLanes::edges(int bit) const {
    std::vector<Edge> edges;
    if (samples_.empty()) return edges;
    bool level = bitOf(samples_.front().value, bit);
    for (const Sample& sample : samples_) {
        if (bitOf(sample.value, bit) == level) continue;
        level = !level;
        edges.push_back({sample.time, level});
    }
    return edges;
}

void LogicLanes::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colours::Background);
    const QRect plot(TimeAxis::LeftMargin, 2,
                     width() - TimeAxis::LeftMargin - TimeAxis::RightMargin, LaneHeight * 8);
    const TimeAxis axis(from_, to_, plot);
    axis.drawGrid(painter, false);
    if (samples_.empty()) return;
    const double start = std::max(axis.x(samples_.front().time), double(plot.left()));
    const double end = plot.right() + 1;

    QColor fill = trace_;
    fill.setAlpha(60);
    for (int bit = 7; bit >= 0; --bit) {
        const int top = plot.top() + (7 - bit) * LaneHeight;
        const double high = top + 3;
        const double low = top + LaneHeight - 3;
        painter.setPen(colours::Text);
        painter.drawText(QRect(0, top, TimeAxis::LeftMargin - 6, LaneHeight),
                         Qt::AlignRight | Qt::AlignVCenter, prefix_ + QString::number(bit));

        // The trace as a path of steps; the stretches where the bit is high are filled.
        QPainterPath trace;
        bool level = bitOf(samples_.front().value, bit);
        double x = start;
        trace.moveTo(x, level ? high : low);
        const auto highStretch = [&](double from, double to) {
            // At least two pixels, so a pulse narrower than a pixel still shows.
            painter.fillRect(QRectF(from, high, std::max(to - from, 2.0), low - high), fill);
        };
        for (const Edge& edge : edges(bit)) {
            const double at = std::max(axis.x(edge.time), start);
            if (level) highStretch(x, at);
            trace.lineTo(at, level ? high : low);
            level = edge.high;
            trace.lineTo(at, level ? high : low);
            x = at;
        }
        if (level) highStretch(x, end);
        trace.lineTo(end, level ? high : low);
        painter.setPen(QPen(trace_, 1.2));
        painter.drawPath(trace);
    }
}

} // namespace monitor
