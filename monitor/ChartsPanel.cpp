#include "monitor/ChartsPanel.h"

#include "monitor/LogicLanes.h"
#include "monitor/StripChart.h"
#include "monitor/TimeAxis.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace monitor {
namespace {

/// Logic lanes named `name` in a box of their own at the foot of `column`.
LogicLanes* addLanes(QVBoxLayout* column, const QString& title, const QString& prefix,
                     const QColor& trace, const char* name) {
    auto* box = new QGroupBox(title, column->parentWidget());
    auto* layout = new QVBoxLayout(box);
    auto* lanes = new LogicLanes(prefix, trace, box);
    lanes->setObjectName(name);
    layout->addWidget(lanes);
    column->addWidget(box);
    return lanes;
}

} // namespace

ChartsPanel::ChartsPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* ad = new QGroupBox(tr("A/D input (answer 4, byte 19)"), this);
    auto* adLayout = new QVBoxLayout(ad);
    adChart_ = new StripChart(colours::AdTrace, ad);
    adChart_->setObjectName("adChart");
    adStats_ = new QLabel(ad);
    adStats_->setObjectName("adStats");
    adLayout->addWidget(adChart_, 1);
    adLayout->addWidget(adStats_);
    layout->addWidget(ad, 1);

    inputLanes_ = addLanes(layout, tr("Input bits, port C (answer 13, byte 20)"),
                           QStringLiteral("C"), colours::InputTrace, "inputLanes");
    portDLanes_ = addLanes(layout, tr("Port D, as the console wrote it (byte 21)"),
                           QStringLiteral("D"), colours::PortDTrace, "portDLanes");
}

void ChartsPanel::showSpan(const ReportLog& log, Clock::time_point from, Clock::time_point to) {
    adChart_->show(log.samples(Series::AdValue, from), from, to);
    inputLanes_->show(log.samples(Series::InputBits, from), from, to);
    portDLanes_->show(log.samples(Series::PortD, from), from, to);
}

void ChartsPanel::showStats(std::chrono::seconds span) {
    const SpanStats stats = adChart_->stats();
    adStats_->setText(stats.count == 0 ? tr("No A/D answers in the last %1 s").arg(span.count())
                                       : tr("Last %1 s: min %2, max %3, mean %4 (%5 answers)")
                                             .arg(span.count())
                                             .arg(stats.min)
                                             .arg(stats.max)
                                             .arg(stats.mean, 0, 'f', 1)
                                             .arg(stats.count));
}

std::vector<SeriesSamples> ChartsPanel::shownSeries() const {
    const auto copy = [](std::span<const Sample> samples) {
        return std::vector<Sample>(samples.begin(), samples.end());
    };
    return {{Series::AdValue, copy(adChart_->shown())},
            {Series::InputBits, copy(inputLanes_->shown())},
            {Series::PortD, copy(portDLanes_->shown())}};
}

} // namespace monitor
