// The timed scenarios on the virtual board: polling rate and jitter, input throughput and its
// CPU cost, click and display latency, resident memory and start-up time. Prints one Markdown
// table with each figure beside its goal. Every figure is measured in this run.
//
// Usage: zov_scenario [--program PATH] [--poll-seconds N] [--throughput-seconds N] [--only NAME]
//   --program  the console's binary, started several times for the start-up figure
//   --only     one of memory, polling, throughput, latency, startup
#include "hid/DeviceManager.h"
#include "hid/HidEvent.h"
#include "hid/VirtualBoard.h"
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
#include <memory>
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

/// The program's own arrangement: the real HID layer with the virtual board as its source and
/// the window shown (offscreen) and online.
struct Rig {
    hid::DeviceManager layer;
    hid::VirtualBoard* board = nullptr;
    std::unique_ptr<monitor::BoardMonitor> boardMonitor; // shown too, when asked for
    std::unique_ptr<MainForm> form;
    hid::Handle handle = 0;

    explicit Rig(bool withMonitor = false) {
        board = &hid::VirtualBoard::attachTo(layer);
        if (withMonitor) {
            boardMonitor = std::make_unique<monitor::BoardMonitor>(
                layer, monitor::BoardMonitor::BoardIds{protocol::DeviceVendorID,
                                                       protocol::DeviceProductID});
            boardMonitor->show();
        }
        form = std::make_unique<MainForm>(layer);
        form->show();
        if (!WaitUntil([&] { return form->windowTitle().startsWith("HID Device Online"); })) {
            std::fprintf(stderr, "zov_scenario: the window did not come online\n");
            std::exit(1);
        }
        Drain();
        handle = layer.GetHandle(hid::VirtualBoard::VendorId, hid::VirtualBoard::ProductId);
    }
    const window::Controls& ui() const { return form->controls(); }
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
// rate from a precise 1 ms timer, catching up on every tick to the count the rate calls for;
// rate 0 sends unpaced, 64 reports per event-loop pass. The window absorbs each through OnRead
// with every display update and the input mirror. Absorbed = sent - still queued - dropped.

struct Throughput {
    double sentPerSecond;
    double absorbedPerSecond;
    double cpuPercent;
    double cpuMsPer1000;
    std::uint64_t dropped;
    std::size_t maxQueued;
    double queuedFirstSecond; // mean queue length, first and last second of the run
    double queuedLastSecond;
    double cpuFirstSecond; // % of one core in the first and the last second of the run
    double cpuLastSecond;
    int listLines; // ListBox2's lines at the end: one per answer text
};

Throughput MeasureThroughput(int rate, std::chrono::milliseconds duration, bool withText,
                             bool withMonitor) {
    Rig rig(withMonitor);
    AnswerRotation answers(withText);
    std::uint64_t sent = 0;
    Clock::time_point start = Clock::now();
    QTimer sender;
    sender.setTimerType(Qt::PreciseTimer);
    if (rate > 0) {
        sender.setInterval(1ms);
        QObject::connect(&sender, &QTimer::timeout, [&] {
            const double due = std::chrono::duration<double>(Clock::now() - start).count() * rate;
            while (double(sent) < due) {
                rig.board->sendReport(answers.next());
                ++sent;
            }
        });
    } else {
        sender.setInterval(0ms);
        QObject::connect(&sender, &QTimer::timeout, [&] {
            for (int i = 0; i < 64; ++i) {
                rig.board->sendReport(answers.next());
                ++sent;
            }
        });
    }
    sender.start();
    RunFor(1s); // warm-up: the text list and caches settle before the measured span

    const auto popped = [&] {
        return rig.board->reportsSent() - rig.layer.queuedReports(rig.handle) -
               rig.layer.droppedReports();
    };
    std::vector<std::size_t> queued;
    std::vector<std::pair<Clock::time_point, Clock::duration>> cpuSamples;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        queued.push_back(rig.layer.queuedReports(rig.handle));
        cpuSamples.emplace_back(Clock::now(), CpuTime());
    });
    const std::uint64_t sent0 = rig.board->reportsSent();
    const std::uint64_t popped0 = popped();
    const std::uint64_t dropped0 = rig.layer.droppedReports();
    const auto cpu0 = CpuTime();
    const auto wall0 = Clock::now();
    sampler.start(10ms);
    RunFor(duration);
    sampler.stop();
    const double seconds = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpuMs = Ms(CpuTime() - cpu0);
    const std::uint64_t absorbed = popped() - popped0;
    sender.stop();

    Throughput result{};
    result.sentPerSecond = double(rig.board->reportsSent() - sent0) / seconds;
    result.absorbedPerSecond = double(absorbed) / seconds;
    result.cpuPercent = cpuMs / (seconds * 1000) * 100;
    result.cpuMsPer1000 = absorbed ? cpuMs / double(absorbed) * 1000 : NAN;
    result.dropped = rig.layer.droppedReports() - dropped0;
    result.maxQueued = queued.empty() ? 0 : *std::max_element(queued.begin(), queued.end());
    // 100 samples of 10 ms: one second (less in a short run).
    const std::size_t perSecond = std::min<std::size_t>(100, queued.size() / 2);
    const auto mean = [&](auto first, auto last) {
        double sum = 0;
        for (auto it = first; it != last; ++it)
            sum += double(*it);
        return first == last ? 0.0 : sum / double(last - first);
    };
    result.queuedFirstSecond = mean(queued.begin(), queued.begin() + perSecond);
    result.queuedLastSecond = mean(queued.end() - perSecond, queued.end());
    const auto cpuShare = [&](std::size_t from, std::size_t to) -> double {
        if (to <= from || to >= cpuSamples.size()) return NAN;
        return Ms(cpuSamples[to].second - cpuSamples[from].second) /
               Ms(cpuSamples[to].first - cpuSamples[from].first) * 100;
    };
    result.cpuFirstSecond = cpuShare(0, perSecond);
    result.cpuLastSecond = cpuShare(cpuSamples.size() - 1 - perSecond, cpuSamples.size() - 1);
    result.listLines = rig.ui().ListBox2->count();
    return result;
}

