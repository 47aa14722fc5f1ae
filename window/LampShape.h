#pragma once

#include <QColor>
#include <QWidget>

namespace window {

/// A round lamp: a filled circle as wide as the box, centred in it, with a thin dark outline.
class LampShape final : public QWidget {
    Q_OBJECT

public:
    explicit LampShape(QWidget* parent = nullptr);

    QColor fillColour() const { return fill_; }
    void setFillColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
};

} // namespace window
