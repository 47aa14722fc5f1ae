#pragma once

#include "check/CheckRecord.h"
#include "check/Operator.h"
#include "check/PendingAnswers.h"
#include "check/Plan.h"
#include "hid/DeviceListObserver.h"
#include "hid/DeviceManager.h"

#include <QObject>
#include <QTimer>

namespace check {

/// Runs a plan's steps, one after the other, on one board, and keeps what each found. Everything
/// happens on the event loop: the runner never waits for the board.
///
/// A request's answer time runs from the moment the layer tells its write complete (Out) to the
/// moment the answer with the same code reaches the layer (In); an answer that comes before the
/// Out is timed from the send. Which request an answer belongs to, PendingAnswers decides. A
/// read waits for its answer until the request's late window closes, so that a late answer is
/// shown with its own step, with its real time. A board that leaves fails the running step and
/// ends the run. Before the run's counts are taken, the reports still on their way settle.
/// interrupt() ends the run early the same way.
///
/// A run that does not pass is tried again as its step's `retry` allows; one that still does
/// not pass stops the plan when `stop_on_fail` says so, its steps not run skipped. The plan's
/// teardown steps run after its steps whatever became of them (a pass, a failure, a stop, a
/// signal), for TeardownLimit at most. Operator steps ask `person` (none: they cannot run). The
/// runner takes every report as the layer's observer and never reads its queues, so the layer
/// queues and drops nothing for it.
class PlanRunner final : public QObject,
                         private hid::ReportObserver,
                         private hid::DeviceListObserver {
    Q_OBJECT

public:
    PlanRunner(hid::DeviceManager& layer, hid::Handle board, Plan plan, Provenance provenance,
               Operator* person = nullptr);
    ~PlanRunner() override;

    /// Starts with the first step, from the event loop.
    void start();
    /// Ends the run early, for the signal named `signalName`: the step under way and every one
    /// not begun are recorded as skipped, the board's queued writes are given up, the teardown
    /// runs (or goes on, when it was under way), and the run ends as at its plan's end, once
    /// the write under way settled. Answers false, doing nothing, when the run is not under way.
    bool interrupt(std::string signalName);
    /// What the run found so far; whole once finished() was sent.
    const CheckRecord& record() const { return record_; }

signals:
    /// A run of a step begins: `step` has its place and title, nothing found yet.
    void stepStarted(const check::StepResult& step);
    void stepFinished(const check::StepResult& step);
    void finished();

public:
    /// How long the teardown may take in all; what has not ended by then is skipped.
    static constexpr std::chrono::seconds TeardownLimit{10};

private:
    enum class Phase {
        Idle,
        Writing,
        Answering,
        Pausing, ///< an `until` read between its requests
        Polling,
        Draining,
        Waiting,
        Asking, ///< an operator step waits for its answer
        Settling
    };

    void record(hid::ReportDirection direction, hid::Handle handle,
                const hid::Report& report) override;
    void devicesChanged() override;

    const Step& step() const;
    std::size_t allSteps() const { return plan_.steps.size() + plan_.teardown.size(); }
    bool inTeardown() const { return stepIndex_ >= plan_.steps.size(); }
    bool stopsOnFail() const { return step().stopOnFail.value_or(plan_.stopOnFail); }
    double answerLimitMs() const;
    Clock::duration answerLimit() const;
    /// The place the running step's result will have in the record.
    Owner current() const { return record_.steps.size(); }
    void beginStep();
    /// beginStep() from the event loop, once however often asked.
    void beginStepLater();
    void sendRead();
    void ask();
    void operatorAnswered(const OperatorAnswer& answer);
    /// Records the step under way as skipped for `reason`, and every run after it up to
    /// `until` (a place in allSteps()); tells each by stepFinished() unless a signal skips them.
    void skipFromHere(const std::string& reason, std::size_t until);
    /// Gives up the step under way, if one is: its timers, its requests, its question.
    void abandonStep();
    void teardownRanOut();
    /// Sends `report`; the step ends when its write completes, or, for `awaitAnswer`, when
    /// the answer with its code arrives.
    void write(const hid::Report& report, bool awaitAnswer);
    void answered(const hid::Report& answer, Clock::duration took);
    void pollTick();
    /// Ends a draining poll once no request of it is open.
    void pollAnswered();
    void finishPoll();
    void deadlinePassed();
    void finishStep(std::vector<Measurement> measurements, std::string failure = {});
    /// How long the run's end waits for the board's writes still in flight.
    static constexpr Clock::duration SettleLimit = std::chrono::seconds(6);

    void finishRun();
    /// Ends the run once no write of the board is in flight any more, or SettleLimit passed.
    void settle();
    void settleLater();
    /// Stops listening to the layer and lets the board go.
    void stop();

    hid::DeviceManager& layer_;
    const hid::Handle board_;
    const Plan plan_;
    CheckRecord record_;
    hid::DirectionCounts countsAtStart_{}; ///< the board's counts when the run started
    QTimer deadline_;
    Clock::time_point settleStarted_;
    QTimer pollTimer_;
    QTimer againTimer_;    ///< an `until` read's next request
    QTimer teardownTimer_; ///< TeardownLimit from the teardown's start
    Operator* const person_;

    std::size_t stepIndex_ = 0;
    std::int64_t repetition_ = 1;
    std::int64_t attempt_ = 1;
    bool beginQueued_ = false;
    StepResult current_;
    Clock::time_point stepStarted_;
    Phase phase_ = Phase::Idle;
    bool awaitAnswer_ = false;    ///< the running step waits for its request's answer
    std::uint8_t answerCode_ = 0; ///< the code of the answer it waits for
    std::size_t requests_ = 0;    ///< the requests an `until` read sent
    Clock::time_point lastRequest_;
    std::vector<Measurement> sentFigures_; ///< what a send step sent, kept for its result
    PendingAnswers pending_;
    std::int64_t pollTicksLeft_ = 0;
    std::size_t pollRequests_ = 0;
    std::size_t pollMissed_ = 0;
    std::size_t pollLate_ = 0;
    std::vector<double> pollAnswerMs_;
    bool running_ = false;
};

} // namespace check
