#include "monitor/StripChart.h"

#include "monitor/TimeAxis.h"

#include <QPainter>
#include <algorithm>
#include <optional>

namespace monitor {
namespace {

constexpr int MaxValue = 255;

/// The samples that fall into one pixel column.
struct Column {
    int first;
    int last;
    int min;
    int max;
};

} // namespace

StripChart::StripChart(QColor trace, QWidget* parent) : QWidget(parent), trace_(trace) {
    setMinimumHeight(120);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StripChart::show(std::span<const Sample> samples, Clock::time_point from,
                      Clock::time_point to) {
    shown_.assign(samples, from, to);
    update();
}

std::span<const Sample> StripChart::shown() const {
    return shown_.inSpan();
}

SpanStats StripChart::stats() const {
    SpanStats stats;
    const std::span<const Sample> samples = shown();
    if (samples.empty()) return stats;
    stats.count = samples.size();
    stats.min = MaxValue;
    double sum = 0;
    for (const Sample& sample : samples) {
        stats.min = std::min<int>(stats.min, sample.value);
        stats.max = std::max<int>(stats.max, sample.value);
        sum += sample.value;
    }
    stats.mean = sum / double(samples.size());
    return stats;
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colours::Background);
    const int labelHeight = fontMetrics().height() + 2;
    const QRect plot(TimeAxis::LeftMargin, 6,
                     width() - TimeAxis::LeftMargin - TimeAxis::RightMargin,
                     height() - 6 - labelHeight);
    const TimeAxis axis(shown_.from, shown_.to, plot);
    const auto y = [&](int value) {
        return plot.bottom() - double(value) / MaxValue * (plot.height() - 1);
    };

    axis.drawGrid(painter, true);
    for (const int value : {0, 64, 128, 192, 255}) {
        const int at = static_cast<int>(y(value));
        painter.setPen(colours::Grid);
        painter.drawLine(plot.left(), at, plot.right(), at);
        painter.setPen(colours::Text);
        painter.drawText(QRect(0, at - 8, TimeAxis::LeftMargin - 6, 16),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(value));
    }

    // One column per pixel: a vertical stroke over the values in it, joined to the next.
    std::vector<std::optional<Column>> columns(static_cast<std::size_t>(std::max(plot.width(), 1)));
    for (const Sample& sample : shown_.samples) {
        const int x = std::clamp(static_cast<int>(axis.x(sample.time)) - plot.left(), 0,
                                 static_cast<int>(columns.size()) - 1);
        std::optional<Column>& column = columns[static_cast<std::size_t>(x)];
        if (!column) {
            column = Column{sample.value, sample.value, sample.value, sample.value};
        } else {
            column->last = sample.value;
            column->min = std::min<int>(column->min, sample.value);
            column->max = std::max<int>(column->max, sample.value);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(plot);
    painter.setPen(QPen(trace_, 1.5));
    std::vector<QLineF> lines;
    std::optional<QPointF> previous;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i]) continue;
        const double x = plot.left() + double(i) + 0.5;
        const Column& column = *columns[i];
        if (previous) lines.emplace_back(*previous, QPointF(x, y(column.first)));
        if (column.max != column.min) lines.emplace_back(x, y(column.min), x, y(column.max));
        previous = QPointF(x, y(column.last));
    }
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
    // A sample alone in its stretch of time is a dot, not lost between two lines.
    if (shown().size() < static_cast<std::size_t>(plot.width() / 4)) {
        painter.setBrush(trace_);
        painter.setPen(Qt::NoPen);
        for (const Sample& sample : shown())
            painter.drawEllipse(QPointF(axis.x(sample.time), y(sample.value)), 2.0, 2.0);
    }
}

} // namespace monitor
