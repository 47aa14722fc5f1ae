#pragma once

#include "check/BoardWatch.h"
#include "check/ConsoleReport.h"
#include "check/OperatorQueue.h"
#include "check/Plan.h"
#include "check/PlanRunner.h"
#include "check/RunStore.h"
#include "hid/GuiThread.h"

#include <QDir>
#include <QObject>
#include <QThreadPool>
#include <map>
#include <memory>

namespace check {

/// The name of the socket a board is in: its port, or its node when it has no port.
std::string SocketName(const hid::DeviceInfo& board);

/// Station mode: every board attached is checked at once, each in a socket of its own (its
/// own run of the plan, its own records in the records folder, named by
/// check/StationRecords.h, its own large PASS or FAIL); then the board must be unplugged before
/// its socket takes the next one. Boards come and go independently, and the tally counts each.
/// Boards that cannot be used are told, not counted. Operator steps ask one question at a time,
/// through an OperatorQueue, each labelled with its socket. Runs until stop(); a board whose
/// check it interrupts is not counted either, but its records are written (outcome aborted,
/// its steps not run skipped).
///
/// Console lines of a socket begin with its name in brackets, "[1-1.2] ", while more than one
/// socket holds a board; the station's own lines (waiting, unusable boards, the tally) never.
/// The signals tell an observer (a station window) what each socket is doing. Nothing waits on
/// the event loop: the records are written on a thread of their own.
class StationSession final : public QObject {
    Q_OBJECT

public:
    /// `person` answers the plan's operator steps; null: no one (they end in error). Each run is
    /// also kept in `store` (--records) when there is one.
    StationSession(hid::DeviceManager& layer, Plan plan, Provenance provenance, QDir records,
                   Operator* person = nullptr, RunStore* store = nullptr);
    ~StationSession() override;

    void start();
    /// Ends the station for the signal `signalNumber`: every board's check under way is
    /// interrupted and its records written, uncounted; then prints the tally and sends done
    /// with the tally's exit code.
    void stop(int signalNumber);

    const Plan& plan() const { return plan_; }
    const Provenance& provenance() const { return provenance_; }
    const QDir& records() const { return records_; }
    /// Where the runs are also kept (--records); null when nowhere.
    RunStore* store() const { return store_; }
    const StationTally& tally() const { return tally_; }

signals:
    void done(int exitCode);
    /// A board came into a socket, known by the board's handle from now until socketClosed;
    /// its check begins.
    void socketOpened(hid::Handle socket, const QString& name, const hid::DeviceInfo& board);
    void stepStarted(hid::Handle socket, const check::StepResult& step);
    void stepFinished(hid::Handle socket, const check::StepResult& step);
    /// The socket's check ended with `record`. `counted`: it is in the tally, which is updated
    /// already; an interrupted check, or one whose records could not be written, is not.
    /// `attached`: its board is still there, told to be unplugged; else it was pulled during
    /// its check or before its records were written, and its socket closes next.
    void verdict(hid::Handle socket, const check::CheckRecord& record, bool counted, bool attached);
    /// The socket's board left; the socket is free.
    void socketClosed(hid::Handle socket);

private:
    struct Socket {
        std::string name;
        std::unique_ptr<Operator> seat;
        std::unique_ptr<PlanRunner> runner;
        bool checking = true;
    };

    void open(hid::Handle board);
    void boardLeft(hid::Handle board);
    void close(hid::Handle board);
    /// The socket's run ended: its records are written away from the event loop (a record
    /// is flushed to disk, which may take long), then recorded() goes on.
    void finish(hid::Handle board);
    /// The socket's records were written as `base` (empty: they could not be, for `error`).
    void recorded(hid::Handle board, const QString& base, const QString& error);
    /// Prints the socket's lines, each named by the socket while several are in use.
    void print(hid::Handle board, const std::string& text) const;
    void tellWaiting() const;
    /// Stops the station: interrupts every check under way, and ends once none is.
    void wind(const std::string& signalName);
    /// Ends the station once it is stopping and no check is under way any more.
    void endWhenIdle();
    /// Prints the tally and sends done, once, after the store told its last runs.
    void end();
    void tellTally();

    hid::DeviceManager& layer_;
    const Plan plan_;
    const Provenance provenance_;
    const QDir records_;
    OperatorQueue queue_;
    RunStore* const store_;
    BoardWatch watch_;
    const bool colour_; ///< the verdicts in colour: standard output is a terminal
    std::map<hid::Handle, Socket> sockets_;
    bool stopped_ = false;
    bool ended_ = false;
    bool stationFault_ = false; ///< a board's records could not be written
    StationTally tally_;
    std::shared_ptr<hid::GuiMailbox> mailbox_; ///< the store's word that it kept every run
    QThreadPool writer_; ///< writes the records off the event loop, each board's on its own thread
};

} // namespace check
