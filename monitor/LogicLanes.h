#pragma once

#include "monitor/ShownSamples.h"

#include <QWidget>
#include <vector>

namespace monitor {

/// Eight logic lanes, one per bit of a byte, over the shown span, bit 7 at the top. Every
/// sample sets the level of each lane until the next, so a bit that was high for one poll
/// shows as a pulse one poll wide; a pulse narrower than a pixel is still drawn.
class LogicLanes final : public QWidget {
public:
    /// `prefix` names the lanes ("C" gives C7 to C0).
    LogicLanes(QString prefix, QColor trace, QWidget* parent = nullptr);

    /// A change of one lane's level.
    struct Edge {
        Clock::time_point time;
        bool high;
    };

    /// As StripChart::show.
    void show(std::span<const Sample> samples, Clock::time_point from, Clock::time_point to);
    /// The samples shown, from the span's start on.
    std::span<const Sample> shown() const;
    /// The level changes of `bit` within the span, in time order, from the level of the first
    /// sample shown (the last one before the span, where there is one).
    std::vector<Edge> edges(int bit) const;

    QSize sizeHint() const override { return {560, LaneHeight * 8 + 4}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int LaneHeight = 17;

    QString prefix_;
    QColor trace_;
    ShownSamples shown_;
};

} // namespace monitor
