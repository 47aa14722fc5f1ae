#pragma once

#include "monitor/ShownSamples.h"

#include <QWidget>

namespace monitor {

/// Min, max and mean of the samples in a span.
struct SpanStats {
    std::size_t count = 0;
    int min = 0;
    int max = 0;
    double mean = 0;
};

/// A strip chart of one byte value (0 to 255) over the shown span: a line through every sample,
/// drawn as one vertical stroke per pixel column where samples crowd, so a thousand samples a
/// second cost no more to paint than fifty.
class StripChart final : public QWidget {
public:
    explicit StripChart(QColor trace, QWidget* parent = nullptr);

    /// Shows `samples` (led by the last one before `from`, as ReportLog gives them) over the
    /// span from `from` to `to`; keeps a copy, so the picture stays while paused.
    void show(std::span<const Sample> samples, Clock::time_point from, Clock::time_point to);
    /// The samples shown, from the span's start on.
    std::span<const Sample> shown() const;
    SpanStats stats() const;

    QSize sizeHint() const override { return {560, 190}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor trace_;
    ShownSamples shown_;
};

} // namespace monitor
