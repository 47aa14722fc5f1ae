// Input throughput: the board sends answers in rotation (A/D, input bits, answer text) at a set
// rate, catching up every millisecond to the count the rate calls for; rate 0 sends unpaced
// (the virtual board 64 reports per event-loop pass, the socket board as fast as it is read).
// The window absorbs each through OnRead with every display update and the input mirror; the
// bare reader takes each out of the layer and drops it. Absorbed = reached the layer - still
// queued - dropped; backlog = sent - absorbed - dropped (in the socket as well as the queue).
#include "bench/scenario/AnswerRotation.h"
#include "bench/scenario/ConsoleRig.h"
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"

#include <QListWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using namespace std::chrono_literals;

namespace {

struct Throughput {
    double sentPerSecond;
    double absorbedPerSecond;
    double cpuPercent;
    double cpuMsPer1000;
    std::uint64_t dropped;
    std::uint64_t maxBacklog;
    double backlogFirstSecond; // mean backlog, first and last second of the run
    double backlogLastSecond;
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
    ConsoleRig rig(reader, feed, run.withMonitor);
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

    std::vector<std::uint64_t> samples; // the backlog every 10 ms
    const auto backlog = [&]() -> std::uint64_t {
        const std::uint64_t done = rig.absorbed() + rig.layer.droppedReports();
        const std::uint64_t sent = rig.sent(); // read last: it only grows
        return sent > done ? sent - done : 0;
    };
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] { samples.push_back(backlog()); });
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
    for (const std::uint64_t sample : samples)
        result.maxBacklog = std::max(result.maxBacklog, sample);
    // 100 samples of 10 ms: one second (less in a short run).
    const std::size_t perSecond = std::min<std::size_t>(100, samples.size() / 2);
    const auto meanBacklog = [&](std::size_t from, std::size_t to) {
        double sum = 0;
        for (std::size_t i = from; i < to; ++i)
            sum += double(samples[i]);
        return to > from ? sum / double(to - from) : 0.0;
    };
    result.backlogFirstSecond = meanBacklog(0, perSecond);
    result.backlogLastSecond = meanBacklog(samples.size() - perSecond, samples.size());
    result.listLines = rig.form ? rig.ui().ListBox2->count() : 0;
    return result;
}

/// The repeated runs of one kind, the window's and the bare reader's.
struct Repeated {
    std::vector<Throughput> window;
    std::vector<Throughput> alone;
};

std::vector<double> Each(const std::vector<Throughput>& runs, double Throughput::*figure) {
    std::vector<double> values;
    for (const Throughput& run : runs)
        values.push_back(run.*figure);
    return values;
}

/// The run whose backlog grew most, or that dropped: the one the verdict hangs on.
const Throughput& WorstRun(const std::vector<Throughput>& runs) {
    return *std::max_element(
        runs.begin(), runs.end(), [](const Throughput& a, const Throughput& b) {
            const auto key = [](const Throughput& run) {
                return std::pair(run.dropped, run.backlogLastSecond - run.backlogFirstSecond);
            };
            return key(a) < key(b);
        });
}

/// A profiling run: no ratio to show, and no row for the table.
void TellOneReader(const RunFilter& runFilter, const InputRun& run,
                   const std::vector<Throughput>& runs) {
    std::fprintf(stderr, "%s at %d/s%s%s%s: %s, %.1f ms per 1000 reports\n",
                 runFilter.reader == Reader::Window ? "window" : "layer alone", run.rate,
                 run.feed == Feed::Socket ? ", device path" : "",
                 run.withMonitor ? ", board monitor open" : "",
                 run.linesBefore ? Format(", %d lines in the list before", run.linesBefore).c_str()
                                 : "",
                 CpuSpread(Each(runs, &Throughput::cpuPercent), "runs").c_str(),
                 SpreadOf(Each(runs, &Throughput::cpuMsPer1000)).median);
}

