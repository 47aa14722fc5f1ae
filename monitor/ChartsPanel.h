#pragma once

#include "monitor/ReportLog.h"
#include "monitor/SamplesCsv.h"

#include <QWidget>
#include <vector>

class QLabel;

namespace monitor {

class LogicLanes;
class StripChart;

/// The monitor's charts: the A/D readings with their figures, the input bits and the port D
/// byte the console wrote.
class ChartsPanel final : public QWidget {
    Q_OBJECT

public:
    explicit ChartsPanel(QWidget* parent = nullptr);

    /// Charts the log's samples over the span from `from` to `to`.
    void showSpan(const ReportLog& log, Clock::time_point from, Clock::time_point to);
    /// The figures of the A/D readings charted; `span` is how long the charts show.
    void showStats(std::chrono::seconds span);
    /// Copies of the samples charted, from the span's start on.
    std::vector<SeriesSamples> shownSeries() const;

private:
    StripChart* adChart_;
    QLabel* adStats_;
    LogicLanes* inputLanes_;
    LogicLanes* portDLanes_;
};

} // namespace monitor
