#include "records/Plot.h"

#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <map>

namespace records {
namespace {

constexpr int Width = 1000;
constexpr int PanelHeight = 340;
constexpr int Margin = 60;
const QColor FirstPassColour(70, 130, 180);
const QColor FinalColour(60, 170, 110);
const QColor FailureColour(200, 80, 70);

struct DayYield {
    qint64 boards = 0;
    qint64 firstPass = 0;
    qint64 finalPass = 0;
};

void DrawYield(QPainter& painter, const Table& yield, QRect area) {
    std::map<QString, DayYield> days; // by day, in order
    for (const QVariantList& row : yield.rows) {
        DayYield& day = days[row[2].toString()];
        day.boards += row[3].toLongLong();
        day.firstPass += row[4].toLongLong();
        day.finalPass += row[5].toLongLong();
    }
    painter.drawText(area.adjusted(0, -Margin + 10, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                     "Yield per day (%)");
    // The legend, at the top right: a swatch of each bar's colour and its name.
    int legendX = area.right() - 220;
    for (const auto& [name, colour] :
         {std::pair{"first pass", FirstPassColour}, std::pair{"final", FinalColour}}) {
        painter.fillRect(legendX, area.top() - Margin + 14, 12, 12, colour);
        painter.drawText(QRect(legendX + 18, area.top() - Margin + 10, 90, 20),
                         Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX += 110;
    }
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    for (int percent = 0; percent <= 100; percent += 25) {
        const int y = area.bottom() - area.height() * percent / 100;
        painter.setPen(Qt::lightGray);
        painter.drawLine(area.left(), y, area.right(), y);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, y - 10, area.left() - 6, 20), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(percent));
    }
    if (days.empty()) return;
    const int slot = std::min(160, area.width() / int(days.size()));
    const int bar = std::max(1, slot * 2 / 5);
    int x = area.left();
    for (const auto& [day, figures] : days) {
        const qint64 boards = figures.boards;
        const auto drawBar = [&](int left, qint64 passed, const QColor& colour) {
            const int height = boards > 0 ? int(area.height() * passed / boards) : 0;
            painter.fillRect(left, area.bottom() - height, bar, height, colour);
        };
        drawBar(x + slot / 10, figures.firstPass, FirstPassColour);
        drawBar(x + slot / 10 + bar, figures.finalPass, FinalColour);
        if (slot >= 70 || days.size() <= 12)
            painter.drawText(QRect(x, area.bottom() + 4, slot, 20), Qt::AlignHCenter, day);
        x += slot;
    }
}

void DrawFailures(QPainter& painter, const Table& failures, QRect area) {
    painter.drawText(area.adjusted(0, -Margin + 10, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                     "Failing steps, most failures first");
    const std::size_t shown = std::min<std::size_t>(failures.rows.size(), 10);
    if (shown == 0) return;
    const qint64 most = failures.rows.front()[5].toLongLong();
    const int rowHeight = area.height() / 10;
    const int labelWidth = area.width() * 2 / 5;
    for (std::size_t i = 0; i < shown; ++i) {
        const QVariantList& row = failures.rows[i];
        const int y = area.top() + int(i) * rowHeight;
        const QString label =
            QString("%1 %2: %3 %4")
                .arg(row[1].toString(), row[2].toString(), row[3].toString(), row[4].toString())
                .simplified();
        painter.drawText(
            QRect(area.left() - Margin + 10, y, labelWidth + Margin - 16, rowHeight),
            Qt::AlignRight | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(label, Qt::ElideMiddle, labelWidth + Margin - 16));
        const int length =
            most > 0 ? int((area.width() - labelWidth - 50) * row[5].toLongLong() / most) : 0;
        painter.fillRect(area.left() + labelWidth, y + 3, length, rowHeight - 6, FailureColour);
        painter.drawText(QRect(area.left() + labelWidth + length + 4, y, 50, rowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, row[5].toString());
    }
}

} // namespace

QImage PlotImage(const Table& yield, const Table& failures) {
    QImage image(Width, 2 * PanelHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawYield(painter, yield,
                  QRect(Margin, Margin, Width - 2 * Margin, PanelHeight - 2 * Margin));
        DrawFailures(
            painter, failures,
            QRect(Margin, PanelHeight + Margin, Width - 2 * Margin, PanelHeight - Margin - 20));
    }
    return image;
}

bool DrawPlot(const Table& yield, const Table& failures, const QString& path, QString& error) {
    QImageWriter writer(path, "png");
    if (writer.write(PlotImage(yield, failures))) return true;
    error = writer.errorString();
    return false;
}

} // namespace records
