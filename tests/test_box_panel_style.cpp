// Text boxes drawn from the kept picture of their panel look exactly as the style draws them.
#include "support/EventLoop.h"
#include "window/BoxPanelStyle.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QStyleFactory>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using testsupport::DrainEvents;
using testsupport::WaitUntil;

/// Two boxes alike on a window of one plain colour: the first drawn with BoxPanelStyle, its
/// twin with the application's style.
class BoxPanelStyleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    void SetUp() override {
        window.resize(300, 100);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor(0xC8, 0xD0, 0xD4));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        box->setStyle(window::BoxPanelStyle::instance());
        for (QLineEdit* each : {box, twin}) {
            each->setText("<27>");
            each->setFocusPolicy(Qt::NoFocus); // the focus is looked at on its own
        }
        box->setGeometry(10, 10, 81, 25);
        twin->setGeometry(110, 10, 81, 25);
        window.show();
        ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    }

    /// The pixels of the window where each box lies.
    bool lookAlike() {
        DrainEvents();
        const QImage drawn = window.grab(box->geometry()).toImage();
        const QImage styled = window.grab(twin->geometry()).toImage();
        return !drawn.isNull() && drawn == styled;
    }

    QWidget window;
    QLineEdit* box = new QLineEdit(&window);
    QLineEdit* twin = new QLineEdit(&window);
};

TEST_F(BoxPanelStyleTest, LooksAsTheStyleDrawsItInEveryState) {
    EXPECT_TRUE(lookAlike()) << "as built";
    for (int text = 0; text < 3; ++text) { // drawn from the kept picture from here on
        box->setText(QString::number(text));
        twin->setText(QString::number(text));
        EXPECT_TRUE(lookAlike()) << "text " << text;
    }
    box->setEnabled(false);
    twin->setEnabled(false);
    EXPECT_TRUE(lookAlike()) << "disabled";
    box->setEnabled(true);
    twin->setEnabled(true);
    box->setReadOnly(true);
    twin->setReadOnly(true);
    EXPECT_TRUE(lookAlike()) << "read-only";
}

TEST_F(BoxPanelStyleTest, LooksAsTheStyleDrawsItWithTheFocus) {
    box->setFocusPolicy(Qt::StrongFocus);
    twin->setFocusPolicy(Qt::StrongFocus);
    window.activateWindow();
    box->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return box->hasFocus(); }));
    const QImage focused = window.grab(box->geometry()).toImage();
    twin->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return twin->hasFocus(); }));
    const QImage styledFocused = window.grab(twin->geometry()).toImage();
    ASSERT_FALSE(focused.isNull());
    EXPECT_EQ(focused, styledFocused);
}

TEST_F(BoxPanelStyleTest, LooksAsTheStyleDrawsItOnAnotherColour) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::darkGreen);
    window.setPalette(palette);
    EXPECT_TRUE(lookAlike());
}

} // namespace
