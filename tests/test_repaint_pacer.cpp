// Frame pacing of the window's repaints: changes are batched, never lost.
#include "support/EventLoop.h"
#include "window/RepaintPacer.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using testsupport::DrainEvents;
using testsupport::WaitUntil;

class CountingWidget final : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST(RepaintPacer, ABurstOfChangesIsPaintedOnceAtTheNextFrame) {
    CountingWidget widget;
    widget.resize(100, 100);
    window::RepaintPacer pacer(widget, 300ms);
    widget.show();
    ASSERT_TRUE(WaitUntil([&] { return widget.paints > 0; }));

    const int before = widget.paints;
    for (int change = 0; change < 50; ++change) {
        widget.update();
        DrainEvents();
    }
    // Well inside one frame of the last paint: at most the paint that frame allows.
    EXPECT_LE(widget.paints, before + 1);
    // The changes held back are painted at the next frame, not dropped.
    ASSERT_TRUE(WaitUntil([&] { return widget.paints > before; }, 3s));
    const int afterBurst = widget.paints;
    EXPECT_LE(afterBurst, before + 2);

    widget.update();
    EXPECT_TRUE(WaitUntil([&] { return widget.paints > afterBurst; }, 3s));
}

} // namespace
