// Progress bars put together from kept pictures look exactly as the style draws them.
#include "support/StyledTwins.h"
#include "window/ProgressBarStyle.h"

#include <QProgressBar>

namespace {

class ProgressBarStyleTest : public testsupport::StyledTwins<QProgressBar> {
protected:
    void SetUp() override {
        changeBoth([](QProgressBar& each) {
            each.setRange(0, 255);
            each.setTextVisible(false);
        });
        // The window's A/D bar.
        showTwins(window::ProgressBarStyle::instance(), {600, 100}, {10, 10, 249, 17},
                  {300, 10, 249, 17});
    }

    void placeBoth(int width, int height) {
        drawn->setGeometry(10, 10, width, height);
        twin->setGeometry(300, 10, width, height);
    }

    /// The values whose bars differ from the style's, over the whole range.
    std::vector<int> valuesUnlike() {
        std::vector<int> unlike;
        for (int value = drawn->minimum(); value <= drawn->maximum(); ++value) {
            changeBoth([&](QProgressBar& each) { each.setValue(value); });
            if (!lookAlike()) unlike.push_back(value);
        }
        return unlike;
    }
};

TEST_F(ProgressBarStyleTest, EveryValueLooksAsTheStyleDrawsIt) {
    EXPECT_EQ(valuesUnlike(), std::vector<int>{});
    changeBoth([](QProgressBar& each) { each.setEnabled(false); });
    EXPECT_EQ(valuesUnlike(), std::vector<int>{}) << "disabled";
}

TEST_F(ProgressBarStyleTest, OtherSizesRangesAndColoursLookAsTheStyleDrawsThem) {
    placeBoth(120, 24);
    changeBoth([](QProgressBar& each) { each.setRange(-50, 50); });
    EXPECT_EQ(valuesUnlike(), std::vector<int>{}) << "narrow, taller, from -50 to 50";

    placeBoth(280, 17);
    changeBoth([](QProgressBar& each) { each.setRange(0, 1000); });
    setWindowColour(Qt::darkGreen);
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