void InputThroughput(std::chrono::milliseconds duration) {
    struct Run {
        int rate; // 0: unpaced
        bool withText;
        bool withMonitor = false;
    };
    for (const Run run : {Run{1000, true}, Run{2000, true}, Run{5000, true}, Run{0, true},
                          Run{1000, false}, Run{1000, true, true}}) {
        const int rate = run.rate;
        const Throughput t = MeasureThroughput(rate, duration, run.withText, run.withMonitor);
        std::string label =
            rate ? Format("Input at %d reports/s", rate) : std::string("Input unpaced (saturated)");
        if (!run.withText) label += " (A/D and input bits only, no answer text)";
        if (run.withMonitor) label += ", board monitor open";
        const bool flat = t.dropped == 0 && t.queuedLastSecond <= t.queuedFirstSecond + 8;
        // The goal is for the full mix at 1000/s, with or without the board monitor; the same
        // rate without answer texts is shown against it for comparison, its verdict in brackets.
        std::string goal = "-";
        std::string met = "-";
        std::string cpuGoal = "-";
        std::string cpuMet = "-";
        if (rate == 1000) {
            const std::string note = run.withText ? "" : " (comparison)";
            const auto verdict = [&](bool ok) -> std::string {
                if (run.withText) return YesNo(ok);
                return ok ? "(yes)" : "(no)";
            };
            goal = "absorbs 1000/s, no growing backlog" + note;
            met = verdict(t.absorbedPerSecond >= 990 && flat);
            cpuGoal = "< 25% of one core" + note;
            cpuMet = verdict(t.cpuPercent < 25);
        }
        AddRow(label + ": absorbed/s, backlog",
               Format("%.0f/s absorbed of %.0f/s sent; dropped %llu; queue max %zu, "
                      "mean %.1f first s → %.1f last s",
                      t.absorbedPerSecond, t.sentPerSecond,
                      static_cast<unsigned long long>(t.dropped), t.maxQueued, t.queuedFirstSecond,
                      t.queuedLastSecond),
               goal, met);
        AddRow(label + ": CPU",
               Format("%.1f%% of one core (first s %.1f%%, last s %.1f%%); %.1f ms per 1000 "
                      "reports; ListBox2 %d lines at the end",
                      t.cpuPercent, t.cpuFirstSecond, t.cpuLastSecond, t.cpuMsPer1000, t.listLines),
               cpuGoal, cpuMet);
    }
}

// ---------------------------------------------------------------------------------------------
// Latency.
//  Click to device: QTest::mouseClick on DisplayADC (press and release, the click handler runs
//  inside the release) to the board's reportReceived, both on the steady clock.
//  Report to window: VirtualBoard::sendReport of an A/D answer to (a) Label1 showing its text,
//  seen by a tight loop of processEvents() that checks the label after each pass, and (b) the
//  first Paint event Label1 gets after that, seen by an event filter on the label.

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

void Latency(int samples) {
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
        for (int i = 0; i < samples; ++i) {
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
        AddRow(Format("Latency, report in to Label1 showing it (%zu reports)", toText.size()),
               Format("median %.1f µs, p99 %.1f µs", Percentile(toText, 0.5),
                      Percentile(toText, 0.99)),
               "-", "-");
        AddRow(Format("Latency, report in to Label1 repainted (%zu reports)", toPaint.size()),
               Format("median %.1f µs, p99 %.1f µs", Percentile(toPaint, 0.5),
                      Percentile(toPaint, 0.99)),
               "-", "-");
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
    if (wanted("throughput")) InputThroughput(std::chrono::seconds(throughputSeconds));
    if (wanted("latency")) Latency(1000);
    if (!program.isEmpty() && wanted("startup")) StartUp(program, 10);
    PrintTable();
    return 0;
}
