#include "check/CheckSession.h"

#include "check/RecordFiles.h"
#include "check/RunConsole.h"
#include "hid/TerminalText.h"
#include "protocol/ReportLayout.h"

#include <QPointer>
#include <cstdio>

namespace check {

CheckSession::CheckSession(hid::DeviceManager& layer, Plan plan, Provenance provenance,
                           SessionOptions options)
    : layer_(layer), plan_(std::move(plan)), provenance_(std::move(provenance)),
      options_(std::move(options)), watch_(layer) {
    connect(&watch_, &BoardWatch::boardThere, this, &CheckSession::run);
    connect(&watch_, &BoardWatch::noBoard, this, [this] {
        const std::string when =
            options_.wait.count() > 0
                ? "within " + QString::number(options_.wait.count() / 1000.0).toStdString() + " s"
            : settled_ ? "attached"
                       : "attached: a device was still being opened after 2 s";
        std::fprintf(stderr, "zov-usb-test: no usable board (%04x:%04x) %s\n",
                     protocol::DeviceVendorID, protocol::DeviceProductID, when.c_str());
        for (const std::string& problem : watch_.problems())
            std::fprintf(stderr, "  %s\n", hid::TerminalText(problem).c_str());
        emit done(NoBoard);
    });
}

CheckSession::~CheckSession() = default;

void CheckSession::start() {
    // The wait runs from now, whatever the sources' opens are doing. With no wait the board
    // must be there once every source has looked, which an open that never returns holds up
    // for SettleLimit at most.
    if (options_.wait.count() > 0) return watch_.awaitBoard(options_.wait);
    watch_.awaitBoard(SettleLimit);
    layer_.whenSettled([session = QPointer(this)] {
        if (!session) return;
        session->settled_ = true;
        session->watch_.giveUp();
    });
}

void CheckSession::run(hid::Handle board) {
    runner_ = PrintingRunner(layer_, board, plan_, provenance_);
    connect(runner_.get(), &PlanRunner::finished, this, &CheckSession::finish);
    runner_->start();
}

void CheckSession::finish() {
    const CheckRecord& record = runner_->record();
    emit done(EndRun(record, WriteRecords(record, options_.json.get(), options_.junit.get())));
}

} // namespace check
