#include "check/RunConsole.h"

#include "check/ConsoleReport.h"
#include "check/RecordFiles.h"

#include <cstdio>

namespace check {

std::unique_ptr<PlanRunner> PrintingRunner(hid::DeviceManager& layer, hid::Handle board,
                                           const Plan& plan, const std::string& planFile) {
    auto runner = std::make_unique<PlanRunner>(layer, board, plan, planFile);
    QObject::connect(runner.get(), &PlanRunner::stepFinished, [](const StepResult& step) {
        std::printf("%s\n", StepLine(step).c_str());
        std::fflush(stdout);
    });
    if (const hid::DeviceInfo* info = layer.deviceInfo(board))
        std::printf("Board: %s\nPlan: %s (%zu steps)\n", BoardLine(*info).c_str(),
                    plan.name.c_str(), plan.steps.size());
    return runner;
}

bool EndRun(const CheckRecord& record, const QString& jsonPath, const QString& junitPath) {
    std::printf("%s", Summary(record).c_str());
    std::fflush(stdout);
    const QStringList problems = WriteRecords(record, jsonPath, junitPath);
    for (const QString& problem : problems)
        std::fprintf(stderr, "zov-usb-test: %s\n", qPrintable(problem));
    return problems.isEmpty();
}

} // namespace check
