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
    int pollSeconds = 10;
    int throughputSeconds = 5;
    RunFilter runs;
};

/// Reads the options from the program's arguments (the first is the program itself).
ScenarioOptions ParseScenarioOptions(const QStringList& args);

} // namespace bench
