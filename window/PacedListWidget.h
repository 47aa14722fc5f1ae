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
class PacedListWidget final : public QListWidget {
public:
    explicit PacedListWidget(QWidget* parent = nullptr,
                             std::chrono::milliseconds frame = FrameInterval);

    void doItemsLayout() override;

private:
    void layOutNow();

    std::chrono::milliseconds frame_;
    QElapsedTimer sinceLayout_;
    QTimer nextLayout_;
};

} // namespace window
