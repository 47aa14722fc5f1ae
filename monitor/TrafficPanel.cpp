#include "monitor/TrafficPanel.h"

#include "board/BoardFirmware.h"
#include "monitor/MonitorLabels.h"

#include <QGridLayout>
#include <QLabel>
#include <QLocale>

namespace monitor {
namespace {

const QString WidestCount = QStringLiteral("0,000,000");

} // namespace

TrafficPanel::TrafficPanel(QWidget* parent)
    : QGroupBox(tr("Traffic, reports in the last second"), parent) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(heading(tr("Code"), this), 0, 0, Qt::AlignLeft);
    grid->addWidget(heading(tr("Out/s"), this), 0, 1);
    grid->addWidget(heading(tr("In/s"), this), 0, 2);
    int row = 1;
    const auto addRow = [&](int code, const QString& caption, const QString& key) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        const Row labels{figure(this, "trafficOut" + key, WidestRate),
                         figure(this, "trafficIn" + key, WidestRate)};
        grid->addWidget(labels.out, row, 1);
        grid->addWidget(labels.in, row, 2);
        rows_[code] = labels;
        ++row;
    };
    for (const board::firmware::CommandName& command : board::firmware::Commands)
        addRow(command.code, codeCaption(command.code, command.name),
               QString::number(command.code));
    addRow(OtherCodes, tr("other"), QStringLiteral("Other"));

    grid->addWidget(new QLabel(tr("Reports since the monitor opened:"), this), row++, 0, 1, 3);
    auto* counts = new QGridLayout;
    for (const hid::ReportDirectionNames& direction : hid::ReportDirections) {
        const auto column = hid::directionIndex(direction.direction);
        counts->addWidget(heading(tr(direction.title), this), 0, int(column));
        counts_[column] = figure(this, QStringLiteral("count") + direction.title, WidestCount);
        counts->addWidget(counts_[column], 1, int(column));
    }
    grid->addLayout(counts, row, 0, 1, 3);
}

void TrafficPanel::showTraffic(const std::vector<CodeRate>& rates,
                               const hid::DirectionCounts& counts) {
    std::map<int, CodeRate> byRow;
    for (const CodeRate& rate : rates) {
        const int key = rows_.count(rate.code) ? rate.code : OtherCodes;
        CodeRate& sum = byRow.try_emplace(key, CodeRate{rate.code, 0, 0}).first->second;
        sum.out += rate.out;
        sum.in += rate.in;
    }
    for (const auto& [code, labels] : rows_) {
        const auto it = byRow.find(code);
        labels.out->setText(QString::number(it == byRow.end() ? 0 : it->second.out));
        labels.in->setText(QString::number(it == byRow.end() ? 0 : it->second.in));
    }
    for (std::size_t i = 0; i < counts.size(); ++i)
        counts_[i]->setText(QLocale().toString(counts[i]));
}

} // namespace monitor
