#pragma once

#include "support/EventLoop.h"

#include <QColor>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>
#include <ostream>

/// Colours in test messages as #rrggbb rather than as raw bytes.
inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << colour.name().toStdString();
}

namespace testsupport {

/// `widget` as its window last painted it on the screen. QWidget::grab() paints the widget
/// afresh, so it would show a state the widget never repainted; this copy shows what the user
/// sees. The window must be shown.
QImage ShownImage(QWidget& widget);

/// Reads `widget` as shown with `read` until the value satisfies `accept`, letting the window
/// paint between the reads, for at most five seconds; answers the last value read, for an
/// assertion to compare and print.
template <class Read, class Accept>
auto ReadShownUntil(QWidget& widget, Read read, Accept accept) -> decltype(read(QImage())) {
    decltype(read(QImage())) value;
    WaitUntil([&] {
        value = read(ShownImage(widget));
        return accept(value);
    });
    return value;
}

/// Whether `widget` comes to show `awaited`, as `read` reads it, within five seconds; a failure
/// says what it showed instead.
template <class Read, class Value>
::testing::AssertionResult Shows(QWidget& widget, Read read, const Value& awaited) {
    const auto shown =
        ReadShownUntil(widget, read, [&](const auto& value) { return value == awaited; });
    if (shown == awaited) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << widget.objectName().toStdString() << " shows " << ::testing::PrintToString(shown)
           << ", not " << ::testing::PrintToString(awaited);
}

/// The colour at the middle of an image: a lamp's fill.
inline QColor CentreColour(const QImage& image) {
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

/// The colour a push button paints inside its bevel, left of its centred caption.
inline QColor ButtonFaceColour(const QImage& image) {
    return image.isNull() ? QColor() : image.pixelColor(4, image.height() / 2);
}

} // namespace testsupport
