// Frame pacing of the window's repaints: changes are batched, never lost, and a scroll bar
// whose look stays the same is not painted again.
#include "support/EventLoop.h"
#include "window/PacedListWidget.h"
#include "window/RepaintPacer.h"
#include "window/SteadyScrollBar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
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

class PaintSpy final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// QProgressBar::setValue painted the bar inside the call: that paint opened a frame, and the
// label changed by the same report waited for the next one.
TEST(RepaintPacer, AfterAQuietSpellTheBarAndTheLabelChangedTogetherAreNotHeldBack) {
    QWidget window;
    window.resize(200, 100);
    window::RepaintPacer pacer(window, 500ms);
    auto* bar = new QProgressBar(&window);
    bar->setGeometry(0, 0, 200, 20);
    bar->setRange(0, 255);
    auto* label = new QLabel("A to D (RA2) = 0", &window);
    label->setGeometry(0, 40, 200, 20);
    window.show();
    PaintSpy windowPaints;
    window.installEventFilter(&windowPaints);
    PaintSpy labelPaints;
    label->installEventFilter(&labelPaints);
    ASSERT_TRUE(WaitUntil([&] { return labelPaints.paints > 0; }));
    // A quiet spell: nothing painted for longer than a frame.
    for (int painted = -1; painted != windowPaints.paints;) {
        painted = windowPaints.paints;
        WaitUntil([] { return false; }, 700ms);
    }

    const int before = labelPaints.paints;
    window::SetPacedValue(*bar, 180);
    label->setText("A to D (RA2) = 180");
    EXPECT_EQ(bar->value(), 180);
    // Painted at once, well before the frame a repaint inside setValue would have opened.
    EXPECT_TRUE(WaitUntil([&] { return labelPaints.paints > before; }, 300ms));
}

TEST(PacedListWidget, LinesAddedInABurstAreAllInTheListAtOnceAndLaidOutWithinAFrame) {
    window::PacedListWidget list(nullptr, 300ms);
    list.setUniformItemSizes(true);
    list.resize(200, 400);
    list.show();
    ASSERT_TRUE(WaitUntil([&] { return list.isVisible(); }));
    for (int line = 0; line < 40; ++line) {
        list.addItem(QString("Answer %1").arg(line));
        EXPECT_EQ(list.count(), line + 1);
        DrainEvents();
    }
    // The lines held back are placed at the next frame, not forgotten: each has its row.
    EXPECT_TRUE(WaitUntil(
        [&] {
            const QRect first = list.visualItemRect(list.item(0));
            const QRect last = list.visualItemRect(list.item(39));
            return first.isValid() && last.isValid() && last.top() > first.top();
        },
        3s));
    EXPECT_EQ(list.indexAt(list.visualItemRect(list.item(5)).center()).row(), 5);
}

// A list left to grow lays out ever more lines each time; at a frame's pace a text-streaming
// board would in the end leave the window's thread no time for anything else.
TEST(PacedListWidget, ALongListIsLaidOutTheLessOftenTheLongerItsLayoutTakes) {
    window::PacedListWidget list(nullptr, 1ms);
    list.setUniformItemSizes(true);
    list.resize(200, 100);
    for (int line = 0; line < 200'000; ++line)
        list.addItem(QStringLiteral("Answer"));
    list.show();
    ASSERT_TRUE(WaitUntil([&] { return list.isVisible(); }));
    DrainEvents();
    QElapsedTimer took;
    took.start();
    list.QListWidget::doItemsLayout(); // one layout of the whole list, unpaced
    const double layoutNs = double(took.nsecsElapsed());

    int layouts = 0; // each layout of a longer list gives the scroll bar a longer range
    QObject::connect(list.verticalScrollBar(), &QScrollBar::rangeChanged, [&] { ++layouts; });
    QElapsedTimer span;
    span.start();
    while (span.elapsed() < 500) {
        list.addItem(QStringLiteral("More"));
        QCoreApplication::processEvents();
    }
    // Layouts at least twenty of their own length apart; at a frame's pace there would be one
    // after nearly every line.
    const double spaced = double(span.nsecsElapsed()) / (20 * layoutNs);
    EXPECT_LE(layouts, 2 * spaced + 2) << "one layout took " << layoutNs / 1e6 << " ms";
    EXPECT_TRUE(
        WaitUntil([&] { return list.visualItemRect(list.item(list.count() - 1)).isValid(); }));
}

// Each line added to a long list widened the range of its scroll bar, and the bar was painted
// again at every frame with its slider where it was.
TEST(SteadyScrollBar, IsPaintedAgainOnlyWhenWhatItShowsChanges) {
    window::SteadyScrollBar bar(Qt::Vertical);
    bar.resize(16, 200);
    bar.setPageStep(8);
    bar.setRange(0, 2000);
    PaintSpy paints;
    bar.installEventFilter(&paints);
    bar.show();
    ASSERT_TRUE(WaitUntil([&] { return paints.paints > 0; }));
    DrainEvents();

    const int before = paints.paints;
    for (int lines = 2001; lines < 2100; ++lines) {
        bar.setRange(0, lines);
        DrainEvents();
    }
    EXPECT_EQ(paints.paints, before) << "the slider kept its place and its length";

    bar.setRange(0, 4); // a short list: a long slider
    EXPECT_TRUE(WaitUntil([&] { return paints.paints > before; }));
    const int afterRange = paints.paints;
    bar.setValue(2);
    EXPECT_TRUE(WaitUntil([&] { return paints.paints > afterRange; }));
}

} // namespace
