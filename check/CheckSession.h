#pragma once

#include "check/BoardWatch.h"
#include "check/Plan.h"
#include "check/PlanRunner.h"
#include "check/RecordTarget.h"
#include "check/RunStore.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace check {

/// What a single run is asked for on the command line.
struct SessionOptions {
    /// How long to wait for a board; 0: until the sources settle.
    std::chrono::milliseconds wait{0};
    std::shared_ptr<RecordTarget> json;  ///< null: no JSON record
    std::shared_ptr<RecordTarget> junit; ///< null: no JUnit record
    /// Who answers the plan's operator steps; null: no one (they end in error).
    std::shared_ptr<Operator> person;
    RunStore* store = nullptr; ///< --records; null: none
};

/// One run of a plan: waits for the layer's sources to settle and a board to be there, runs the
/// plan on it printing a line per step, writes the records, prints the summary and sends done
/// with the exit code. A check that finds no board writes records saying so; one interrupted
/// writes the steps that ran, and the rest as skipped.
class CheckSession final : public QObject {
    Q_OBJECT

public:
    CheckSession(hid::DeviceManager& layer, Plan plan, Provenance provenance,
                 SessionOptions options);
    ~CheckSession() override;

    void start();
    /// Ends the check early for the signal `signalNumber`: a wait for the board ends with no
    /// board; a run ends as PlanRunner::interrupt() tells, then writes its records as ever.
    void interrupt(int signalNumber);

signals:
    void done(int exitCode);

private:
    /// How long a check with no --wait waits for the sources to settle.
    static constexpr std::chrono::seconds SettleLimit{2};

    void run(hid::Handle board);
    void finish();
    /// Tells on standard error that no board was found, writes the records saying so and
    /// sends done(NoBoard).
    void noBoard();

    hid::DeviceManager& layer_;
    const Plan plan_;
    const Provenance provenance_;
    const SessionOptions options_;
    BoardWatch watch_;
    std::unique_ptr<PlanRunner> runner_;
    bool settled_ = false;
    QDateTime started_;           ///< when the wait for a board began, UTC
    std::string waitInterrupted_; ///< the signal that ended the wait for a board
};

} // namespace check
