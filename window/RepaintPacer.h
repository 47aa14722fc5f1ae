#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>

class QProgressBar;
class QWidget;

namespace window {

/// One frame of the screen: the shortest time between two paints of the window.
inline constexpr std::chrono::milliseconds FrameInterval{16};

/// Lets a window repaint at most once a frame. A board can answer a thousand times a second,
/// and each answer changes a few controls; painting every change on its own costs far more
/// than handling the reports. Changes made between two frames are painted together at the
/// next one: every change shows, at most a frame later.
class RepaintPacer final : public QObject {
public:
    explicit RepaintPacer(QWidget& window, std::chrono::milliseconds frame = FrameInterval);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    std::chrono::milliseconds frame_;
    QElapsedTimer sinceLastPaint_;
    QTimer nextFrame_;
};

/// Sets the bar's value and leaves its repaint to the pacer. QProgressBar::setValue repaints
/// the bar inside the call, past any pacing: that paint would open a frame of its own and hold
/// back the rest of the same report's changes until the next one.
void SetPacedValue(QProgressBar& bar, int value);

} // namespace window
