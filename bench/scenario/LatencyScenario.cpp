// Latency.
//  Click to device: QTest::mouseClick on DisplayADC (press and release, the click handler runs
//  inside the release) to the board's reportReceived, both on the steady clock.
//  Report to window, after a quiet spell: 40 ms after the last paint, VirtualBoard::sendReport
//  of an A/D answer to (a) Label1 showing its text, seen by a tight loop of processEvents() that
//  checks the label after each pass, and (b) the first Paint event Label1 gets after that, seen
//  by an event filter on the label.
//  Report to window, under a stream: the board sends 1000 answers a second in rotation for 3 s;
//  each A/D answer's send time against the first paint of Label1 that shows its value or a
//  later one.
#include "bench/scenario/AnswerRotation.h"
#include "bench/scenario/ConsoleRig.h"
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"
#include "protocol/ReportLayout.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace bench {

using namespace std::chrono_literals;

namespace {

class PaintWatch final : public QObject {
public:
    Clock::time_point painted{};
    bool seen = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen) {
            painted = Clock::now();
            seen = true;
        }
        return false;
    }
};

/// Every paint of a label, with the text it painted.
class PaintLog final : public QObject {
public:
    std::vector<std::pair<Clock::time_point, QString>> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            paints.emplace_back(Clock::now(), static_cast<QLabel*>(watched)->text());
        return false;
    }
};

void LatencyUnderStream(ResultTable& table, std::chrono::milliseconds duration) {
    ConsoleRig rig;
    AnswerRotation answers;
    std::vector<std::pair<Clock::time_point, QString>> sends; // A/D answers: when, Label1's text
    std::uint64_t sent = 0;
    const Clock::time_point start = Clock::now();
    QTimer sender;
    sender.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sender, &QTimer::timeout, [&] {
        const double due = std::chrono::duration<double>(Clock::now() - start).count() * 1000;
        for (; double(sent) < due; ++sent) {
            const hid::Report report = answers.next();
            if (report[protocol::CommandIndex] == protocol::Code::ReadAdc)
                sends.emplace_back(Clock::now(),
                                   "A to D (RA2) = " +
                                       QString::number(report[protocol::AdValueIndex]));
            rig.board->sendReport(report);
        }
    });
    PaintLog log;
    rig.ui().Label1->installEventFilter(&log);
    sender.start(1ms);
    RunFor(duration);
    sender.stop();
    Drain();
    rig.ui().Label1->removeEventFilter(&log);

    // A paint shows the latest A/D answer handled before it: the last one sent before the paint
    // with the text painted. Every answer up to that one waited for this paint.
    std::vector<double> latencies;
    std::size_t shown = 0; // answers before this index have their paint
    for (const auto& [painted, text] : log.paints) {
        std::size_t last = shown;
        for (std::size_t i = shown; i < sends.size() && sends[i].first <= painted; ++i)
            if (sends[i].second == text) last = i + 1;
        for (; shown < last; ++shown)
            latencies.push_back(Us(painted - sends[shown].first));
    }
    const double p99 = Percentile(latencies, 0.99);
    table.add(Format("Latency, report in to Label1 repainted, under a 1000/s stream (%zu reports)",
                     latencies.size()),
              Format("median %.1f ms, p99 %.1f ms, max %.1f ms", Percentile(latencies, 0.5) / 1000,
                     p99 / 1000,
                     latencies.empty()
                         ? NAN
                         : *std::max_element(latencies.begin(), latencies.end()) / 1000),
              "p99 < 20 ms (one frame)", YesNo(p99 < 20'000));
}

void Latency(ResultTable& table, int samples, int quietSamples) {
    ConsoleRig rig;
    {
        Clock::time_point reached{};
        QObject::connect(rig.board, &board::VirtualBoard::reportReceived,
                         [&](const hid::Report&) { reached = Clock::now(); });
        std::vector<double> latencies;
        for (int i = 0; i < samples; ++i) {
            reached = {};
            const auto clicked = Clock::now();
            QTest::mouseClick(rig.ui().DisplayADC, Qt::LeftButton);
            if (reached != Clock::time_point{}) latencies.push_back(Us(reached - clicked));
            Drain(); // the board's answer is absorbed before the next click
        }
        QObject::disconnect(rig.board, &board::VirtualBoard::reportReceived, nullptr, nullptr);
        table.add(Format("Latency, click to report at the device (%zu clicks)", latencies.size()),
                  Format("median %.1f µs, p99 %.1f µs", Percentile(latencies, 0.5),
                         Percentile(latencies, 0.99)),
                  "-", "-");
    }
    {
        PaintWatch watch;
        QLabel* label = rig.ui().Label1;
        label->installEventFilter(&watch);
        std::vector<double> toText;
        std::vector<double> toPaint;
        for (int i = 0; i < quietSamples; ++i) {
            RunFor(40ms); // a quiet spell: nothing painted for well over a frame
            const int value = 1 + i % 200;
            const QString expected = "A to D (RA2) = " + QString::number(value);
            if (label->text() == expected) continue;
            hid::Report report{};
            report[protocol::CommandIndex] = protocol::Code::ReadAdc;
            report[protocol::AdValueIndex] = static_cast<std::uint8_t>(value);
            watch.seen = false;
            const auto sent = Clock::now();
            rig.board->sendReport(report);
            QDeadlineTimer giveUp(1s);
            while (label->text() != expected && !giveUp.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            const auto shown = Clock::now();
            if (label->text() != expected) continue;
            toText.push_back(Us(shown - sent));
            QDeadlineTimer deadline(200ms);
            while (!watch.seen && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (watch.seen) toPaint.push_back(Us(watch.painted - sent));
            Drain();
        }
        label->removeEventFilter(&watch);
        table.add(
            Format("Latency, report in to Label1 showing it, after a quiet spell (%zu reports)",
                   toText.size()),
            Format("median %.1f µs, p99 %.1f µs", Percentile(toText, 0.5),
                   Percentile(toText, 0.99)),
            "-", "-");
        const double median = Percentile(toPaint, 0.5);
        table.add(
            Format("Latency, report in to Label1 repainted, after a quiet spell (%zu reports)",
                   toPaint.size()),
            Format("median %.2f ms, p99 %.2f ms", median / 1000, Percentile(toPaint, 0.99) / 1000),
            "median < 5 ms", YesNo(median < 5'000));
    }
}

} // namespace

void LatencyScenario(ScenarioContext& context) {
    Latency(context.table, 1000, 200);
    LatencyUnderStream(context.table, 3s);
}

} // namespace bench
