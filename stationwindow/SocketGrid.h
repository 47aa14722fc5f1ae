#pragma once

#include <QScrollArea>
#include <QStringList>
#include <vector>

namespace stationwindow {

/// The station window's socket panels in a grid that fills the area it is given: the number of
/// columns that makes the panels largest in a readable shape, chosen again as panels come and
/// go and as the area resizes. Panels never shrink below MinimumPanel: when that many do not
/// fit, the grid scrolls vertically instead, so the window never grows with the sockets and
/// what is above and below the grid stays in view.
class SocketGrid final : public QScrollArea {
    Q_OBJECT

public:
    /// The smallest panel shown. 240 px wide holds the longest verdict word, STOPPED, in
    /// letters of 40 px; 136 px high holds the board line on two lines (a scanned label takes
    /// it to a second), the word in letters of 40 px and more, a line of notes and "Unplug the
    /// board.". A fixture of 20 boards fits a window of 1300 x 680 (the smallest station
    /// screen's) in five columns of four without scrolling.
    static constexpr QSize MinimumPanel{240, 136};

    explicit SocketGrid(QWidget* parent = nullptr);

    /// Adds `panel`, the socket `place`'s, and shows it. Panels are in the order of their
    /// places, numbers by their value ("bay-2" before "bay-10"), so that they read as the
    /// fixture's sockets do, whatever order the boards came in.
    void add(QWidget* panel, const QString& place);
    /// Takes `panel` out, the others taking its room, and deletes it once control returns to
    /// the event loop.
    void remove(QWidget* panel);
    /// Scrolls `panel` into view once the layouts have settled (a question shown above the
    /// grid shrinks it), unless it is gone by then.
    void bringIntoView(QWidget* panel);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void reflow();

    QWidget* tiles_;
    std::vector<QWidget*> panels_; ///< in the order of their places
    QStringList places_;           ///< each panel's
};

} // namespace stationwindow
