#include "check/StationSession.h"

#include "check/CheckSession.h"
#include "check/ConsoleReport.h"
#include "check/RecordFiles.h"
#include "check/RunConsole.h"
#include "check/StationRecords.h"
#include "hid/CodePage1252.h"
#include "hid/TerminalText.h"
#include "unixsignals/SignalWatcher.h"

#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace check {
namespace {

/// More boards than this ending at once wait for a writer; that many flushes keep a disk busy.
constexpr int MostWritesAtOnce = 16;

} // namespace

std::string SocketName(const hid::DeviceInfo& board) {
    return board.port.empty() ? board.path : board.port;
}

StationSession::StationSession(hid::DeviceManager& layer, Plan plan, Provenance provenance,
                               QDir records, Operator* person, RunStore* store)
    : layer_(layer), plan_(std::move(plan)), provenance_(std::move(provenance)),
      records_(std::move(records)), queue_(person), store_(store), watch_(layer),
      colour_(ColourWanted(isatty(STDOUT_FILENO), std::getenv("NO_COLOR"))),
      mailbox_(hid::GuiMailbox::create(*this)) {
    // Each board's records are flushed to disk on a thread of their own, so boards that end
    // together do not wait on each other's flushes (the file system commits them together).
    writer_.setMaxThreadCount(MostWritesAtOnce);
    connect(&watch_, &BoardWatch::boardArrived, this, &StationSession::open);
    connect(&watch_, &BoardWatch::boardLeft, this, &StationSession::boardLeft);
    connect(&watch_, &BoardWatch::boardUnusable, this, [](const QString& message) {
        PrintOut("\nA board that cannot be used (not counted):\n  " +
                 hid::TerminalText(message.toStdString()) + "\n");
    });
}

StationSession::~StationSession() {
    mailbox_->close();
    writer_.waitForDone(); // a write under way calls back into this station
}

void StationSession::start() {
    layer_.whenSettled([this] {
        if (stopped_) return;
        tellWaiting();
        watch_.watchEveryBoard();
    });
}

void StationSession::stop(int signalNumber) {
    wind(unixsignals::SignalName(signalNumber));
}

void StationSession::wind(const std::string& signalName) {
    if (stopped_) return;
    stopped_ = true;
    // Each interrupted run ends through finish(), which writes its records; the last ends here.
    for (auto& [board, socket] : sockets_)
        if (socket.checking && socket.runner->interrupt(signalName))
            print(board, InterruptedLine(signalName));
    endWhenIdle();
}

void StationSession::endWhenIdle() {
    if (stopped_ && std::none_of(sockets_.begin(), sockets_.end(),
                                 [](const auto& each) { return each.second.checking; }))
        end();
}

void StationSession::end() {
    if (ended_) return;
    ended_ = true;
    // The lines that tell where the last runs were stored come before the tally.
    if (!store_) return tellTally();
    store_->afterStored([this, mailbox = mailbox_, home = thread()] {
        if (QThread::currentThread() == home) return tellTally(); // a store done at once
        mailbox->post([this] { tellTally(); });
    });
}

void StationSession::tellTally() {
    PrintOut(TallyLine(tally_));
    emit done(stationFault_ ? Undecided : tally_.exitCode());
}

void StationSession::tellWaiting() const {
    PrintOut("\nWaiting for a board (Ctrl+C ends the station)...\n");
}

void StationSession::print(hid::Handle board, const std::string& text) const {
    if (sockets_.size() < 2) return PrintOut(text);
    const std::string label = SocketLabel(sockets_.at(board).name);
    std::string labelled;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && c != '\n') labelled.append(label);
        labelled.push_back(c);
        lineStart = c == '\n';
    }
    PrintOut(labelled);
}

void StationSession::open(hid::Handle board) {
    if (stopped_) return;
    const hid::DeviceInfo* info = layer_.deviceInfo(board);
    if (!info) return;
    const std::string name = SocketName(*info);
    Socket& socket = sockets_[board];
    socket.name = name;
    socket.seat = queue_.seat(name);
    emit socketOpened(board, QString::fromStdString(name), *info);
    socket.runner = PrintingRunner(layer_, board, plan_, provenance_, socket.seat.get(),
                                   [this, board](const std::string& text) { print(board, text); });
    connect(socket.runner.get(), &PlanRunner::stepStarted, this,
            [this, board](const StepResult& step) { emit stepStarted(board, step); });
    connect(socket.runner.get(), &PlanRunner::stepFinished, this,
            [this, board](const StepResult& step) { emit stepFinished(board, step); });
    connect(socket.runner.get(), &PlanRunner::finished, this, [this, board] { finish(board); });
    socket.runner->start();
}

void StationSession::boardLeft(hid::Handle board) {
    // A board that leaves during its check ends it; its socket closes at the check's end.
    const auto it = sockets_.find(board);
    if (it != sockets_.end() && !it->second.checking) close(board);
}

void StationSession::close(hid::Handle board) {
    // Its run may be telling its end just now: it goes once that is done.
    sockets_.at(board).runner.release()->deleteLater();
    sockets_.erase(board);
    emit socketClosed(board);
    if (sockets_.empty() && !stopped_) tellWaiting();
}

void StationSession::finish(hid::Handle board) {
    Socket& socket = sockets_.at(board);
    socket.seat->withdraw();
    const CheckRecord& record = socket.runner->record();
    const std::optional<QByteArray> junit = JunitText(record);
    if (store_) store_->store(record);
    if (!junit) return recorded(board, {}, NotMade);
    writer_.start([this, board, records = records_,
                   serial = hid::fromWindows1252(record.board.serialNumber),
                   started = record.started, json = JsonText(record), junit = *junit] {
        QString error = NotMade;
        const QString base = WriteStationRecords(records, serial, started, json, junit, error);
        QMetaObject::invokeMethod(
            this, [this, board, base, error] { recorded(board, base, error); },
            Qt::QueuedConnection);
    });
}

void StationSession::recorded(hid::Handle board, const QString& base, const QString& error) {
    Socket& socket = sockets_.at(board);
    socket.checking = false;
    const CheckRecord& record = socket.runner->record();
    print(board, Summary(record));
    const int exitCode = record.exitCode();
    const bool interrupted = !record.interruptedBy.empty();
    const bool present = layer_.deviceInfo(board) != nullptr;
    if (base.isEmpty()) {
        // The station's fault, not the board's: it is not counted, and the station stops. No
        // verdict is shown for a board that has no record.
        print(board, "Station fault: this board's records cannot be written (" +
                         hid::TerminalText(error.toStdString()) +
                         "); it is not counted, and the station stops.\n");
        stationFault_ = true;
        emit verdict(board, record, false, present);
        wind("a station fault");
        return endWhenIdle(); // when the station was stopping already
    }
    print(board, "Records: " + hid::TerminalText(base.toStdString()) + ".json, .xml\n");
    if (interrupted) {
        print(board, "Its check was interrupted: this board is not counted.\n");
        emit verdict(board, record, false, present);
        return endWhenIdle();
    }
    ++(exitCode == AllPassed    ? tally_.passed
       : exitCode == StepFailed ? tally_.failed
                                : tally_.undecided);
    print(board, Banner(record, colour_));
    if (present) print(board, "Unplug the board.\n");
    emit verdict(board, record, true, present);
    if (!present) close(board);
    endWhenIdle();
}

} // namespace check