void ReportThroughput(ResultTable& table, const InputRun& run, const Repeated& runs) {
    const auto [feed, rate, withText, goal, withMonitor, linesBefore] = run;
    std::string label =
        rate ? Format("Input at %d reports/s", rate) : std::string("Input unpaced (saturated)");
    if (!withText) label += " (A/D and input bits only, no answer text)";
    if (feed == Feed::Socket) label += ", device path (socket pair, device I/O)";
    if (withMonitor) label += ", board monitor open";
    if (linesBefore) label += Format(", text list already %d lines long", linesBefore);

    // Growing: the last second's backlog over the first's by more than 5 ms of reports (at
    // least 8), where a reader that keeps up holds at most about a frame's worth. Every run
    // must absorb the rate with no drops and no growing backlog.
    const double allowance = std::max(8.0, rate * 0.005);
    const Throughput& worst = WorstRun(runs.window);
    const double slowest = SpreadOf(Each(runs.window, &Throughput::absorbedPerSecond)).min;
    const bool flat =
        worst.dropped == 0 && worst.backlogLastSecond <= worst.backlogFirstSecond + allowance;
    const auto verdict = [&](bool ok) -> std::string {
        if (!goal.set) return "-";
        if (goal.comparison) return ok ? "(yes)" : "(no)";
        return YesNo(ok);
    };
    const std::string note = goal.comparison ? " (comparison)" : "";
    std::uint64_t dropped = 0;
    std::uint64_t maxBacklog = 0;
    for (const Throughput& one : runs.window) {
        dropped += one.dropped;
        maxBacklog = std::max(maxBacklog, one.maxBacklog);
    }
    table.add(label + ": absorbed/s, backlog",
              Format("%.0f/s absorbed of %.0f/s sent in the slowest of %zu runs; dropped %llu; "
                     "backlog max %llu, mean %.1f first s → %.1f last s in the run it grew most",
                     slowest, SpreadOf(Each(runs.window, &Throughput::sentPerSecond)).median,
                     runs.window.size(), static_cast<unsigned long long>(dropped),
                     static_cast<unsigned long long>(maxBacklog), worst.backlogFirstSecond,
                     worst.backlogLastSecond),
              goal.set ? Format("absorbs %d/s, no drops, no growing backlog", rate) + note : "-",
              verdict(slowest >= 0.99 * rate && flat));

    const std::vector<double> windowCpu = Each(runs.window, &Throughput::cpuPercent);
    const double windowMs = SpreadOf(Each(runs.window, &Throughput::cpuMsPer1000)).median;
    const double aloneMs = SpreadOf(Each(runs.alone, &Throughput::cpuMsPer1000)).median;
    const std::string lines =
        withText ? Format("; ListBox2 %d lines at the end", runs.window.back().listLines) : "";
    table.add(label + ": CPU, window / layer alone",
              Format("%s, %.1f ms per 1000 reports; layer alone %s (%.0f/s absorbed), %.1f ms "
                     "per 1000: window ×%.1f (medians)%s",
                     CpuSpread(windowCpu, "runs").c_str(), windowMs,
                     CpuSpread(Each(runs.alone, &Throughput::cpuPercent), "runs").c_str(),
                     SpreadOf(Each(runs.alone, &Throughput::absorbedPerSecond)).median, aloneMs,
                     windowMs / aloneMs, lines.c_str()),
              goal.set ? Format("< %.0f%% of one core (median)", goal.cpuPercent) + note : "-",
              verdict(SpreadOf(windowCpu).median < goal.cpuPercent));
}

} // namespace

void ThroughputScenario(ScenarioContext& context) {
    const RunFilter& runFilter = context.options.runs;
    const std::chrono::seconds duration(context.options.throughputSeconds);
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
    std::vector<InputRun> chosen;
    for (const InputRun& run : runs)
        if ((runFilter.rate < 0 || run.rate == runFilter.rate) &&
            (!runFilter.textOnly || run.withText) &&
            (!runFilter.withoutMonitor || !run.withMonitor) &&
            (!runFilter.longList || *runFilter.longList == (run.linesBefore > 0)) &&
            (!runFilter.feed || run.feed == *runFilter.feed))
            chosen.push_back(run);

    // Round after round of every chosen run, so that the repeats of one run are spread over
    // the whole scenario, and a burst of other work on the machine falls in one of them.
    std::vector<Repeated> repeated(chosen.size());
    for (int round = 1; round <= context.options.repeats; ++round) {
        std::fprintf(stderr, "  round %d of %d\n", round, context.options.repeats);
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            if (runFilter.reader != Reader::LayerAlone)
                repeated[i].window.push_back(
                    MeasureThroughput(Reader::Window, chosen[i], duration));
            if (runFilter.reader != Reader::Window)
                repeated[i].alone.push_back(
                    MeasureThroughput(Reader::LayerAlone, chosen[i], duration));
        }
    }
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (runFilter.reader)
            TellOneReader(runFilter, chosen[i],
                          *runFilter.reader == Reader::Window ? repeated[i].window
                                                              : repeated[i].alone);
        else
            ReportThroughput(context.table, chosen[i], repeated[i]);
    }
}

} // namespace bench
