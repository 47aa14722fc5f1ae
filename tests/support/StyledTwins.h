#pragma once

#include "support/EventLoop.h"

#include <QApplication>
#include <QImage>
#include <QStyleFactory>
#include <QWidget>
#include <gtest/gtest.h>

namespace testsupport {

/// Two widgets alike on a window of one plain colour: `drawn` with the style under test, its
/// `twin` with the application's style (Fusion). Each test changes both alike and compares the
/// pixels where they lie.
template <class Widget> class StyledTwins : public ::testing::Test {
protected:
    static void SetUpTestSuite() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    /// Gives `drawn` the style under test, places the two and shows the window.
    void showTwins(QStyle* style, QSize windowSize, QRect drawnPlace, QRect twinPlace) {
        window.resize(windowSize);
        setWindowColour(QColor(0xC8, 0xD0, 0xD4));
        window.setAutoFillBackground(true);
        drawn->setStyle(style);
        drawn->setGeometry(drawnPlace);
        twin->setGeometry(twinPlace);
        window.show();
        ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    }

    void setWindowColour(const QColor& colour) {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, colour);
        window.setPalette(palette);
    }

    template <typename Change> void changeBoth(Change change) {
        change(*drawn);
        change(*twin);
    }

    /// Whether the window's pixels where the two lie are the same, once everything is painted.
    bool lookAlike() {
        DrainEvents();
        const QImage drawnPixels = window.grab(drawn->geometry()).toImage();
        const QImage twinPixels = window.grab(twin->geometry()).toImage();
        return !drawnPixels.isNull() && drawnPixels == twinPixels;
    }

    QWidget window;
    Widget* drawn = new Widget(&window);
    Widget* twin = new Widget(&window);
};

} // namespace testsupport
