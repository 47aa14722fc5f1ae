#include "check/RunConsole.h"

#include "check/ConsoleReport.h"
#include "hid/TerminalText.h"

#include <cstdio>

namespace check {

std::unique_ptr<PlanRunner> PrintingRunner(hid::DeviceManager& layer, hid::Handle board,
                                           const Plan& plan, const Provenance& provenance,
                                           Operator* person) {
    auto runner = std::make_unique<PlanRunner>(layer, board, plan, provenance, person);
    QObject::connect(runner.get(), &PlanRunner::stepFinished, [](const StepResult& step) {
        std::printf("%s\n", StepLine(step).c_str());
        std::fflush(stdout);
    });
    if (const hid::DeviceInfo* info = layer.deviceInfo(board))
        std::printf("Board: %s\nPlan: %s (%s)\n", BoardLine(*info).c_str(),
                    hid::TerminalText(plan.name).c_str(), StepCount(plan).c_str());
    return runner;
}

void TellRecordProblems(const QStringList& problems) {
    for (const QString& problem : problems)
        std::fprintf(stderr, "zov-usb-test: %s\n",
                     hid::TerminalText(problem.toStdString()).c_str());
}

void TellInterrupted(const std::string& signalName) {
    std::printf("Interrupted by %s: the run ends here, its steps not run are skipped.\n",
                signalName.c_str());
    std::fflush(stdout);
}

int EndRun(const CheckRecord& record, const QStringList& problems) {
    TellRecordProblems(problems);
    std::printf("%s", Summary(record).c_str());
    std::fflush(stdout);
    return problems.isEmpty() ? record.exitCode() : Undecided;
}

void PrintVerdict(int exitCode) {
    std::printf("%s\n", VerdictWord(exitCode).c_str());
    std::fflush(stdout);
}

} // namespace check
