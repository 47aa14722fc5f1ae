// Progress bars put together from kept pictures look exactly as the style draws them.
#include "support/EventLoop.h"
#include "window/ProgressBarStyle.h"

#include <QApplication>
#include <QImage>
#include <QProgressBar>
#include <QStyleFactory>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using testsupport::DrainEvents;
using testsupport::WaitUntil;

/// Two bars alike on a window of one plain colour: the first drawn with ProgressBarStyle, its
/// twin with the application's style.
class ProgressBarStyleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    void SetUp() override {
        window.resize(600, 100);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor(0xC8, 0xD0, 0xD4));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        bar->setStyle(window::ProgressBarStyle::instance());
        changeBoth([](QProgressBar& each) {
            each.setRange(0, 255);
            each.setTextVisible(false);
        });
        bar->setGeometry(10, 10, 249, 17); // the window's A/D bar
        twin->setGeometry(300, 10, 249, 17);
        window.show();
        ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    }

    template <typename Change> void changeBoth(Change change) {
        change(*bar);
        change(*twin);
    }

    /// The values whose bars differ from the style's, over the whole range.
    std::vector<int> valuesUnlike() {
        std::vector<int> unlike;
        for (int value = bar->minimum(); value <= bar->maximum(); ++value) {
            changeBoth([&](QProgressBar& each) { each.setValue(value); });
            DrainEvents();
            const QImage drawn = window.grab(bar->geometry()).toImage();
            const QImage styled = window.grab(twin->geometry()).toImage();
            if (drawn.isNull() || drawn != styled) unlike.push_back(value);
        }
        return unlike;
    }

    QWidget window;
    QProgressBar* bar = new QProgressBar(&window);
    QProgressBar* twin = new QProgressBar(&window);
};

TEST_F(ProgressBarStyleTest, EveryValueLooksAsTheStyleDrawsIt) {
    EXPECT_EQ(valuesUnlike(), std::vector<int>{});
    changeBoth([](QProgressBar& each) { each.setEnabled(false); });
    EXPECT_EQ(valuesUnlike(), std::vector<int>{}) << "disabled";
}

TEST_F(ProgressBarStyleTest, OtherSizesRangesAndColoursLookAsTheStyleDrawsThem) {
    bar->setGeometry(10, 10, 120, 24);
    twin->setGeometry(300, 10, 120, 24);
    changeBoth([](QProgressBar& each) { each.setRange(-50, 50); });
    EXPECT_EQ(valuesUnlike(), std::vector<int>{}) << "narrow, taller, from -50 to 50";

    bar->setGeometry(10, 10, 280, 17);
    twin->setGeometry(300, 10, 280, 17);
    changeBoth([](QProgressBar& each) { each.setRange(0, 1000); });
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::darkGreen);
    window.setPalette(palette);
    EXPECT_EQ(valuesUnlike(), std::vector<int>{}) << "wider than its range's steps, on green";
}

TEST_F(ProgressBarStyleTest, BarsWithTextOrTurnedAroundAreDrawnByTheStyle) {
    changeBoth([](QProgressBar& each) { each.setTextVisible(true); });
    EXPECT_EQ(valuesUnlike(), std::vector<int>{}) << "with text";
    changeBoth([](QProgressBar& each) {
        each.setTextVisible(false);
        each.setInvertedAppearance(true);
    });
    EXPECT_EQ(valuesUnlike(), std::vector<int>{}) << "inverted";
}

} // namespace
