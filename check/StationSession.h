#pragma once

#include "check/BoardWatch.h"
#include "check/ConsoleReport.h"
#include "check/Plan.h"
#include "check/PlanRunner.h"
#include "check/RunStore.h"

#include <QDir>
#include <QObject>
#include <memory>

namespace check {

/// Station mode: board after board, each run of the plan writes its records to the records
/// folder (named by check/StationRecords.h) and ends with a large PASS or FAIL; then the board
/// must be unplugged before the next one is checked. Boards that cannot be used are told, not
/// counted. Runs until stop(); a board whose check it interrupts is not counted either, but
/// its records are written (outcome aborted, its steps not run skipped).
class StationSession final : public QObject {
    Q_OBJECT

public:
    /// `person` answers the plan's operator steps; null: no one (they end in error). Each run is
    /// also kept in `store` (--records) when there is one.
    StationSession(hid::DeviceManager& layer, Plan plan, Provenance provenance, QDir records,
                   Operator* person = nullptr, RunStore* store = nullptr);
    ~StationSession() override;

    void start();
    /// Ends the station for the signal `signalNumber`: a board's check under way is
    /// interrupted and its records written, uncounted; then prints the tally and sends done
    /// with the tally's exit code.
    void stop(int signalNumber);

    const StationTally& tally() const { return tally_; }

signals:
    void done(int exitCode);

private:
    void awaitBoard();
    void run(hid::Handle board);
    void finish();
    /// Prints the tally and sends done.
    void end();

    hid::DeviceManager& layer_;
    const Plan plan_;
    const Provenance provenance_;
    const QDir records_;
    Operator* const person_;
    RunStore* const store_;
    BoardWatch watch_;
    const bool colour_; ///< the verdicts in colour: standard output is a terminal
    std::unique_ptr<PlanRunner> runner_;
    hid::Handle board_ = 0;
    bool checking_ = false;
    bool stopped_ = false;
    bool stationFault_ = false; ///< a board's records could not be written
    StationTally tally_;
};

} // namespace check
