#pragma once

#include <QSlider>

namespace window {

/// A horizontal slider that raises Click when the operator has moved it: on releasing the
/// left mouse button over it, and after a key moved it. The other mouse buttons neither move
/// it nor raise Click, and a value set by the program raises nothing.
class ClickSlider final : public QSlider {
    Q_OBJECT

public:
    explicit ClickSlider(QWidget* parent = nullptr);

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace window
