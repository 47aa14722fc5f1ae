// The board checks on the virtual board: a plan of 10,000 steps, run by the real program with no
// display, from its launch to its exit.
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace bench {

namespace {

constexpr int PlanSteps = 10'000;

/// Read requests of every kind and port writes, by turns.
QByteArray LongPlan() {
    static const char* const Steps[] = {
        "[[step]]\ntype = 'read_ad'\nmin = 0\nmax = 255\n",
        "[[step]]\ntype = 'read_inputs'\nmask = 0\nvalue = 0\n",
        "[[step]]\ntype = 'read_text'\nprefix = ''\n",
        "[[step]]\ntype = 'write_port'\nvalue = 85\n",
    };
    QByteArray plan = "name = 'ten thousand steps'\n";
    for (int step = 0; step < PlanSteps; ++step)
        plan += Steps[step % 4];
    return plan;
}

} // namespace

void CheckScenario(ScenarioContext& context) {
    QTemporaryDir dir;
    const QString plan = dir.filePath("long.toml");
    QFile file(plan);
    if (!file.open(QIODevice::WriteOnly) || file.write(LongPlan()) < 0) return;
    file.close();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    const auto started = Clock::now();
    process.start(context.options.program, {"check", plan, "--virtual-board"});
    process.waitForFinished(60'000);
    const double seconds = Ms(Clock::now() - started) / 1000;
    context.table.add(
        Format("check: a %d-step plan on the virtual board, launch to exit", PlanSteps),
        Format("%.2f s (exit status %d)", seconds, process.exitCode()), "< 2 s",
        seconds < 2 && process.exitCode() == 0 ? "yes" : "no");
}

} // namespace bench
