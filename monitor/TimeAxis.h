#pragma once

#include "monitor/Clock.h"

#include <QColor>
#include <QRect>

class QPainter;

namespace monitor {

/// The colours the monitor's charts share.
namespace colours {
inline const QColor Background{0x14, 0x18, 0x1e};
inline const QColor Grid{0x2c, 0x33, 0x3d};
inline const QColor Text{0xb8, 0xc0, 0xcc};
inline const QColor AdTrace{0x3d, 0xd6, 0xf5};
inline const QColor InputTrace{0x7c, 0xe3, 0x5b};
inline const QColor PortDTrace{0xff, 0xb0, 0x3b};
} // namespace colours

/// Maps the shown span of time onto a chart's plot area, the same way for every chart of the
/// monitor so that their seconds line up.
class TimeAxis {
public:
    /// Where the plot starts from the chart's left edge: room for the value labels.
    static constexpr int LeftMargin = 40;
    static constexpr int RightMargin = 8;

    TimeAxis(Clock::time_point from, Clock::time_point to, const QRect& plot)
        : from_(from), to_(to), plot_(plot) {}

    const QRect& plot() const { return plot_; }
    double x(Clock::time_point time) const;
    /// Vertical lines at whole seconds back from the span's end (every 1 s for a short span,
    /// every 5 s for a long one), labelled below the plot when `labels` is set.
    void drawGrid(QPainter& painter, bool labels) const;

private:
    Clock::time_point from_;
    Clock::time_point to_;
    QRect plot_;
};

} // namespace monitor
