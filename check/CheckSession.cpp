#include "check/CheckSession.h"

#include "check/RecordFiles.h"
#include "check/RunConsole.h"
#include "hid/TerminalText.h"
#include "protocol/ReportLayout.h"
#include "unixsignals/SignalWatcher.h"

#include <QPointer>
#include <cstdio>

namespace check {

CheckSession::CheckSession(hid::DeviceManager& layer, Plan plan, Provenance provenance,
                           SessionOptions options)
    : layer_(layer), plan_(std::move(plan)), provenance_(std::move(provenance)),
      options_(std::move(options)), watch_(layer) {
    connect(&watch_, &BoardWatch::boardThere, this, &CheckSession::run);
    connect(&watch_, &BoardWatch::noBoard, this, &CheckSession::noBoard);
}

CheckSession::~CheckSession() = default;

void CheckSession::start() {
    started_ = QDateTime::currentDateTimeUtc();
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
    runner_ = PrintingRunner(layer_, board, plan_, provenance_, options_.person.get());
    connect(runner_.get(), &PlanRunner::finished, this, &CheckSession::finish);
    runner_->start();
}

void CheckSession::interrupt(int signalNumber) {
    if (!runner_) {
        waitInterrupted_ = unixsignals::SignalName(signalNumber);
        return watch_.giveUp();
    }
    if (runner_->interrupt(unixsignals::SignalName(signalNumber)))
        TellInterrupted(unixsignals::SignalName(signalNumber));
}

void CheckSession::noBoard() {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", protocol::DeviceVendorID,
                  protocol::DeviceProductID);
    const std::string when =
        !waitInterrupted_.empty() ? "found: the wait was interrupted by " + waitInterrupted_
        : options_.wait.count() > 0
            ? "within " + QString::number(options_.wait.count() / 1000.0).toStdString() + " s"
        : settled_ ? "attached"
                   : "attached: a device was still being opened after 2 s";
    CheckRecord record = PlanRecord(plan_, provenance_);
    record.started = started_;
    record.ended = QDateTime::currentDateTimeUtc();
    record.noBoard = std::string("no usable board (") + ids + ") " + when;
    std::fprintf(stderr, "zov-usb-test: %s\n", record.noBoard.c_str());
    for (const std::string& problem : watch_.problems()) {
        std::fprintf(stderr, "  %s\n", hid::TerminalText(problem).c_str());
        record.noBoard += "\n" + problem;
    }
    // The exit status stays NoBoard whatever became of the records: that is what went wrong.
    TellRecordProblems(WriteRecords(record, options_.json.get(), options_.junit.get()));
    if (options_.store) options_.store->store(record);
    emit done(NoBoard);
}

void CheckSession::finish() {
    const CheckRecord& record = runner_->record();
    if (options_.store) options_.store->store(record);
    emit done(EndRun(record, WriteRecords(record, options_.json.get(), options_.junit.get())));
}

} // namespace check
