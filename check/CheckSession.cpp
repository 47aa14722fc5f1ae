#include "check/CheckSession.h"

#include "check/RunConsole.h"
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
    runner_ = PrintingRunner(layer_, board, plan_, planFile_);
    connect(runner_.get(), &PlanRunner::finished, this, &CheckSession::finish);
    runner_->start();
}

void CheckSession::finish() {
    const CheckRecord& record = runner_->record();
    const bool written = EndRun(record, options_.jsonPath, options_.junitPath);
    emit done(record.passed() && written ? AllPassed : StepFailed);
}

} // namespace check
