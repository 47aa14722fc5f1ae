#pragma once

#include <QRect>
#include <QScrollBar>

namespace window {

/// A scroll bar that repaints after a change of its range only when what it shows changed.
/// Each line added to the text list widens the range, and at a few hundred lines a second the
/// bar was painted again at every frame, while its slider, at its smallest length, stood where
/// it was. A new value, a new size or a change of state repaint it as before.
class SteadyScrollBar final : public QScrollBar {
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    /// What the style draws from the range: where its parts lie, and whether the bar is at
    /// either end or has no range at all.
    struct Look {
        QRect groove;
        QRect slider;
        QRect addPage;
        QRect subPage;
        bool atMinimum = false;
        bool atMaximum = false;
        bool empty = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const;

    Look shown_;
    bool painted_ = false;
};

} // namespace window
