#pragma once

#include "window/RepaintPacer.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>

namespace window {

/// A list that lays its lines out at most once a frame. Each line added makes QListView lay
/// out every line again at the next pass of the event loop; a board answering a few hundred
/// texts a second into a list of thousands of lines would spend most of its time there. The
/// lines themselves are in the list at once; only their placing waits, at most a frame.
///
/// That layout takes longer the longer the list: about 2.5 ms at 100,000 lines. So that a list
/// left to grow for hours never takes over the window's thread, layouts are also spaced by at
/// least LayoutSpacing times what the last one took: the list's layout then takes at most a
/// twentieth of the time, and in a list that long a new line shows a little later than a
/// frame (at 100,000 lines, within 50 ms).
class PacedListWidget final : public QListWidget {
public:
    explicit PacedListWidget(QWidget* parent = nullptr,
                             std::chrono::milliseconds frame = FrameInterval);

    void doItemsLayout() override;

private:
    static constexpr int LayoutSpacing = 20;

    void layOutNow();

    std::chrono::milliseconds frame_;
    std::chrono::nanoseconds spacing_; // the least time from one layout to the next
    QElapsedTimer sinceLayout_;
    QTimer nextLayout_;
};

} // namespace window
