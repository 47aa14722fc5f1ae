#pragma once

#include "monitor/AnswerTiming.h"

#include <QGroupBox>
#include <map>

class QLabel;

namespace monitor {

/// How fast the board answers each request AnswerTiming times, over the span shown.
class TimingPanel final : public QGroupBox {
    Q_OBJECT

public:
    explicit TimingPanel(QWidget* parent = nullptr);

    /// The figures of the answers and misses since `from`.
    void showTiming(const AnswerTiming& timing, Clock::time_point from);

private:
    struct Row {
        QLabel* last;
        QLabel* median;
        QLabel* p99;
        QLabel* longest;
        QLabel* answered;
        QLabel* unanswered;
    };
    std::map<std::uint8_t, Row> rows_; // by code
};

} // namespace monitor
