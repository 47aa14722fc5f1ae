// Where the windows go: the extra windows and the notices leave the main window in view.
#include "window/NoticeBox.h"
#include "window/WindowPlacement.h"

#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

using window::SizeRange;

namespace {

const QSize MainWindow(818, 835);
// The board monitor (shrinks to its minimum) and the virtual board's panel (does not).
const SizeRange Monitor{{1082, 675}, {894, 639}};
const SizeRange Panel{{305, 272}, {305, 272}};

// Three windows covered each other, the monitor over the main window's controls.
TEST(ColumnBeside, OnAFullHdScreenNoWindowCoversAnother) {
    const QRect area(0, 0, 1920, 1080);
    const QRect main(area.topLeft(), MainWindow);
    const std::vector<QRect> frames = window::ColumnBeside(area, main, {Monitor, Panel}, 8);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].size(), Monitor.preferred);
    EXPECT_FALSE(frames[0].intersects(main));
    EXPECT_FALSE(frames[1].intersects(main));
    EXPECT_FALSE(frames[0].intersects(frames[1]));
    EXPECT_TRUE(area.contains(frames[0]) && area.contains(frames[1]));
}

TEST(ColumnBeside, OnASmallScreenTheExtraWindowsKeepOffTheMainWindow) {
    const QRect area(0, 0, 1366, 768);
    const QRect main(area.topLeft(), MainWindow);
    const std::vector<QRect> frames = window::ColumnBeside(area, main, {Monitor, Panel}, 8);
    EXPECT_EQ(frames[0].width(), Monitor.minimum.width()) << "as narrow as it can be";
    EXPECT_FALSE(frames[0].intersects(main));
    EXPECT_FALSE(frames[1].intersects(main));
    EXPECT_EQ(frames[1].bottom(), area.bottom()) << "over the monitor, inside the screen";
}

TEST(ColumnBeside, AWindowThatCanShrinkTakesTheRoomLeft) {
    const QRect area(0, 0, 1800, 1080);
    const std::vector<QRect> frames =
        window::ColumnBeside(area, QRect(area.topLeft(), MainWindow), {Monitor}, 8);
    EXPECT_EQ(frames[0].right(), area.right());
    EXPECT_EQ(frames[0].height(), Monitor.preferred.height());
}

TEST(SpotBeside, RightWhereThereIsRoomElseLeftElseTheRoomierEdge) {
    const QRect area(0, 0, 1366, 768);
    const QSize notice(400, 150);
    const QRect centred(274, 0, 818, 835);
    EXPECT_EQ(window::SpotBeside(area, QRect(0, 40, 818, 700), notice, 8), QPoint(826, 40));
    EXPECT_EQ(window::SpotBeside(area, QRect(548, 40, 818, 700), notice, 8), QPoint(140, 40));
    EXPECT_EQ(window::SpotBeside(area, centred, notice, 8), QPoint(966, 0));
    EXPECT_EQ(window::SpotBeside(area, centred.translated(10, 0), notice, 8), QPoint(0, 0));
}

// A notice opens beside its window, not centred over the main window's controls.
TEST(ShowNotice, TheNoticeOpensBesideItsWindow) {
    QWidget form;
    form.resize(200, 200);
    form.move(form.screen()->availableGeometry().topLeft());
    form.show();
    QMessageBox* box = nullptr;
    window::ShowNotice(box, &form, "Notice", "The board at /dev/hidraw3 cannot be used.");
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->frameGeometry().intersects(form.frameGeometry()));
    EXPECT_GT(box->x(), form.x());
}

} // namespace
