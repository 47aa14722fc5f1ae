// The timed scenarios on the virtual board: polling rate and jitter, input throughput and its
// CPU cost, click and display latency, resident memory and start-up time. Prints one Markdown
// table with each figure beside its goal. Every figure is measured in this run.
//
// Usage: zov_scenario [--program PATH] [--repeats N] [--poll-seconds N] [--throughput-seconds N]
//                     [--only NAME] [--rate N]
//   --program  the console's binary, started several times for the start-up figure
//   --repeats  how many runs each CPU figure is the median of (5); --poll-seconds and
//              --throughput-seconds are each run's span (2 s each)
//   --only     one of memory, polling, idle, throughput, latency, startup, check, station
//   --rate     only the throughput runs at this rate (0: unpaced); for a profile of one run also
//              --feed virtual|socket, --reader window|alone (its CPU alone, on stderr, not in
//              the table), --text-only yes, --monitor no, --long-list yes|no
#include "bench/scenario/ResultTable.h"
#include "bench/scenario/ScenarioOptions.h"
#include "bench/scenario/Scenarios.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bench::ScenarioOptions options =
        bench::ParseScenarioOptions(QCoreApplication::arguments());
    bench::ResultTable table;
    bench::ScenarioContext context{options, table};
    const auto wanted = [&](const char* section) {
        const bool run = options.only.isEmpty() || options.only == QLatin1String(section);
        if (run) std::fprintf(stderr, "%s...\n", section);
        return run;
    };

    // Memory first, while the process has run nothing else.
    if (wanted("memory")) bench::MemoryScenario(context);
    if (wanted("polling")) bench::PollingScenario(context);
    if (wanted("idle")) bench::IdleScenario(context);
    if (wanted("throughput")) bench::ThroughputScenario(context);
    if (wanted("latency")) bench::LatencyScenario(context);
    if (!options.program.isEmpty() && wanted("startup")) bench::StartUpScenario(context);
    if (!options.program.isEmpty() && wanted("check")) bench::CheckScenario(context);
    if (wanted("station")) bench::StationScenario(context);
    table.print();
    return 0;
}
