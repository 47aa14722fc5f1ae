#pragma once

#include <QPixmap>
#include <QProxyStyle>
#include <QRgb>
#include <map>
#include <tuple>

class QStyleOptionProgressBar;

namespace window {

/// The application's style, but a plain horizontal progress bar is put together from three
/// pictures kept for its size, state and palette: empty, half filled and nearly full. Between
/// its rounded ends a bar is the same in every column of its fill and in every column of its
/// groove, so any value is the nearly full picture up to shortly before the fill's end, the
/// half-filled picture's end moved to the value's, and the empty picture after. The bar of a
/// board's A/D answers takes a new value hundreds of times a second, and drawing its smoothed
/// gradient and outlines each frame cost as much as all the window's text boxes together.
/// Values whose fill ends too near either end of the bar are drawn by the style as usual, and
/// so is any bar drawn where the kept pictures would not hold the very pixels the style draws.
class ProgressBarStyle final : public QProxyStyle {
public:
    /// One style for every bar, following the application's style as it is when first asked
    /// for; it lives as long as the application.
    static ProgressBarStyle* instance();

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

private:
    explicit ProgressBarStyle(QStyle* base);

    struct Pictures {
        QPixmap empty, half, nearlyFull;
        int halfFill = 0; // where the half-filled picture's fill ends
    };
    /// What a bar's look depends on, its value aside: width, height, state, palette, the colour
    /// under it, the device's pixel ratio, minimum and maximum.
    using Look = std::tuple<int, int, int, qint64, QRgb, qreal, int, int>;
    /// More than the window's bars ever need; past it the pictures are drawn afresh.
    static constexpr std::size_t KeptLooks = 16;

    /// How far into the bar the fill reaches at the option's value, as the style draws it.
    int fillEnd(const QStyleOptionProgressBar& bar, const QWidget* widget) const;
    QPixmap picture(const QStyleOptionProgressBar& bar, int progress, const QColor& background,
                    qreal ratio, const QWidget* widget) const;

    mutable std::map<Look, Pictures> pictures_;
};

} // namespace window
