#pragma once

#include "bench/scenario/ResultTable.h"
#include "bench/scenario/ScenarioOptions.h"

namespace bench {

/// What every scenario is given: the options from the command line and the table its figures
/// go to.
struct ScenarioContext {
    const ScenarioOptions& options;
    ResultTable& table;
};

/// VmRSS idle and after many reports, and the text list's growth.
void MemoryScenario(ScenarioContext& context);
/// Start Loop's tick rate, jitter and CPU, on a precise and a coarse timer.
void PollingScenario(ScenarioContext& context);
/// CPU, timers and paints with the board attached and nothing happening.
void IdleScenario(ScenarioContext& context);
/// Input reports absorbed and their CPU cost, at set rates and unpaced.
void ThroughputScenario(ScenarioContext& context);
/// Click to device, and report to window after a quiet spell and under a stream.
void LatencyScenario(ScenarioContext& context);
/// The real program's start-up, to the window built and to the trace on disk, and the board
/// checks' start-up to their first report.
void StartUpScenario(ScenarioContext& context);
/// A 10,000-step check plan run by the real program on the virtual board.
void CheckScenario(ScenarioContext& context);
/// Station mode over a thousand plug cycles of the virtual board: memory, descriptors, threads.
void StationScenario(ScenarioContext& context);

} // namespace bench
