#pragma once

#include <QPixmap>
#include <QProxyStyle>
#include <QRgb>
#include <map>
#include <tuple>

namespace window {

/// The application's style, but a text box's panel (its base and frame) is drawn once for
/// each size, state and palette and kept as a picture, together with the background under
/// it. A mirror box shows a new text many times a second, and drawing its rounded, smoothed
/// frame again each time cost more than its text. The picture is taken only where the box's
/// parent fills it with one plain colour, so it holds the very pixels the style would draw;
/// anywhere else the style draws as usual.
class BoxPanelStyle final : public QProxyStyle {
public:
    /// One style for every box, following the application's style as it is when first asked
    /// for; it lives as long as the application.
    static BoxPanelStyle* instance();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;

private:
    explicit BoxPanelStyle(QStyle* base);

    /// What a panel's look depends on: width, height, state, palette, line width, direction,
    /// the colour under it and the device's pixel ratio.
    using Picture = std::tuple<int, int, int, qint64, int, int, QRgb, qreal>;
    /// More than the window's boxes ever need; past it the pictures are drawn afresh.
    static constexpr std::size_t KeptPictures = 64;
    mutable std::map<Picture, QPixmap> pictures_;
};

} // namespace window
