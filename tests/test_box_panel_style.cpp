// Text boxes drawn from the kept picture of their panel look exactly as the style draws them.
#include "support/StyledTwins.h"
#include "window/BoxPanelStyle.h"

#include <QLineEdit>

namespace {

using testsupport::WaitUntil;

class BoxPanelStyleTest : public testsupport::StyledTwins<QLineEdit> {
protected:
    void SetUp() override {
        changeBoth([](QLineEdit& each) {
            each.setText("<27>");
            each.setFocusPolicy(Qt::NoFocus); // the focus is looked at on its own
        });
        showTwins(window::BoxPanelStyle::instance(), {300, 100}, {10, 10, 81, 25},
                  {110, 10, 81, 25});
    }
};

TEST_F(BoxPanelStyleTest, LooksAsTheStyleDrawsItInEveryState) {
    EXPECT_TRUE(lookAlike()) << "as built";
    for (int text = 0; text < 3; ++text) { // drawn from the kept picture from here on
        changeBoth([&](QLineEdit& each) { each.setText(QString::number(text)); });
        EXPECT_TRUE(lookAlike()) << "text " << text;
    }
    changeBoth([](QLineEdit& each) { each.setEnabled(false); });
    EXPECT_TRUE(lookAlike()) << "disabled";
    changeBoth([](QLineEdit& each) {
        each.setEnabled(true);
        each.setReadOnly(true);
    });
    EXPECT_TRUE(lookAlike()) << "read-only";
}

TEST_F(BoxPanelStyleTest, LooksAsTheStyleDrawsItWithTheFocus) {
    changeBoth([](QLineEdit& each) { each.setFocusPolicy(Qt::StrongFocus); });
    window.activateWindow();
    drawn->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return drawn->hasFocus(); }));
    const QImage focused = window.grab(drawn->geometry()).toImage();
    twin->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return twin->hasFocus(); }));
    const QImage styledFocused = window.grab(twin->geometry()).toImage();
    ASSERT_FALSE(focused.isNull());
    EXPECT_EQ(focused, styledFocused);
}

TEST_F(BoxPanelStyleTest, LooksAsTheStyleDrawsItOnAnotherColour) {
    setWindowColour(Qt::darkGreen);
    EXPECT_TRUE(lookAlike());
}

} // namespace
