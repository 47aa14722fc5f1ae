#include "stationwindow/SocketGrid.h"

#include <QPointer>
#include <QScrollBar>
#include <algorithm>

namespace stationwindow {
namespace {

constexpr int Gap = 6; // between panels, as a layout spaces its widgets
// A panel's readable shape, 4 wide to 3 high: a verdict word is some three times as wide as its
// letters are high, and the board line, the notes and "Unplug the board." want about as much
// height again as the word, so such a panel gives the word letters as high as its width allows.
constexpr double ReadableAspect = 4.0 / 3.0;

int Rows(int count, int columns) {
    return (count + columns - 1) / columns;
}

/// Each panel's size in `columns` columns of `count` panels filling `area`.
QSize Cell(QSize area, int count, int columns) {
    const int rows = Rows(count, columns);
    return {(area.width() - (columns - 1) * Gap) / columns,
            (area.height() - (rows - 1) * Gap) / rows};
}

/// How large a panel of `cell` reads: the height of the largest panel of the readable shape
/// that it holds.
double Readable(QSize cell) {
    return std::min(cell.width() / ReadableAspect, double(cell.height()));
}

/// The number of columns that shows `count` panels in `area` the most readable, none of them
/// smaller than the minimum; 0 when no number of columns does.
int FittingColumns(QSize area, int count) {
    int best = 0;
    for (int columns = 1; columns <= count; ++columns) {
        const QSize cell = Cell(area, count, columns);
        if (cell.width() < SocketGrid::MinimumPanel.width() ||
            cell.height() < SocketGrid::MinimumPanel.height())
            continue;
        if (best == 0 || Readable(cell) > Readable(Cell(area, count, best))) best = columns;
    }
    return best;
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

/// The run of digits in `text` from `at` on, its leading zeros left out; `at` goes past it.
QStringView Number(const QString& text, qsizetype& at) {
    qsizetype end = at;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    qsizetype start = at;
    while (start + 1 < end && text[start] == u'0')
        ++start;
    at = end;
    return QStringView(text).mid(start, end - start);
}

/// Whether the place `a` comes before `b`: character by character, but a run of digits by its
/// value ("bay-2" before "bay-10", "1-1.2" before "1-1.10").
bool PlacedBefore(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const QStringView x = Number(a, i), y = Number(b, j);
            if (x.size() != y.size()) return x.size() < y.size();
            if (const int order = x.compare(y); order != 0) return order < 0;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

SocketGrid::SocketGrid(QWidget* parent) : QScrollArea(parent), tiles_(new QWidget) {
    setObjectName("sockets");
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus); // the keys are the operator's answers, not for scrolling
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(tiles_); // sized by reflow(), never by its contents
}

void SocketGrid::add(QWidget* panel, const QString& place) {
    panel->setParent(tiles_);
    const auto at = std::upper_bound(places_.begin(), places_.end(), place, PlacedBefore);
    panels_.insert(panels_.begin() + (at - places_.begin()), panel);
    places_.insert(at, place);
    reflow();
    panel->show();
}

void SocketGrid::remove(QWidget* panel) {
    if (const auto at = std::find(panels_.begin(), panels_.end(), panel); at != panels_.end()) {
        places_.removeAt(at - panels_.begin());
        panels_.erase(at);
    }
    panel->hide();
    panel->deleteLater();
    reflow();
}

void SocketGrid::bringIntoView(QWidget* panel) {
    QMetaObject::invokeMethod(
        this,
        [this, panel = QPointer(panel)] {
            if (panel) ensureWidgetVisible(panel, 0, 0);
        },
        Qt::QueuedConnection);
}

void SocketGrid::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    reflow();
}

void SocketGrid::reflow() {
    if (panels_.empty()) return;
    const int count = int(panels_.size());
    // The area without scroll bars, whether one shows now or not: the grid chosen follows
    // from the size given alone, so showing or hiding the scroll bar never changes it.
    QSize area = maximumViewportSize();
    int columns = FittingColumns(area, count);
    QSize cell;
    if (columns > 0) {
        cell = Cell(area, count, columns);
    } else {
        // Too many to fit: as many columns of the smallest width as fit beside the scroll bar,
        // and rows as high as fill the height shown with whole panels.
        area.rwidth() -= verticalScrollBar()->sizeHint().width();
        const QSize least = MinimumPanel;
        columns = std::clamp((area.width() + Gap) / (least.width() + Gap), 1, count);
        const int rowsShown =
            std::clamp((area.height() + Gap) / (least.height() + Gap), 1, Rows(count, columns));
        cell = {(area.width() - (columns - 1) * Gap) / columns,
                std::max(least.height(), (area.height() - (rowsShown - 1) * Gap) / rowsShown)};
    }
    const int rows = Rows(count, columns);
    tiles_->resize(area.width(), std::max(area.height(), rows * (cell.height() + Gap) - Gap));
    for (int index = 0; index < count; ++index)
        panels_[index]->setGeometry((index % columns) * (cell.width() + Gap),
                                    (index / columns) * (cell.height() + Gap), cell.width(),
                                    cell.height());
}

} // namespace stationwindow
