#include "check/RunConsole.h"

#include "check/Console.h"
#include "check/ConsoleReport.h"
#include "hid/TerminalText.h"

#include <cstdio>

namespace check {

void PrintOut(const std::string& text) {
    Console::standard().print(text);
}

std::unique_ptr<PlanRunner> PrintingRunner(hid::DeviceManager& layer, hid::Handle board,
                                           const Plan& plan, const Provenance& provenance,
                                           Operator* person, PrintText print) {
    auto runner = std::make_unique<PlanRunner>(layer, board, plan, provenance, person);
    QObject::connect(runner.get(), &PlanRunner::stepFinished,
                     [print](const StepResult& step) { print(StepLine(step) + "\n"); });
    if (const hid::DeviceInfo* info = layer.deviceInfo(board))
        print("Board: " + BoardLine(*info) + "\nPlan: " + hid::TerminalText(plan.name) + " (" +
              StepCount(plan) + ")\n");
    return runner;
}

void TellRecordProblems(const QStringList& problems) {
    for (const QString& problem : problems)
        std::fprintf(stderr, "zov-usb-test: %s\n",
                     hid::TerminalText(problem.toStdString()).c_str());
}

std::string InterruptedLine(const std::string& signalName) {
    return "Interrupted by " + signalName + ": the run ends here, its steps not run are skipped.\n";
}

void TellInterrupted(const std::string& signalName) {
    PrintOut(InterruptedLine(signalName));
}

int EndRun(const CheckRecord& record, const QStringList& problems) {
    TellRecordProblems(problems);
    PrintOut(Summary(record));
    std::fflush(stdout);
    return problems.isEmpty() ? record.exitCode() : Undecided;
}

void PrintVerdict(int exitCode) {
    PrintOut(VerdictWord(exitCode) + "\n");
    std::fflush(stdout);
}

} // namespace check
