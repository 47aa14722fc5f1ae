#include "check/StationSession.h"

#include "check/CheckSession.h"
#include "check/ConsoleReport.h"
#include "check/RecordFiles.h"
#include "check/RunConsole.h"
#include "check/StationRecords.h"
#include "hid/CodePage1252.h"
#include "hid/TerminalText.h"
#include "unixsignals/SignalWatcher.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace check {
namespace {

void Print(const std::string& text) {
    std::printf("%s", text.c_str());
    std::fflush(stdout);
}

} // namespace

StationSession::StationSession(hid::DeviceManager& layer, Plan plan, Provenance provenance,
                               QDir records, Operator* person, RunStore* store)
    : layer_(layer), plan_(std::move(plan)), provenance_(std::move(provenance)),
      records_(std::move(records)), person_(person), store_(store), watch_(layer),
      colour_(ColourWanted(isatty(STDOUT_FILENO), std::getenv("NO_COLOR"))) {
    connect(&watch_, &BoardWatch::boardThere, this, &StationSession::run);
    connect(&watch_, &BoardWatch::boardGone, this, &StationSession::awaitBoard);
    connect(&watch_, &BoardWatch::boardUnusable, this, [](const QString& message) {
        Print("\nA board that cannot be used (not counted):\n  " +
              hid::TerminalText(message.toStdString()) + "\n");
    });
}

StationSession::~StationSession() = default;

void StationSession::start() {
    layer_.whenSettled([this] { awaitBoard(); });
}

void StationSession::stop(int signalNumber) {
    if (stopped_) return;
    stopped_ = true;
    // The interrupted run ends through finish(), which writes its records, then ends here.
    if (checking_ && runner_->interrupt(unixsignals::SignalName(signalNumber)))
        return TellInterrupted(unixsignals::SignalName(signalNumber));
    end();
}

void StationSession::end() {
    Print(TallyLine(tally_));
    emit done(stationFault_ ? Undecided : tally_.exitCode());
}

void StationSession::awaitBoard() {
    if (stopped_) return;
    Print("\nWaiting for a board (Ctrl+C ends the station)...\n");
    watch_.awaitBoard(std::nullopt);
}

void StationSession::run(hid::Handle board) {
    if (stopped_) return;
    checking_ = true;
    board_ = board;
    runner_ = PrintingRunner(layer_, board, plan_, provenance_, person_);
    connect(runner_.get(), &PlanRunner::finished, this, &StationSession::finish);
    runner_->start();
}

void StationSession::finish() {
    checking_ = false;
    const CheckRecord& record = runner_->record();
    QString error = NotMade;
    const std::optional<QByteArray> junit = JunitText(record);
    const QString base =
        junit ? WriteStationRecords(records_, hid::fromWindows1252(record.board.serialNumber),
                                    record.started, JsonText(record), *junit, error)
              : QString();
    if (store_) store_->store(record);
    const int exitCode = EndRun(record, {});
    const bool interrupted = !record.interruptedBy.empty();
    if (base.isEmpty()) {
        // The station's fault, not the board's: it is not counted, and the station stops. No
        // verdict is shown for a board that has no record.
        Print("Station fault: this board's records cannot be written (" +
              hid::TerminalText(error.toStdString()) +
              "); it is not counted, and the station stops.\n");
        stationFault_ = true;
        stopped_ = true;
        return end();
    }
    Print("Records: " + hid::TerminalText(base.toStdString()) + ".json, .xml\n");
    if (interrupted) {
        Print("Its check was interrupted: this board is not counted.\n");
        return end();
    }
    ++(exitCode == AllPassed    ? tally_.passed
       : exitCode == StepFailed ? tally_.failed
                                : tally_.undecided);
    Print(Banner(record, colour_));
    Print("Unplug the board.\n");
    watch_.awaitLeaving(board_);
}

} // namespace check
