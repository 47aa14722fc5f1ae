#pragma once

#include "hid/ReportDirection.h"
#include "monitor/ReportLog.h"

#include <QGroupBox>
#include <array>
#include <map>
#include <vector>

class QLabel;

namespace monitor {

/// The reports a second of each command code the firmware knows, the other codes together,
/// and how many reports went each way since the monitor opened.
class TrafficPanel final : public QGroupBox {
    Q_OBJECT

public:
    explicit TrafficPanel(QWidget* parent = nullptr);

    /// `rates` as ReportLog::rates gives them, `counts` as ReportLog::counts.
    void showTraffic(const std::vector<CodeRate>& rates, const hid::DirectionCounts& counts);

private:
    /// The row of every code the firmware does not know.
    static constexpr int OtherCodes = -1;

    struct Row {
        QLabel* out;
        QLabel* in;
    };
    std::map<int, Row> rows_; // by code
    std::array<QLabel*, hid::ReportDirectionCount> counts_{};
};

} // namespace monitor
