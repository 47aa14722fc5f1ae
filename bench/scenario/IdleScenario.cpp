// Idle: the window online with the board attached and nothing happening (no input for over
// 10 s, so the text cursor has stopped blinking), for 5 s: the CPU it takes (the median of the
// span's equal parts), and every timer and paint event the GUI thread delivers meanwhile (an
// application event filter; the receivers' classes are named).
#include "app/CaretBlinkTimeout.h"
#include "bench/scenario/ConsoleRig.h"
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"

#include <QApplication>
#include <QEvent>
#include <map>
#include <string>
#include <vector>

namespace bench {

using namespace std::chrono_literals;

namespace {

class EventTally final : public QObject {
public:
    int timers = 0;
    int paints = 0;
    std::map<std::string, int> timerReceivers;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            ++timers;
            ++timerReceivers[watched->metaObject()->className()];
        } else if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

void Idle(ResultTable& table, Feed feed, std::chrono::milliseconds duration, int repeats) {
    // As the program does: the text cursor stops blinking after a spell without input.
    const app::CaretBlinkTimeout caretBlinkTimeout;
    ConsoleRig rig(Reader::Window, feed);
    // The start-up paints and deferred work are over, and the cursor rests.
    RunFor(app::CaretBlinkTimeout::DefaultTimeout + 500ms);
    EventTally tally;
    qApp->installEventFilter(&tally);
    // The span in equal parts, each with its own CPU share: one window split up, where a fresh
    // window per run would wait 10 s each for the cursor to rest.
    std::vector<double> cpuPercents;
    for (int part = 0; part < repeats; ++part) {
        const auto cpu0 = rig.consoleCpu();
        const auto wall0 = Clock::now();
        RunFor(duration / repeats);
        cpuPercents.push_back(Ms(rig.consoleCpu() - cpu0) / Ms(Clock::now() - wall0) * 100);
    }
    qApp->removeEventFilter(&tally);
    const double cpuShare = SpreadOf(cpuPercents).median;
    // The measuring timer of each RunFor is the one timer expected.
    std::string receivers;
    for (const auto& [name, count] : tally.timerReceivers)
        receivers += Format("%s%s %d", receivers.empty() ? "" : ", ", name.c_str(), count);
    const int ownTimers = repeats;
    const int timers = tally.timers - ownTimers;
    const std::string label = feed == Feed::VirtualBoard
                                  ? "Idle, virtual board attached"
                                  : "Idle, device path (socket pair, device I/O) attached";
    table.add(
        Format("%s, %.0f s: CPU", label.c_str(), Ms(duration) / 1000),
        CpuSpread(cpuPercents, Format("parts of %.1f s", Ms(duration / repeats) / 1000).c_str(), 2),
        "< 0.5% of one core", YesNo(cpuShare < 0.5));
    table.add(label + ": timer events / paints while idle",
              Format("%d timer events besides the measuring ones (%s); %d paints", timers,
                     receivers.empty() ? "none" : receivers.c_str(), tally.paints),
              "no timer runs", YesNo(timers == 0));
}

} // namespace

void IdleScenario(ScenarioContext& context) {
    Idle(context.table, Feed::VirtualBoard, 5s, context.options.repeats);
    Idle(context.table, Feed::Socket, 5s, context.options.repeats);
}

} // namespace bench
