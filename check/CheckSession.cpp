#include "check/CheckSession.h"

#include "check/ConsoleReport.h"
#include "check/RecordFiles.h"
#include "protocol/ReportLayout.h"

#include <cstdio>

namespace check {

CheckSession::CheckSession(hid::DeviceManager& layer, Plan plan, std::string planFile,
                           SessionOptions options)
    : layer_(layer), plan_(std::move(plan)), planFile_(std::move(planFile)),
      options_(std::move(options)), watch_(layer) {
    connect(&watch_, &BoardWatch::boardThere, this, &CheckSession::run);
    connect(&watch_, &BoardWatch::noBoard, this, [this] {
        std::fprintf(stderr, "zov-usb-test: no usable board (%04x:%04x) within %lld s\n",
                     protocol::DeviceVendorID, protocol::DeviceProductID,
                     static_cast<long long>(options_.wait.count() / 1000));
        for (const std::string& problem : watch_.problems())
            std::fprintf(stderr, "  %s\n", problem.c_str());
        emit done(NoBoard);
    });
}

CheckSession::~CheckSession() = default;

void CheckSession::start() {
    layer_.whenSettled([this] { watch_.awaitBoard(options_.wait); });
}

void CheckSession::run(hid::Handle board) {
    runner_ = std::make_unique<PlanRunner>(layer_, board, plan_, planFile_);
    connect(runner_.get(), &PlanRunner::stepFinished, this, [](const StepResult& step) {
        std::printf("%s\n", StepLine(step).c_str());
        std::fflush(stdout);
    });
    connect(runner_.get(), &PlanRunner::finished, this, &CheckSession::finish);
    if (const hid::DeviceInfo* info = layer_.deviceInfo(board))
        std::printf("Board: %s\nPlan: %s (%zu steps)\n", BoardLine(*info).c_str(),
                    plan_.name.c_str(), plan_.steps.size());
    runner_->start();
}

void CheckSession::finish() {
    const CheckRecord& record = runner_->record();
    std::printf("%s", Summary(record).c_str());
    std::fflush(stdout);
    const QStringList problems = WriteRecords(record, options_.jsonPath, options_.junitPath);
    for (const QString& problem : problems)
        std::fprintf(stderr, "zov-usb-test: %s\n", qPrintable(problem));
    emit done(record.passed() && problems.isEmpty() ? AllPassed : StepFailed);
}

} // namespace check
