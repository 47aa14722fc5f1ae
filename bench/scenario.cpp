// The timed scenarios on the virtual board: polling rate and jitter, input throughput and its
// CPU cost, click and display latency, resident memory and start-up time. Prints one Markdown
// table with each figure beside its goal. Every figure is measured in this run.
//
// Usage: zov_scenario [--program PATH] [--poll-seconds N] [--throughput-seconds N] [--only NAME]
//                     [--rate N]
//   --program  the console's binary, started several times for the start-up figure
//   --only     one of memory, polling, idle, throughput, latency, startup
//   --rate     only the throughput runs at this rate (0: unpaced); for a profile of one run also
//              --feed virtual|socket, --reader window|alone (its CPU alone, on stderr, not in
//              the table), --text-only yes, --monitor no, --long-list yes|no
#include "app/CaretBlinkTimeout.h"
#include "support/SocketBoard.h"
#include "hid/DeviceManager.h"
#include "hid/HIDDLLInterface.h"
#include "hid/HidEvent.h"
#include "hidraw/HidrawSource.h"
#include "hid/ReportObserver.h"
#include "board/VirtualBoard.h"
#include "monitor/BoardMonitor.h"
#include "protocol/ReportLayout.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

template <class Duration> double Ms(Duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}
template <class Duration> double Us(Duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

/// Nearest-rank percentile, p in [0, 1].
double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

/// User plus system CPU time of this process.
Clock::duration CpuTime() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto tv = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return std::chrono::duration_cast<Clock::duration>(tv(usage.ru_utime) + tv(usage.ru_stime));
}

/// VmRSS of this process in KiB.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

void RunFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = 5s) {
    QDeadlineTimer timer(deadline);
    while (!done()) {
        if (timer.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void Drain() {
    for (int round = 0; round < 8; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

struct Row {
    std::string measure;
    std::string figure;
    std::string goal;
    std::string met; // "yes", "no" or "-" where no goal is set
};
std::vector<Row> rows;

void AddRow(std::string measure, std::string figure, std::string goal, std::string met) {
    rows.push_back({std::move(measure), std::move(figure), std::move(goal), std::move(met)});
    const Row& row = rows.back();
    std::fprintf(stderr, "  %s: %s  [goal: %s] %s\n", row.measure.c_str(), row.figure.c_str(),
                 row.goal.c_str(), row.met.c_str());
}

const char* YesNo(bool met) {
    return met ? "yes" : "no";
}

/// Who reads the reports: the console's window, or nothing but a bare reader that takes each
/// report out of the layer and drops it, which shows what the layer costs alone.
enum class Reader { Window, LayerAlone };
/// Where the reports come from: the virtual board on the GUI thread, or a socket pair standing
/// in for a hidraw node, fed by a thread of its own and read by the device's I/O.
enum class Feed { VirtualBoard, Socket };

/// The bare reader: on each Read event it takes the report out of the layer and drops it.
class FloorReader final : public QObject, public hid::HidEventSink {
public:
    explicit FloorReader(hid::HidLayer& layer) : layer_(layer), router_(layer, *this) {
        router_.AttachHID(this);
    }
    ~FloorReader() override { router_.DetachHID(); }

    void OnPlugged(hid::Handle) override {}
    void OnUnplugged(hid::Handle) override {}
    void OnChanged() override {
        layer_.SetReadNotify(layer_.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID),
                             true);
    }
    void OnRead(hid::Handle handle) override {
        hid::Report report;
        layer_.Read(handle, report);
    }

private:
    hid::HidLayer& layer_;
    hid::HIDDLLInterface router_;
};

/// Counts the input reports that reach the layer, and those it drops once queued. (Reports a
/// device loses before they reach the layer are only in DeviceManager::droppedReports.)
class ReportCounter final : public hid::ReportObserver {
public:
    std::uint64_t in = 0;
    std::uint64_t dropped = 0;

    void record(hid::ReportDirection direction, hid::Handle, const hid::Report&) override {
        if (direction == hid::ReportDirection::In) ++in;
        if (direction == hid::ReportDirection::Dropped) ++dropped;
    }
};

/// The program's own arrangement: the real HID layer with a board as its source and the
/// window shown (offscreen) and online; or the same layer read by the bare reader.
struct Rig {
    ReportCounter counter; // outlives the layer that tells it
    hid::DeviceManager layer;
    hid::VirtualBoard* board = nullptr;                  // Feed::VirtualBoard
    std::unique_ptr<testsupport::SocketBoard> socketBoard;            // Feed::Socket
    std::unique_ptr<monitor::BoardMonitor> boardMonitor; // shown too, when asked for
    std::unique_ptr<MainForm> form;
    std::unique_ptr<FloorReader> floor;
    hid::Handle handle = 0;

    explicit Rig(Reader reader = Reader::Window, Feed feed = Feed::VirtualBoard,
                 bool withMonitor = false) {
        layer.addObserver(counter);
        if (feed == Feed::VirtualBoard) {
            board = &hid::VirtualBoard::attachTo(layer);
        } else {
            socketBoard = std::make_unique<testsupport::SocketBoard>();
            layer.addSource(std::make_unique<hid::HidrawSource>(testsupport::SocketBoard::options(),
                                                                socketBoard->backend()));
        }
        if (withMonitor) {
            boardMonitor = std::make_unique<monitor::BoardMonitor>(
                layer, monitor::BoardMonitor::BoardIds{protocol::DeviceVendorID,
                                                       protocol::DeviceProductID});
            boardMonitor->show();
        }
        if (reader == Reader::Window) {
            form = std::make_unique<MainForm>(layer);
            form->show();
        } else {
            floor = std::make_unique<FloorReader>(layer);
        }
        if (!WaitUntil([&] {
                return layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID) != 0 &&
                       (!form || form->windowTitle().startsWith("HID Device Online"));
            })) {
            std::fprintf(stderr, "zov_scenario: the board did not come online\n");
            std::exit(1);
        }
        Drain();
        handle = layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
    }
    ~Rig() {
        if (socketBoard) socketBoard->stop();
    }
    const window::Controls& ui() const { return form->controls(); }
    /// Reports taken out of the layer by the reader so far.
    std::uint64_t absorbed() const {
        return counter.in - layer.queuedReports(handle) - counter.dropped;
    }
    /// Reports the board has sent so far.
    std::uint64_t sent() const { return board ? board->reportsSent() : socketBoard->sent(); }
    /// This process's CPU time without the socket board's feeding thread.
    Clock::duration consoleCpu() const {
        return CpuTime() -
               (socketBoard ? std::chrono::duration_cast<Clock::duration>(socketBoard->feederCpu())
                            : Clock::duration{});
    }
};

/// The answers a board sends while polled, in rotation: A/D value, input bits, answer text.
/// Values change from report to report so that every update really changes the window.
class AnswerRotation {
public:
    explicit AnswerRotation(bool withText = true) : withText_(withText) {}

    hid::Report next() {
        hid::Report report{};
        const std::uint32_t n = count_++;
        switch (n % (withText_ ? 3 : 2)) {
        case 0:
            report[protocol::CommandIndex] = protocol::Code::ReadAdc;
            report[protocol::AdValueIndex] = static_cast<std::uint8_t>(n / 3);
            break;
        case 1:
            report[protocol::CommandIndex] = protocol::Code::ReadInput;
            report[protocol::InputBitsIndex] = static_cast<std::uint8_t>(n / 3 * 37);
            break;
        default: {
            report[protocol::CommandIndex] = protocol::Code::ReadText;
            char text[32];
            std::snprintf(text, sizeof text, "Answer %09u", n / 3);
            std::copy_n(text, protocol::AnswerTextLength, report.begin() + protocol::TextIndex);
            break;
        }
        }
        return report;
    }

private:
    bool withText_;
    std::uint32_t count_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Polling: Start Loop clicked on the shown window; each A/D request the board receives is one
// tick, timed on the steady clock as the board gets it.

void Polling(Qt::TimerType type, const char* name, std::chrono::milliseconds duration) {
    Rig rig;
    rig.ui().Timer2->setTimerType(type);
    std::vector<Clock::time_point> ticks;
    ticks.reserve(2000);
    QObject::connect(rig.board, &hid::VirtualBoard::reportReceived, [&](const hid::Report& report) {
        if (report[protocol::CommandIndex] == protocol::Code::ReadAdc)
            ticks.push_back(Clock::now());
    });
    const auto cpu0 = CpuTime();
    const auto wall0 = Clock::now();
    QTest::mouseClick(rig.ui().StartLoop, Qt::LeftButton);
    RunFor(duration);
    QTest::mouseClick(rig.ui().StopLoop, Qt::LeftButton);
    const double cpuShare = Ms(CpuTime() - cpu0) / Ms(Clock::now() - wall0) * 100;
    QObject::disconnect(rig.board, &hid::VirtualBoard::reportReceived, nullptr, nullptr);

    std::vector<double> intervals;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        intervals.push_back(Ms(ticks[i] - ticks[i - 1]));
    const double rate =
        ticks.size() < 2 ? 0 : double(intervals.size()) / (Ms(ticks.back() - ticks.front()) / 1000);
    const double median = Percentile(intervals, 0.5);
    const double p99 = Percentile(intervals, 0.99);
    const double worst =
        intervals.empty() ? NAN : *std::max_element(intervals.begin(), intervals.end());
    const bool goalApplies = type == Qt::PreciseTimer; // the loop's own timer
    const std::string suffix = goalApplies ? "" : " (comparison)";
    AddRow(Format("Polling, %s timer: ticks/s over %.0f s", name, duration.count() / 1000.0),
           Format("%.2f (%zu ticks)", rate, ticks.size()), "≥ 49.5 (99% of 50)" + suffix,
           goalApplies ? YesNo(rate >= 49.5) : "-");
    AddRow(Format("Polling, %s timer: tick interval median / p99 / max", name),
           Format("%.2f / %.2f / %.2f ms", median, p99, worst), "p99 ≤ 21 ms" + suffix,
           goalApplies ? YesNo(p99 <= 21.0) : "-");
    AddRow(Format("Polling, %s timer: CPU", name), Format("%.1f%% of one core", cpuShare), "-",
           "-");
}

// ---------------------------------------------------------------------------------------------
// Input throughput: the board sends answers in rotation (A/D, input bits, answer text) at a set
// rate, catching up every millisecond to the count the rate calls for; rate 0 sends unpaced
// (the virtual board 64 reports per event-loop pass, the socket board as fast as it is read).
// The window absorbs each through OnRead with every display update and the input mirror; the
// bare reader takes each out of the layer and drops it. Absorbed = reached the layer - still
// queued - dropped; backlog = sent - absorbed - dropped (in the socket as well as the queue).

struct Throughput {
    double sentPerSecond;
    double absorbedPerSecond;
    double cpuPercent;
    double cpuMsPer1000;
    std::uint64_t dropped;
    std::uint64_t maxBacklog;
    double backlogFirstSecond; // mean backlog, first and last second of the run
    double backlogLastSecond;
    double cpuFirstSecond; // % of one core in the first and the last second of the run
    double cpuLastSecond;
    int listLines; // ListBox2's lines at the end: one per answer text (window only)
};

/// The goals for a run: reports absorbed with no drops and no growing backlog, within a share
/// of one core. Runs without a goal of their own show "-".
struct InputGoal {
    bool set = false;
    double cpuPercent = 0;
    bool comparison = false; // shown against the goal, the verdict in brackets
};

/// One input run: what feeds the reports, how fast, which answers, and what else is there.
struct InputRun {
    Feed feed;
    int rate; // 0: unpaced
    bool withText;
    InputGoal goal;
    bool withMonitor = false;
    int linesBefore = 0; // lines put in the text list before the run, as after a long session
};

Throughput MeasureThroughput(Reader reader, const InputRun& run,
                             std::chrono::milliseconds duration) {
    const Feed feed = run.feed;
    const int rate = run.rate;
    Rig rig(reader, feed, run.withMonitor);
    if (rig.form) {
        for (int line = 0; line < run.linesBefore; ++line)
            rig.ui().ListBox2->addItem(QStringLiteral("Earlier answer"));
        Drain();
    }
    AnswerRotation answers(run.withText);
    QTimer sender;
    if (feed == Feed::VirtualBoard) {
        std::uint64_t sent = 0;
        const Clock::time_point start = Clock::now();
        sender.setTimerType(Qt::PreciseTimer);
        sender.setInterval(rate > 0 ? 1ms : 0ms);
        QObject::connect(&sender, &QTimer::timeout, [&, sent, start]() mutable {
            const double due =
                rate > 0 ? std::chrono::duration<double>(Clock::now() - start).count() * rate
                         : double(sent + 64);
            for (; double(sent) < due; ++sent)
                rig.board->sendReport(answers.next());
        });
        sender.start();
    } else {
        rig.socketBoard->start(rate, [&answers] { return answers.next(); });
    }
    RunFor(1s); // warm-up: the text list and caches settle before the measured span

    struct Sample {
        Clock::time_point when;
        Clock::duration cpu;
        std::uint64_t backlog;
    };
    std::vector<Sample> samples;
    const auto backlog = [&]() -> std::uint64_t {
        const std::uint64_t done = rig.absorbed() + rig.layer.droppedReports();
        const std::uint64_t sent = rig.sent(); // read last: it only grows
        return sent > done ? sent - done : 0;
    };
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        samples.push_back({Clock::now(), rig.consoleCpu(), backlog()});
    });
    const std::uint64_t sent0 = rig.sent();
    const std::uint64_t absorbed0 = rig.absorbed();
    const std::uint64_t dropped0 = rig.layer.droppedReports();
    const auto cpu0 = rig.consoleCpu();
    const auto wall0 = Clock::now();
    sampler.start(10ms);
    RunFor(duration);
    sampler.stop();
    const double seconds = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpuMs = Ms(rig.consoleCpu() - cpu0);
    const std::uint64_t absorbed = rig.absorbed() - absorbed0;
    const std::uint64_t sent = rig.sent() - sent0;
    sender.stop();
    if (rig.socketBoard) rig.socketBoard->stop();

    Throughput result{};
    result.sentPerSecond = double(sent) / seconds;
    result.absorbedPerSecond = double(absorbed) / seconds;
    result.cpuPercent = cpuMs / (seconds * 1000) * 100;
    result.cpuMsPer1000 = absorbed ? cpuMs / double(absorbed) * 1000 : NAN;
    result.dropped = rig.layer.droppedReports() - dropped0;
    for (const Sample& sample : samples)
        result.maxBacklog = std::max(result.maxBacklog, sample.backlog);
    // 100 samples of 10 ms: one second (less in a short run).
    const std::size_t perSecond = std::min<std::size_t>(100, samples.size() / 2);
    const auto meanBacklog = [&](std::size_t from, std::size_t to) {
        double sum = 0;
        for (std::size_t i = from; i < to; ++i)
            sum += double(samples[i].backlog);
        return to > from ? sum / double(to - from) : 0.0;
    };
    result.backlogFirstSecond = meanBacklog(0, perSecond);
    result.backlogLastSecond = meanBacklog(samples.size() - perSecond, samples.size());
    const auto cpuShare = [&](std::size_t from, std::size_t to) -> double {
        if (to <= from || to >= samples.size()) return NAN;
        return Ms(samples[to].cpu - samples[from].cpu) / Ms(samples[to].when - samples[from].when) *
               100;
    };
    result.cpuFirstSecond = cpuShare(0, perSecond);
    result.cpuLastSecond = cpuShare(samples.size() - 1 - perSecond, samples.size() - 1);
    result.listLines = rig.form ? rig.ui().ListBox2->count() : 0;
    return result;
}

/// Which runs to make: all, or for a profile of one, a single rate, feed or reader.
struct RunFilter {
    int rate = -1; // -1: every rate
    bool textOnly = false;
    bool withoutMonitor = false;
    std::optional<Feed> feed;
    std::optional<Reader> reader;
    std::optional<bool> longList; // only the runs with (or without) a long text list
};
RunFilter runFilter;

void ReportThroughput(const InputRun& run, std::chrono::milliseconds duration) {
    const auto [feed, rate, withText, goal, withMonitor, linesBefore] = run;
    const bool both = !runFilter.reader;
    const Throughput window = runFilter.reader != Reader::LayerAlone
                                  ? MeasureThroughput(Reader::Window, run, duration)
                                  : Throughput{};
    const Throughput alone = runFilter.reader != Reader::Window
                                 ? MeasureThroughput(Reader::LayerAlone, run, duration)
                                 : Throughput{};
    if (!both) { // a profiling run: no ratio to show, and no row for the table
        const Throughput& one = runFilter.reader == Reader::Window ? window : alone;
        std::fprintf(
            stderr, "%s at %d/s%s%s%s: %.1f%% of one core, %.1f ms per 1000 reports\n",
            runFilter.reader == Reader::Window ? "window" : "layer alone", rate,
            feed == Feed::Socket ? ", device path" : "", withMonitor ? ", board monitor open" : "",
            linesBefore ? Format(", %d lines in the list before", linesBefore).c_str() : "",
            one.cpuPercent, one.cpuMsPer1000);
        return;
    }
    std::string label =
        rate ? Format("Input at %d reports/s", rate) : std::string("Input unpaced (saturated)");
    if (!withText) label += " (A/D and input bits only, no answer text)";
    if (feed == Feed::Socket) label += ", device path (socket pair, device I/O)";
    if (withMonitor) label += ", board monitor open";
    if (linesBefore) label += Format(", text list already %d lines long", linesBefore);

    // Growing: the last second's backlog over the first's by more than 5 ms of reports (at
    // least 8), where a reader that keeps up holds at most about a frame's worth.
    const double allowance = std::max(8.0, rate * 0.005);
    const bool flat =
        window.dropped == 0 && window.backlogLastSecond <= window.backlogFirstSecond + allowance;
    const auto verdict = [&](bool ok) -> std::string {
        if (!goal.set) return "-";
        if (goal.comparison) return ok ? "(yes)" : "(no)";
        return YesNo(ok);
    };
    const std::string note = goal.comparison ? " (comparison)" : "";
    AddRow(label + ": absorbed/s, backlog",
           Format("%.0f/s absorbed of %.0f/s sent; dropped %llu; backlog max %llu, "
                  "mean %.1f first s → %.1f last s",
                  window.absorbedPerSecond, window.sentPerSecond,
                  static_cast<unsigned long long>(window.dropped),
                  static_cast<unsigned long long>(window.maxBacklog), window.backlogFirstSecond,
                  window.backlogLastSecond),
           goal.set ? Format("absorbs %d/s, no drops, no growing backlog", rate) + note : "-",
           verdict(window.absorbedPerSecond >= 0.99 * rate && flat));
    const std::string lines =
        withText ? Format("; ListBox2 %d lines at the end", window.listLines) : "";
    AddRow(label + ": CPU, window / layer alone",
           Format("%.1f%% of one core (first s %.1f%%, last s %.1f%%), %.1f ms per 1000 reports; "
                  "layer alone %.1f%% (%.0f/s absorbed), %.1f ms per 1000: window ×%.1f%s",
                  window.cpuPercent, window.cpuFirstSecond, window.cpuLastSecond,
                  window.cpuMsPer1000, alone.cpuPercent, alone.absorbedPerSecond,
                  alone.cpuMsPer1000, window.cpuMsPer1000 / alone.cpuMsPer1000, lines.c_str()),
           goal.set ? Format("< %.0f%% of one core", goal.cpuPercent) + note : "-",
           verdict(window.cpuPercent < goal.cpuPercent));
}

void InputThroughput(std::chrono::milliseconds duration) {
    const InputGoal fullSpeed{true, 10};
    const InputGoal highSpeed{true, 50};
    // The goal is the window's; the board monitor is a window of its own, opened on demand.
    const InputGoal fullSpeedComparison{true, 10, true};
    const std::vector<InputRun> runs{
        {Feed::VirtualBoard, 1000, true, fullSpeed},
        {Feed::VirtualBoard, 5000, true, {}},
        {Feed::VirtualBoard, 8000, true, highSpeed},
        {Feed::VirtualBoard, 0, true, {}},
        {Feed::VirtualBoard, 1000, false, fullSpeedComparison},
        {Feed::VirtualBoard, 1000, true, fullSpeedComparison, true},
        {Feed::VirtualBoard, 1000, true, {}, false, 100'000},
        {Feed::Socket, 1000, true, fullSpeed},
        {Feed::Socket, 8000, true, highSpeed},
        {Feed::Socket, 0, true, {}},
    };
    for (const InputRun& run : runs)
        if ((runFilter.rate < 0 || run.rate == runFilter.rate) &&
            (!runFilter.textOnly || run.withText) &&
            (!runFilter.withoutMonitor || !run.withMonitor) &&
            (!runFilter.longList || *runFilter.longList == (run.linesBefore > 0)) &&
            (!runFilter.feed || run.feed == *runFilter.feed))
            ReportThroughput(run, duration);
}

// ---------------------------------------------------------------------------------------------
// Idle: the window online with the board attached and nothing happening (no input for over
// 10 s, so the text cursor has stopped blinking), for 5 s: the CPU it takes, and every timer
// and paint event the GUI thread delivers meanwhile (an application event filter; the
// receivers' classes are named).

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

void Idle(Feed feed, std::chrono::seconds duration) {
    // As the program does: the text cursor stops blinking after a spell without input.
    const CaretBlinkTimeout caretBlinkTimeout;
    Rig rig(Reader::Window, feed);
    // The start-up paints and deferred work are over, and the cursor rests.
    RunFor(CaretBlinkTimeout::DefaultTimeout + 500ms);
    EventTally tally;
    qApp->installEventFilter(&tally);
    const auto cpu0 = rig.consoleCpu();
    const auto wall0 = Clock::now();
    RunFor(duration);
    const double cpuShare = Ms(rig.consoleCpu() - cpu0) / Ms(Clock::now() - wall0) * 100;
    qApp->removeEventFilter(&tally);
    // The measuring timer of RunFor itself is the one timer expected.
    std::string receivers;
    for (const auto& [name, count] : tally.timerReceivers)
        receivers += Format("%s%s %d", receivers.empty() ? "" : ", ", name.c_str(), count);
    const int ownTimers = 1;
    const int timers = tally.timers - ownTimers;
    const std::string label = feed == Feed::VirtualBoard
                                  ? "Idle, virtual board attached"
                                  : "Idle, device path (socket pair, device I/O) attached";
    AddRow(Format("%s, %lld s: CPU", label.c_str(), static_cast<long long>(duration.count())),
           Format("%.2f%% of one core", cpuShare), "< 0.5% of one core", YesNo(cpuShare < 0.5));
    AddRow(label + ": timer events / paints while idle",
           Format("%d timer events besides the measuring one (%s); %d paints", timers,
                  receivers.empty() ? "none" : receivers.c_str(), tally.paints),
           "no timer runs", YesNo(timers == 0));
}

// ---------------------------------------------------------------------------------------------
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

void LatencyUnderStream(std::chrono::milliseconds duration) {
    Rig rig;
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
    AddRow(Format("Latency, report in to Label1 repainted, under a 1000/s stream (%zu reports)",
                  latencies.size()),
           Format("median %.1f ms, p99 %.1f ms, max %.1f ms", Percentile(latencies, 0.5) / 1000,
                  p99 / 1000,
                  latencies.empty() ? NAN
                                    : *std::max_element(latencies.begin(), latencies.end()) / 1000),
           "p99 < 20 ms (one frame)", YesNo(p99 < 20'000));
}

void Latency(int samples, int quietSamples) {
    Rig rig;
    {
        Clock::time_point reached{};
        QObject::connect(rig.board, &hid::VirtualBoard::reportReceived,
                         [&](const hid::Report&) { reached = Clock::now(); });
        std::vector<double> latencies;
        for (int i = 0; i < samples; ++i) {
            reached = {};
            const auto clicked = Clock::now();
            QTest::mouseClick(rig.ui().DisplayADC, Qt::LeftButton);
            if (reached != Clock::time_point{}) latencies.push_back(Us(reached - clicked));
            Drain(); // the board's answer is absorbed before the next click
        }
        QObject::disconnect(rig.board, &hid::VirtualBoard::reportReceived, nullptr, nullptr);
        AddRow(Format("Latency, click to report at the device (%zu clicks)", latencies.size()),
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
        AddRow(Format("Latency, report in to Label1 showing it, after a quiet spell (%zu reports)",
                      toText.size()),
               Format("median %.1f µs, p99 %.1f µs", Percentile(toText, 0.5),
                      Percentile(toText, 0.99)),
               "-", "-");
        const double median = Percentile(toPaint, 0.5);
        AddRow(
            Format("Latency, report in to Label1 repainted, after a quiet spell (%zu reports)",
                   toPaint.size()),
            Format("median %.2f ms, p99 %.2f ms", median / 1000, Percentile(toPaint, 0.99) / 1000),
            "median < 5 ms", YesNo(median < 5'000));
    }
}

// ---------------------------------------------------------------------------------------------
// Memory: VmRSS with the window idle, then after each 100,000 reports absorbed (sent unpaced
// in batches of 64 per event-loop pass, so nothing is dropped).

void SendAndAbsorb(Rig& rig, AnswerRotation& answers, int count) {
    int sent = 0;
    while (sent < count) {
        for (int i = 0; i < 64 && sent < count; ++i, ++sent)
            rig.board->sendReport(answers.next());
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    WaitUntil([&] { return rig.layer.queuedReports(rig.handle) == 0; });
    Drain();
}

void Memory() {
    {
        Rig rig;
        AnswerRotation answers(false);
        RunFor(1s);
        const long idle = ResidentKiB();
        SendAndAbsorb(rig, answers, 100'000);
        RunFor(200ms);
        const long first = ResidentKiB();
        SendAndAbsorb(rig, answers, 100'000);
        RunFor(200ms);
        const long second = ResidentKiB();
        // Noise: a few hundred KiB of allocator and cache slack either way.
        const bool flat = std::abs(second - first) <= 1024 && first - idle <= 1024;
        AddRow("Memory (A/D and input-bit answers): VmRSS idle → after 100k → after 200k reports",
               Format("%.1f → %.1f → %.1f MiB (%+ld KiB, then %+ld KiB)", idle / 1024.0,
                      first / 1024.0, second / 1024.0, first - idle, second - first),
               "no growth beyond noise (≤ 1 MiB)", YesNo(flat));
    }
    {
        // Every answer text stays in ListBox2 as a line of its own, so text answers grow the
        // window by design; measured in steps of 2,000 with the time each step takes.
        Rig rig;
        AnswerRotation answers(true);
        RunFor(1s);
        const long idle = ResidentKiB();
        std::string steps;
        long last = idle;
        for (int step = 0; step < 3; ++step) {
            const auto t0 = Clock::now();
            SendAndAbsorb(rig, answers, 6'000); // 2,000 of each answer
            const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            RunFor(200ms);
            const long now = ResidentKiB();
            steps += Format("%s%d lines: %+ld KiB in %.2f s", step ? "; " : "",
                            rig.ui().ListBox2->count(), now - last, seconds);
            last = now;
        }
        AddRow("Memory and time, answer texts kept in ListBox2 (steps of 6,000 reports, 2,000 "
               "texts)",
               Format("idle %.1f MiB; ", idle / 1024.0) + steps, "-", "-");
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up: the real program with --virtual-board --trace FILE on the offscreen platform. The
// window sends its start-up report while it is being built, so the trace's first line carries
// the time the window was built (its own UTC time stamp, against the launch time on the same
// clock). The trace reaches the file from the event loop, 50 ms after the first line was
// recorded at the earliest, once the window has been shown and the loop runs: the time the
// line appears on disk is an upper bound for the window being up.

void StartUp(const QString& program, int runs) {
    QTemporaryDir dir;
    std::vector<double> built;
    std::vector<double> onDisk;
    for (int run = 0; run < runs; ++run) {
        const QString tracePath = dir.filePath(QString("trace-%1.txt").arg(run));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const auto launchedUtc = std::chrono::system_clock::now();
        const auto launched = Clock::now();
        process.start(program, {"--virtual-board", "--trace", tracePath});
        QByteArray firstLine;
        QDeadlineTimer deadline(10s);
        while (!deadline.hasExpired()) {
            QFile file(tracePath);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray text = file.readAll();
                if (text.contains('\n')) {
                    firstLine = text.left(text.indexOf('\n'));
                    break;
                }
            }
            process.waitForFinished(1); // also a 1 ms pause between looks at the file
            if (process.state() == QProcess::NotRunning) break;
        }
        const auto appeared = Clock::now();
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill(), process.waitForFinished(1000);
        if (firstLine.isEmpty()) {
            std::fprintf(stderr, "zov_scenario: no trace line from %s\n", qPrintable(program));
            continue;
        }
        std::tm utc{};
        long micros = 0;
        if (std::sscanf(firstLine.constData(), "%d-%d-%dT%d:%d:%d.%ldZ", &utc.tm_year, &utc.tm_mon,
                        &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &micros) != 7)
            continue;
        utc.tm_year -= 1900;
        utc.tm_mon -= 1;
        const auto stamp = std::chrono::system_clock::from_time_t(timegm(&utc)) +
                           std::chrono::microseconds(micros);
        built.push_back(Ms(stamp - launchedUtc));
        onDisk.push_back(Ms(appeared - launched));
    }
    AddRow(Format("Start-up to window built (start-up report sent), %zu runs", built.size()),
           Format("median %.0f ms, max %.0f ms", Percentile(built, 0.5),
                  built.empty() ? NAN : *std::max_element(built.begin(), built.end())),
           "-", "-");
    AddRow(Format("Start-up to window up and event loop running (trace on disk), %zu runs",
                  onDisk.size()),
           Format("median %.0f ms, max %.0f ms (includes the trace's 50 ms gathering)",
                  Percentile(onDisk, 0.5),
                  onDisk.empty() ? NAN : *std::max_element(onDisk.begin(), onDisk.end())),
           "-", "-");
}

void PrintTable() {
    std::printf("| Measure | Figure | Goal | Met |\n|---|---|---|---|\n");
    for (const Row& row : rows)
        std::printf("| %s | %s | %s | %s |\n", row.measure.c_str(), row.figure.c_str(),
                    row.goal.c_str(), row.met.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString program;
    QString only; // one section by name, for a quick look at it alone
    int pollSeconds = 10;
    int throughputSeconds = 5;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--program")
            program = args[++i];
        else if (args[i] == "--poll-seconds")
            pollSeconds = args[++i].toInt();
        else if (args[i] == "--throughput-seconds")
            throughputSeconds = args[++i].toInt();
        else if (args[i] == "--rate")
            runFilter.rate = args[++i].toInt();
        else if (args[i] == "--feed")
            runFilter.feed = args[++i] == "socket" ? Feed::Socket : Feed::VirtualBoard;
        else if (args[i] == "--reader")
            runFilter.reader = args[++i] == "alone" ? Reader::LayerAlone : Reader::Window;
        else if (args[i] == "--text-only")
            runFilter.textOnly = args[++i] == "yes";
        else if (args[i] == "--monitor")
            runFilter.withoutMonitor = args[++i] == "no";
        else if (args[i] == "--long-list")
            runFilter.longList = args[++i] == "yes";
        else if (args[i] == "--only")
            only = args[++i];
    }
    const auto wanted = [&](const char* section) {
        const bool run = only.isEmpty() || only == QLatin1String(section);
        if (run) std::fprintf(stderr, "%s...\n", section);
        return run;
    };

    // Memory first, while the process has run nothing else.
    if (wanted("memory")) Memory();
    if (wanted("polling")) {
        Polling(Qt::PreciseTimer, "precise (Start Loop's own)", std::chrono::seconds(pollSeconds));
        Polling(Qt::CoarseTimer, "coarse (Qt's default)", std::chrono::seconds(pollSeconds));
    }
    if (wanted("idle")) {
        Idle(Feed::VirtualBoard, 5s);
        Idle(Feed::Socket, 5s);
    }
    if (wanted("throughput")) InputThroughput(std::chrono::seconds(throughputSeconds));
    if (wanted("latency")) {
        Latency(1000, 200);
        LatencyUnderStream(3s);
    }
    if (!program.isEmpty() && wanted("startup")) StartUp(program, 10);
    PrintTable();
    return 0;
}
