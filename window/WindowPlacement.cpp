#include "window/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace window {
namespace {

// Between two windows: room for the borders a window manager adds to each.
constexpr int Gap = 8;

QRect Area(const QWidget& widget) {
    return widget.screen()->availableGeometry();
}

} // namespace

bool ProgramPlacesWindows() {
    // Qt's wayland plugin ignores move(): the compositor decides.
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

std::vector<QRect> ColumnBeside(const QRect& area, const QRect& main,
                                const std::vector<SizeRange>& windows, int gap) {
    const int left = main.right() + 1 + gap;
    const int room = area.right() + 1 - left;
    std::vector<QRect> frames;
    int top = area.top();
    for (const SizeRange& window : windows) {
        const QSize size(
            std::max(window.minimum.width(), std::min(window.preferred.width(), room)),
            std::max(window.minimum.height(), std::min(window.preferred.height(), area.height())));
        if (top + size.height() > area.bottom() + 1)
            top = std::max(area.top(), area.bottom() + 1 - size.height());
        frames.emplace_back(QPoint(left, top), size);
        top += size.height() + gap;
    }
    return frames;
}

QPoint SpotBeside(const QRect& area, const QRect& anchor, const QSize& size, int gap) {
    const int top = std::clamp(anchor.top(), area.top(),
                               std::max(area.top(), area.bottom() + 1 - size.height()));
    const int rightRoom = area.right() - anchor.right() - gap;
    const int leftRoom = anchor.left() - area.left() - gap;
    if (rightRoom >= size.width()) return {anchor.right() + 1 + gap, top};
    if (leftRoom >= size.width()) return {anchor.left() - gap - size.width(), top};
    if (rightRoom >= leftRoom) return {area.right() + 1 - size.width(), top};
    return {area.left(), top};
}

void ArrangeBeside(QWidget& main, const std::vector<QWidget*>& extras) {
    if (!ProgramPlacesWindows() || extras.empty()) return;
    const QRect area = Area(main);
    main.move(area.topLeft());
    std::vector<SizeRange> sizes;
    for (QWidget* extra : extras) {
        extra->adjustSize();
        sizes.push_back({extra->frameGeometry().size(), extra->minimumSize()});
    }
    const std::vector<QRect> frames = ColumnBeside(area, main.frameGeometry(), sizes, Gap);
    for (std::size_t i = 0; i < extras.size(); ++i) {
        extras[i]->resize(frames[i].size());
        extras[i]->move(frames[i].topLeft());
    }
}

void PlaceBeside(QWidget& window, const QWidget& anchor) {
    if (!ProgramPlacesWindows()) return;
    window.move(
        SpotBeside(Area(anchor), anchor.frameGeometry(), window.frameGeometry().size(), Gap));
}

} // namespace window
