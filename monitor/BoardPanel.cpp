#include "monitor/BoardPanel.h"

#include "hid/CodePage1252.h"
#include "monitor/MonitorLabels.h"

#include <QFormLayout>
#include <QLabel>
#include <array>

namespace monitor {
namespace {

QString hexId(int id) {
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

} // namespace

BoardPanel::BoardPanel(QWidget* parent) : QGroupBox(tr("Board"), parent) {
    auto* form = new QFormLayout(this);
    const std::array<std::pair<const char*, QString>, 7> fields{{
        {"boardNode", tr("Node")},
        {"boardHandle", tr("Handle")},
        {"boardIds", tr("Ids")},
        {"boardMaker", tr("Manufacturer")},
        {"boardProduct", tr("Product")},
        {"boardSerial", tr("Serial number")},
        {"boardReports", tr("Reports")},
    }};
    for (const auto& [name, caption] : fields) {
        auto* value = plainLabel(this);
        value->setObjectName(name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, value);
        fields_[QString::fromLatin1(name)] = value;
    }
    problem_ = plainLabel(this);
    problem_->setObjectName("boardProblem");
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #c02020;"));
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(problem_);
}

void BoardPanel::showBoard(hid::Handle handle, const hid::DeviceInfo* info,
                           const std::map<std::string, hid::DeviceProblem>& problems) {
    if (!info) {
        set("boardNode", tr("no board attached"));
        for (const char* field : {"boardHandle", "boardIds", "boardMaker", "boardProduct",
                                  "boardSerial", "boardReports"})
            set(field, QStringLiteral("–"));
    } else {
        set("boardNode", QString::fromStdString(info->path));
        set("boardHandle", QString::number(handle));
        set("boardIds", hexId(info->vendorId) + ':' + hexId(info->productId));
        set("boardMaker", hid::fromWindows1252(info->manufacturer));
        set("boardProduct", hid::fromWindows1252(info->product));
        set("boardSerial", hid::fromWindows1252(info->serialNumber));
        const hid::DeviceInfo::ReportFormat& format = info->format;
        set("boardReports",
            format.inputReportSize == 0
                ? tr("format not known")
                : tr("in %1 bytes, out %2 bytes, %3")
                      .arg(format.inputReportSize)
                      .arg(format.outputReportSize)
                      .arg(format.usesReportIds ? tr("with report ids") : tr("no report ids")));
    }
    // A board that could be opened since has no problem left to show.
    QStringList shown;
    for (const auto& [node, problem] : problems)
        if (!info || node != info->path)
            shown << QString::fromStdString(node) + ": " + QString::fromStdString(problem.message);
    problem_->setText(shown.join(QStringLiteral("\n\n")));
    problem_->setVisible(!shown.isEmpty());
}

void BoardPanel::set(const char* field, const QString& text) {
    fields_.at(QString::fromLatin1(field))->setText(text);
}

} // namespace monitor
