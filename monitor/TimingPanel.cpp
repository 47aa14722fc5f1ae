#include "monitor/TimingPanel.h"

#include "board/BoardFirmware.h"
#include "monitor/MonitorLabels.h"

#include <QGridLayout>
#include <QLabel>
#include <algorithm>

namespace monitor {
namespace {

const QString WidestTime = QStringLiteral("00.00 ms");

// Each row is captioned by the name of the firmware's answer to its code.
static_assert(std::all_of(AnswerTiming::Codes.begin(), AnswerTiming::Codes.end(),
                          [](std::uint8_t code) {
                              const auto* command = board::firmware::findCommand(code);
                              return command && command->answer;
                          }));

QString duration(Clock::duration took) {
    const double micros = std::chrono::duration<double, std::micro>(took).count();
    if (micros < 1000) return QStringLiteral("%1 µs").arg(micros, 0, 'f', 0);
    return QStringLiteral("%1 ms").arg(micros / 1000, 0, 'f', 2);
}

} // namespace

TimingPanel::TimingPanel(QWidget* parent) : QGroupBox(tr("Answer timing over the span"), parent) {
    auto* grid = new QGridLayout(this);
    const std::array<QString, 7> headings{tr("Code"), tr("Last"),    tr("Median"), tr("p99"),
                                          tr("Max"),  tr("Answers"), tr("Missed")};
    for (std::size_t column = 0; column < headings.size(); ++column)
        grid->addWidget(heading(headings[column], this), 0, int(column),
                        column == 0 ? Qt::AlignLeft : Qt::Alignment());
    int row = 1;
    for (const std::uint8_t code : AnswerTiming::Codes) {
        const QString key = QStringLiteral("timing%1").arg(int(code));
        grid->addWidget(
            new QLabel(codeCaption(code, board::firmware::findCommand(code)->answer), this), row,
            0);
        const Row labels{figure(this, key + "Last", WidestTime),
                         figure(this, key + "Median", WidestTime),
                         figure(this, key + "P99", WidestTime),
                         figure(this, key + "Longest", WidestTime),
                         figure(this, key + "Answered", WidestRate),
                         figure(this, key + "Unanswered", WidestRate)};
        const std::array<QLabel*, 6> cells{labels.last,    labels.median,   labels.p99,
                                           labels.longest, labels.answered, labels.unanswered};
        for (std::size_t column = 0; column < cells.size(); ++column)
            grid->addWidget(cells[column], row, int(column) + 1);
        rows_[code] = labels;
        ++row;
    }
    auto* note = new QLabel(
        tr("From each request to the next answer with its code. Missed: no answer within %1 ms.")
            .arg(AnswerTiming::Deadline.count()),
        this);
    note->setWordWrap(true);
    grid->addWidget(note, row, 0, 1, 7);
}

void TimingPanel::showTiming(const AnswerTiming& timing, Clock::time_point from) {
    const QString none = QStringLiteral("–");
    for (const auto& [code, labels] : rows_) {
        const AnswerTiming::Figures figures = timing.figures(code, from);
        labels.last->setText(figures.last ? duration(*figures.last) : none);
        const bool any = figures.answered > 0;
        labels.median->setText(any ? duration(figures.median) : none);
        labels.p99->setText(any ? duration(figures.p99) : none);
        labels.longest->setText(any ? duration(figures.longest) : none);
        labels.answered->setText(QString::number(figures.answered));
        labels.unanswered->setText(QString::number(figures.unanswered));
    }
}

} // namespace monitor
