#include "monitor/LogicLanes.h"

#include "monitor/TimeAxis.h"

#include <QPainter>
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
    shown_.assign(samples, from, to);
    update();
}

std::span<const Sample> LogicLanes::shown() const {
    return shown_.inSpan();
}

std::vector<LogicLanes::Edge> LogicLanes::edges(int bit) const {
    std::vector<Edge> edges;
    if (shown_.samples.empty()) return edges;
    bool level = bitOf(shown_.samples.front().value, bit);
    for (const Sample& sample : shown_.samples) {
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
    const TimeAxis axis(shown_.from, shown_.to, plot);
    axis.drawGrid(painter, false);
    for (int bit = 7; bit >= 0; --bit) {
        painter.setPen(colours::Text);
        painter.drawText(
            QRect(0, plot.top() + (7 - bit) * LaneHeight, TimeAxis::LeftMargin - 6, LaneHeight),
            Qt::AlignRight | Qt::AlignVCenter, prefix_ + QString::number(bit));
    }
    if (shown_.samples.empty() || plot.width() <= 0) return;

    // One column per pixel, gathered once for all eight lanes: which bits were seen high and
    // which low in it, and where it ends. Painting then costs the same at any report rate.
    struct Column {
        std::uint8_t high = 0;
        std::uint8_t low = 0;
        std::uint8_t last = 0;
        bool any = false;
    };
    std::vector<Column> columns(static_cast<std::size_t>(plot.width()));
    const auto columnOf = [&](Clock::time_point time) {
        return std::clamp(static_cast<int>(axis.x(time)) - plot.left(), 0, plot.width() - 1);
    };
    for (const Sample& sample : shown_.samples) {
        Column& column = columns[static_cast<std::size_t>(columnOf(sample.time))];
        column.high |= sample.value;
        column.low |= static_cast<std::uint8_t>(~sample.value);
        column.last = sample.value;
        column.any = true;
    }
    const int first = columnOf(shown_.samples.front().time);

    QColor fill = trace_;
    fill.setAlpha(60);
    std::vector<QLineF> lines;
    for (int bit = 7; bit >= 0; --bit) {
        const int top = plot.top() + (7 - bit) * LaneHeight;
        const double high = top + 3;
        const double low = top + LaneHeight - 3;
        bool level = bitOf(shown_.samples.front().value, bit);
        double runStart = plot.left() + first;
        // A stretch at one level: a line, filled beneath where the bit is high.
        const auto endRun = [&](double x) {
            lines.emplace_back(runStart, level ? high : low, x, level ? high : low);
            if (level) painter.fillRect(QRectF(runStart, high, x - runStart, low - high), fill);
        };
        for (int i = first; i < plot.width(); ++i) {
            const Column& column = columns[static_cast<std::size_t>(i)];
            if (!column.any) continue;
            const bool sawHigh = level || bitOf(column.high, bit);
            const bool sawLow = !level || bitOf(column.low, bit);
            if (!(sawHigh && sawLow)) continue;
            // The bit changed in this column, once or more: a stroke from low to high, at least
            // two pixels filled, so a pulse narrower than a pixel still shows.
            const double x = plot.left() + i + 0.5;
            endRun(x);
            lines.emplace_back(x, high, x, low);
            painter.fillRect(QRectF(x - 1, high, 2, low - high), fill);
            level = bitOf(column.last, bit);
            runStart = x;
        }
        endRun(plot.right() + 1);
    }
    painter.setPen(QPen(trace_, 1.2));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
}

} // namespace monitor
