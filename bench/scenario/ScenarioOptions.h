#pragma once

#include "bench/scenario/ConsoleRig.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace bench {

/// Which throughput runs to make: all, or for a profile of one, a single rate, feed or reader.
struct RunFilter {
    int rate = -1; // -1: every rate
    bool textOnly = false;
    bool withoutMonitor = false;
    std::optional<Feed> feed;
    std::optional<Reader> reader;
    std::optional<bool> longList; // only the runs with (or without) a long text list
};

/// What the command line asks for.
struct ScenarioOptions {
    QString program; // the console's binary, for the start-up figure
    QString only;    // one section by name, for a quick look at it alone
    // Each CPU figure is the median of this many runs, spread over the whole benchmark run
    // so that a burst of other work on the machine lands in one of them, not in all.
    int repeats = 5;
    int pollSeconds = 2;       // per run
    int throughputSeconds = 2; // measured per run, after a 1 s warm-up
    RunFilter runs;
};

/// Reads the options from the program's arguments (the first is the program itself).
ScenarioOptions ParseScenarioOptions(const QStringList& args);

} // namespace bench
