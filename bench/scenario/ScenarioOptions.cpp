#include "bench/scenario/ScenarioOptions.h"

#include <algorithm>

namespace bench {

ScenarioOptions ParseScenarioOptions(const QStringList& args) {
    ScenarioOptions options;
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--program")
            options.program = args[++i];
        else if (args[i] == "--poll-seconds")
            options.pollSeconds = args[++i].toInt();
        else if (args[i] == "--repeats")
            options.repeats = std::max(1, args[++i].toInt());
        else if (args[i] == "--throughput-seconds")
            options.throughputSeconds = args[++i].toInt();
        else if (args[i] == "--rate")
            options.runs.rate = args[++i].toInt();
        else if (args[i] == "--feed")
            options.runs.feed = args[++i] == "socket" ? Feed::Socket : Feed::VirtualBoard;
        else if (args[i] == "--reader")
            options.runs.reader = args[++i] == "alone" ? Reader::LayerAlone : Reader::Window;
        else if (args[i] == "--text-only")
            options.runs.textOnly = args[++i] == "yes";
        else if (args[i] == "--monitor")
            options.runs.withoutMonitor = args[++i] == "no";
        else if (args[i] == "--long-list")
            options.runs.longList = args[++i] == "yes";
        else if (args[i] == "--only")
            options.only = args[++i];
    }
    return options;
}

} // namespace bench
