#include "check/PlanRunner.h"

#include "check/StepLimits.h"
#include "check/TextPattern.h"
#include "hid/CodePage1252.h"
#include "protocol/DateAndTimeText.h"
#include "protocol/ReportLayout.h"
#include "protocol/ReportText.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace check {
namespace {

double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

int TimerMs(double ms) {
    return static_cast<int>(std::ceil(ms));
}

hid::Report Request(std::uint8_t code) {
    hid::Report report{};
    report[protocol::CommandIndex] = code;
    return report;
}

/// True for the requests the board answers: its text, its A/D value, its input bits.
bool BoardAnswers(std::uint8_t code) {
    return code == protocol::Code::ReadText || code == protocol::Code::ReadAdc ||
           code == protocol::Code::ReadInput;
}

/// The answer text up to its first zero byte.
QString AnswerTextOf(const hid::Report& answer) {
    const QString text =
        protocol::TakeText(answer, protocol::TextIndex, protocol::AnswerTextLength);
    return text.left(text.indexOf(QChar(0)));
}

/// A number a send step sent, shown with its result.
Measurement SentNumber(std::string quantity, std::int64_t value) {
    return NumberFigure(std::move(quantity), std::to_string(value), double(value));
}

/// A text a send step sent, shown quoted with its result.
Measurement SentText(std::string quantity, const std::string& text) {
    return TextFigure(std::move(quantity), text, Quoted(text));
}

/// Bytes as two hex digits each, space-separated: "47 72 fc".
std::string HexBytes(std::string_view bytes) {
    std::string text;
    char digits[4];
    for (const char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(byte));
        if (!text.empty()) text += ' ';
        text += digits;
    }
    return text;
}

/// Bytes a send step sent, shown as hex with its result.
Measurement SentBytes(std::string_view bytes) {
    const std::string hex = HexBytes(bytes);
    return TextFigure("bytes", hex, hex);
}

/// Keeps `report` among what the step sent, unless it is there already.
void KeepSent(StepResult& step, const hid::Report& report) {
    SentReport sent{report[protocol::CommandIndex], {report.begin(), report.end()}};
    const auto same = [&](const SentReport& kept) { return kept.bytes == sent.bytes; };
    if (std::none_of(step.sent.begin(), step.sent.end(), same)) step.sent.push_back(sent);
}

/// The figure of the value a read step reads, held against its limits: the A/D value, the
/// input bits or the answer text. Sets `undecided` when a limit could not be judged.
Measurement ReadFigure(const Step& read, const hid::Report& answer, std::string& undecided) {
    switch (read.type) {
    case StepType::ReadAd:
        return AdValue(answer[protocol::AdValueIndex], read.number);
    case StepType::ReadInputs:
        return InputBits(answer[protocol::InputBitsIndex], read.number, read.bits);
    default:
        return AnswerText(AnswerTextOf(answer), read.text, undecided);
    }
}

/// The operator's answer as a figure: `said`, which passes when it is `passing`.
Measurement OperatorFigure(const std::string& said, const std::string& passing) {
    Measurement figure = TextFigure("answer", said, Quoted(said));
    figure.limit = "= " + Quoted(passing);
    figure.limits.text.equals = passing;
    figure.passed = said == passing;
    return figure;
}

/// The result of the step at `index` (from 0; the teardown's after the plan's `mainSteps`),
/// in its `repetition`, before it runs.
StepResult ResultOf(const Step& step, std::size_t index, std::size_t mainSteps,
                    std::int64_t repetition) {
    StepResult result;
    result.teardown = index >= mainSteps;
    result.number = (result.teardown ? index - mainSteps : index) + 1;
    result.repetition = repetition;
    result.repeat = step.repeat;
    result.type = step.type;
    result.name = step.name.empty() ? std::string(TypeName(step.type)) : step.name;
    return result;
}

} // namespace

PlanRunner::PlanRunner(hid::DeviceManager& layer, hid::Handle board, Plan plan,
                       Provenance provenance, Operator* person)
    : layer_(layer), board_(board), plan_(std::move(plan)),
      record_(PlanRecord(plan_, std::move(provenance))), person_(person) {
    for (QTimer* timer : {&deadline_, &againTimer_, &teardownTimer_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    pollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &PlanRunner::deadlinePassed);
    connect(&pollTimer_, &QTimer::timeout, this, &PlanRunner::pollTick);
    connect(&againTimer_, &QTimer::timeout, this, &PlanRunner::sendRead);
    connect(&teardownTimer_, &QTimer::timeout, this, &PlanRunner::teardownRanOut);
    if (person_) connect(person_, &Operator::answered, this, &PlanRunner::operatorAnswered);
}

const Step& PlanRunner::step() const {
    return inTeardown() ? plan_.teardown[stepIndex_ - plan_.steps.size()] : plan_.steps[stepIndex_];
}

PlanRunner::~PlanRunner() {
    if (running_) stop();
}

void PlanRunner::start() {
    if (const hid::DeviceInfo* info = layer_.deviceInfo(board_)) record_.board = *info;
    record_.started = QDateTime::currentDateTimeUtc();
    running_ = true;
    countsAtStart_ = layer_.reportCounts(board_);
    layer_.addObserver(*this);
    layer_.addDeviceListObserver(*this);
    beginStepLater();
}

void PlanRunner::beginStepLater() {
    if (beginQueued_) return;
    beginQueued_ = true;
    QMetaObject::invokeMethod(this, &PlanRunner::beginStep, Qt::QueuedConnection);
}

double PlanRunner::answerLimitMs() const {
    return step().answerWithinMs.value_or(DefaultAnswerWithinMs);
}

Clock::duration PlanRunner::answerLimit() const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(answerLimitMs()));
}

void PlanRunner::beginStep() {
    beginQueued_ = false;
    if (!running_ || phase_ != Phase::Idle) return;
    // A board that left takes nothing more, its teardown neither.
    if (stepIndex_ >= allSteps() || record_.boardLeft) return finishRun();
    if (stepIndex_ == plan_.steps.size() && repetition_ == 1 && attempt_ == 1)
        teardownTimer_.start(TeardownLimit);
    const Step& step = this->step();
    current_ = ResultOf(step, stepIndex_, plan_.steps.size(), repetition_);
    current_.attempt = attempt_;
    emit stepStarted(current_);
    stepStarted_ = Clock::now();
    sentFigures_.clear();
    requests_ = 0;
    hid::Report report{};
    switch (step.type) {
    case StepType::ReadAd:
    case StepType::ReadInputs:
    case StepType::ReadText:
        return sendRead();
    case StepType::Prompt:
    case StepType::Ask:
    case StepType::Scan:
        return ask();
    case StepType::WritePort:
        report = Request(protocol::Code::WritePort);
        report[protocol::PortWriteIndex] = static_cast<std::uint8_t>(step.value);
        sentFigures_.push_back(SentNumber("port value", step.value));
        return write(report, false);
    case StepType::SendText: {
        report = Request(protocol::Code::SendText);
        const std::string bytes =
            hid::toWindows1252(QString::fromStdString(step.sendText).toStdU32String())
                .substr(0, protocol::SendTextLength);
        std::copy(bytes.begin(), bytes.end(), report.begin() + protocol::TextIndex);
        sentFigures_.push_back(SentText("text", step.sendText));
        sentFigures_.push_back(SentBytes(bytes));
        return write(report, false);
    }
    case StepType::SendClock: {
        const QDateTime now = QDateTime::currentDateTime();
        const QString text = protocol::DateAndTimeText(QLocale(), now.date(), now.time());
        protocol::PutDateTime(report, text);
        sentFigures_.push_back(SentText("clock text", text.toStdString()));
        return write(report, false);
    }
    case StepType::Send: {
        report = Request(static_cast<std::uint8_t>(step.code));
        for (const auto& [index, value] : step.bytes)
            report[std::size_t(index)] = static_cast<std::uint8_t>(value);
        sentFigures_.push_back(SentNumber("code", step.code));
        const auto payload = reinterpret_cast<const char*>(report.data()) + protocol::TextIndex;
        sentFigures_.push_back(SentBytes({payload, report.size() - protocol::TextIndex}));
        return write(report, step.awaitsSendAnswer());
    }
    case StepType::Poll:
        phase_ = Phase::Polling;
        pollTicksLeft_ = std::max<std::int64_t>(step.durationMs / PollPeriodMs, 1);
        pollRequests_ = 0;
        pollMissed_ = 0;
        pollLate_ = 0;
        pollAnswerMs_.clear();
        pollTimer_.start(int(PollPeriodMs));
        return pollTick();
    case StepType::Wait:
        phase_ = Phase::Waiting;
        return deadline_.start(int(step.durationMs));
    }
}

void PlanRunner::sendRead() {
    static constexpr std::uint8_t Codes[] = {protocol::Code::ReadAdc, protocol::Code::ReadInput,
                                             protocol::Code::ReadText};
    ++requests_;
    lastRequest_ = Clock::now();
    write(Request(Codes[int(step().type) - int(StepType::ReadAd)]), true);
}

void PlanRunner::write(const hid::Report& report, bool awaitAnswer) {
    phase_ = Phase::Writing;
    awaitAnswer_ = awaitAnswer;
    deadline_.start(TimerMs(answerLimitMs()));
    const Clock::time_point now = Clock::now();
    const std::uint8_t code = report[protocol::CommandIndex];
    answerCode_ = step().expectCode ? std::uint8_t(*step().expectCode) : code;
    // A request the board answers has its answer taken even when the step does not wait for
    // it (a send of code 4): else a later read would take that answer for its own.
    const bool answered = (awaitAnswer && answerCode_ == code) || BoardAnswers(code);
    pending_.sent(code, current(), answered ? std::optional(answerLimit()) : std::nullopt, now);
    if (awaitAnswer && answerCode_ != code)
        pending_.expect(answerCode_, current(), answerLimit(), now);
    KeepSent(current_, report);
    layer_.write(board_, report); // how it went, the layer tells record()
}

void PlanRunner::ask() {
    const Step& step = this->step();
    const std::string missing = person_ ? person_->unavailable() : "no one answers";
    if (!missing.empty()) {
        current_.error = true;
        return finishStep({}, "needs an operator: " + missing);
    }
    phase_ = Phase::Asking;
    if (step.timeoutMs) deadline_.start(int(*step.timeoutMs));
    person_->ask(step.type == StepType::Prompt ? OperatorQuestion::Confirm
                 : step.type == StepType::Ask  ? OperatorQuestion::YesNo
                                               : OperatorQuestion::Text,
                 step.operatorText, {});
}

void PlanRunner::operatorAnswered(const OperatorAnswer& answer) {
    if (phase_ != Phase::Asking) return;
    using Kind = OperatorAnswer::Kind;
    const Step& step = this->step();
    if (answer.kind == Kind::Gone) {
        current_.error = true;
        return finishStep({}, "the operator's input ended");
    }
    const bool yes = answer.kind == Kind::Yes;
    switch (step.type) {
    case StepType::Prompt:
        return finishStep({OperatorFigure(yes ? "done" : "not done", "done")});
    case StepType::Ask:
        return finishStep({OperatorFigure(yes ? "yes" : "no", step.expect ? "yes" : "no")});
    default: {
        TextLimits limits;
        limits.matches = step.pattern;
        if (step.equalsSerial)
            limits.equals = hid::fromWindows1252(record_.board.serialNumber).toStdString();
        std::string undecided;
        Measurement figure = AnswerText(QString::fromStdString(answer.text), limits, undecided);
        figure.quantity = "scanned text";
        std::string failure = undecided;
        // A board without a serial would pass a blank scan: the label checks nothing then.
        if (step.equalsSerial && record_.board.serialNumber.empty() && failure.empty()) {
            figure.passed = false;
            failure = "the board has no serial number to hold the scan against";
        }
        if (figure.passed && undecided.empty()) record_.label = answer.text;
        current_.error = !undecided.empty();
        return finishStep({std::move(figure)}, failure);
    }
    }
}

void PlanRunner::record(hid::ReportDirection direction, hid::Handle handle,
                        const hid::Report& report) {
    using hid::ReportDirection;
    if (phase_ == Phase::Settling) return settleLater();
    if (handle != board_) return;
    const Clock::time_point now = Clock::now();
    const std::uint8_t code = report[protocol::CommandIndex];
    switch (direction) {
    case ReportDirection::Out:
        if (const auto written = pending_.written(code, now);
            written && written->owner == current()) {
            if (phase_ != Phase::Writing) return;
            if (!awaitAnswer_) return finishStep(sentFigures_);
            if (answerCode_ == code && !written->awaitsAnswer) return; // its answer came first
            phase_ = Phase::Answering;
            deadline_.start(TimerMs(Ms(LateWindow(answerLimit()))));
        }
        return;
    case ReportDirection::Refused:
    case ReportDirection::Failed:
        if (const auto owner = pending_.notWritten(code); owner && *owner == current()) {
            if (phase_ == Phase::Polling || phase_ == Phase::Draining) {
                ++pollMissed_;
                return pollAnswered();
            }
            return finishStep({}, direction == ReportDirection::Refused
                                      ? "the board did not take the request"
                                      : "the request's write failed");
        }
        return;
    case ReportDirection::In:
        if (const auto answer = pending_.answered(code, now);
            answer && answer->owner == current()) {
            if (phase_ == Phase::Polling || phase_ == Phase::Draining) {
                // One lost already counted as missed when its window closed.
                pollMissed_ += answer->late && !answer->lost;
                pollLate_ += answer->late;
                pollAnswerMs_.push_back(Ms(answer->took));
                return pollAnswered();
            }
            if (awaitAnswer_ && code == answerCode_ &&
                (phase_ == Phase::Writing || phase_ == Phase::Answering))
                return answered(report, answer->took);
        }
        return;
    case ReportDirection::Dropped:
        return;
    }
}

void PlanRunner::answered(const hid::Report& answer, Clock::duration took) {
    const Step& step = this->step();
    std::vector<Measurement> figures;
    std::string undecided;
    if (step.type == StepType::Send) {
        figures = sentFigures_;
        if (step.expectCode) {
            const std::uint8_t code = answer[protocol::CommandIndex];
            Measurement figure = NumberFigure("answer code", std::to_string(code), code);
            figure.limit = "= " + std::to_string(*step.expectCode);
            figure.limits.equals = double(*step.expectCode);
            figure.passed = code == *step.expectCode;
            figures.push_back(figure);
        }
        for (const Step& read : step.answer)
            figures.push_back(ReadFigure(read, answer, undecided));
    } else {
        figures.push_back(ReadFigure(step, answer, undecided));
    }
    figures.push_back(AnswerTime(Ms(took), answerLimitMs()));
    const bool kept = std::all_of(figures.begin(), figures.end(),
                                  [](const Measurement& figure) { return figure.passed; });
    if (step.until) {
        // Asked again at the polling period until the answer keeps the limits, while time is
        // left for another request.
        const Clock::time_point next = lastRequest_ + std::chrono::milliseconds(PollPeriodMs);
        const auto ends =
            stepStarted_ + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double, std::milli>(step.withinMs));
        if (!kept && undecided.empty() && next < ends) {
            phase_ = Phase::Pausing;
            return againTimer_.start(
                TimerMs(Ms(std::max(next - Clock::now(), Clock::duration::zero()))));
        }
        figures.push_back(Requests(requests_));
    }
    // A limit that could not be judged leaves the step undecided, whatever else it found.
    current_.error = !undecided.empty();
    std::string failure = undecided;
    if (failure.empty() && !kept && step.until)
        for (const Measurement& figure : figures)
            if (!figure.passed) {
                failure = figure.failure() + ", still after " + std::to_string(requests_) +
                          " requests within " + LimitMs(step.withinMs) + " ms";
                break;
            }
    finishStep(std::move(figures), failure);
}

void PlanRunner::devicesChanged() {
    if (!running_ || record_.boardLeft || layer_.deviceInfo(board_)) return;
    record_.boardLeft = true;
    if (phase_ == Phase::Settling) return settleLater();
    if (phase_ != Phase::Idle) finishStep({}, "the board left during the step");
}

void PlanRunner::pollTick() {
    const Clock::time_point now = Clock::now();
    pollMissed_ += pending_.closeWindows(now).size();
    if (pollTicksLeft_ == 0) {
        pollTimer_.stop();
        phase_ = Phase::Draining;
        return pollAnswered();
    }
    // A/D and inputs by turns, as the window's loop asks for them.
    const bool adTurn = pollRequests_ % 2 == 0;
    const std::uint8_t code = adTurn ? protocol::Code::ReadAdc : protocol::Code::ReadInput;
    --pollTicksLeft_;
    ++pollRequests_;
    pending_.sent(code, current(), answerLimit(), now);
    const hid::Report request = Request(code);
    KeepSent(current_, request);
    layer_.write(board_, request);
}

void PlanRunner::pollAnswered() {
    if (phase_ != Phase::Draining) return;
    if (!pending_.waiting(current())) return finishPoll();
    // Until the last open request's late window closes; one still being written gets as long
    // again from now.
    const Clock::time_point now = Clock::now();
    const Clock::time_point until = pending_.nextClose().value_or(now + LateWindow(answerLimit()));
    deadline_.start(TimerMs(Ms(std::max(until - now, Clock::duration::zero())) + 1));
}

void PlanRunner::finishPoll() {
    pollMissed_ += pending_.closeWindows(Clock::now()).size() + pending_.abandon(current());
    finishStep(PollFigures(pollRequests_, pollMissed_, pollLate_, pollAnswerMs_, step().poll));
}

void PlanRunner::deadlinePassed() {
    const std::string limit = LimitMs(answerLimitMs()) + " ms";
    switch (phase_) {
    case Phase::Writing:
        return finishStep({}, "the request's write did not complete within " + limit);
    case Phase::Answering:
        return finishStep({NoAnswer(answerLimitMs())}, "no answer within " + limit);
    case Phase::Draining:
        pollMissed_ += pending_.closeWindows(Clock::now()).size();
        return pending_.waiting(current()) && pending_.nextClose() ? pollAnswered() : finishPoll();
    case Phase::Waiting:
        return finishStep({});
    case Phase::Asking:
        return finishStep({}, "no answer from the operator within " +
                                  std::to_string(*step().timeoutMs) + " ms");
    case Phase::Settling:
        return settle();
    case Phase::Polling:
    case Phase::Pausing:
    case Phase::Idle:
        return;
    }
}

void PlanRunner::abandonStep() {
    if (phase_ == Phase::Asking && person_) person_->withdraw();
    deadline_.stop();
    pollTimer_.stop();
    againTimer_.stop();
    pending_.abandon(current());
    phase_ = Phase::Idle;
}

void PlanRunner::finishStep(std::vector<Measurement> measurements, std::string failure) {
    abandonStep();
    current_.measurements = std::move(measurements);
    for (const Measurement& measurement : current_.measurements)
        if (!measurement.passed && failure.empty()) failure = measurement.failure();
    current_.failure = std::move(failure);
    current_.seconds = std::chrono::duration<double>(Clock::now() - stepStarted_).count();
    const bool passed = current_.passed();
    current_.retried = !passed && attempt_ <= step().retry && !record_.boardLeft;
    record_.steps.push_back(current_);
    emit stepFinished(current_);
    if (current_.retried) {
        ++attempt_;
        return beginStepLater();
    }
    const bool stops = !passed && stopsOnFail() && !inTeardown();
    attempt_ = 1;
    if (++repetition_ > step().repeat) {
        repetition_ = 1;
        ++stepIndex_;
    }
    if (stops)
        skipFromHere("step " + current_.title() + " did not pass, and stops the plan",
                     plan_.steps.size());
    // From the event loop: a board that takes writes at once would otherwise run every
    // following send step inside this call.
    beginStepLater();
}

void PlanRunner::skipFromHere(const std::string& reason, std::size_t until) {
    const bool underWay = phase_ != Phase::Idle;
    abandonStep();
    const std::size_t firstSkipped = record_.steps.size();
    for (; stepIndex_ < until; ++stepIndex_, repetition_ = 1, attempt_ = 1)
        for (; repetition_ <= step().repeat; ++repetition_, attempt_ = 1) {
            StepResult skipped = ResultOf(step(), stepIndex_, plan_.steps.size(), repetition_);
            skipped.attempt = attempt_;
            skipped.skipped = true;
            skipped.skipReason = reason;
            record_.steps.push_back(std::move(skipped));
        }
    if (underWay && firstSkipped < record_.steps.size())
        record_.steps[firstSkipped].seconds =
            std::chrono::duration<double>(Clock::now() - stepStarted_).count();
    // A signal's skips are told once, by whoever took the signal.
    if (reason != record_.reason())
        for (std::size_t n = firstSkipped; n < record_.steps.size(); ++n)
            emit stepFinished(record_.steps[n]);
}

bool PlanRunner::interrupt(std::string signalName) {
    if (!running_) return false;
    if (!record_.interruptedBy.empty()) return true;
    record_.interruptedBy = std::move(signalName);
    // Every step is over already, or the teardown is under way: each ends as it would.
    if (phase_ == Phase::Settling || inTeardown()) return true;
    // The step under way is given up: what it found so far decides nothing.
    skipFromHere(record_.reason(), plan_.steps.size());
    layer_.cancelQueuedWrites(board_);
    if (plan_.teardown.empty()) {
        finishRun();
    } else {
        beginStepLater();
    }
    return true;
}

void PlanRunner::teardownRanOut() {
    if (!running_ || phase_ == Phase::Settling) return;
    skipFromHere("the teardown ran out of its " + std::to_string(TeardownLimit.count()) + " s",
                 allSteps());
    finishRun();
}

void PlanRunner::finishRun() {
    // No step waits for them any more: what has not begun is given up, and the write under
    // way (at most 5 s on USB) is waited for.
    teardownTimer_.stop();
    layer_.cancelQueuedWrites(board_);
    phase_ = Phase::Settling;
    settleStarted_ = Clock::now();
    // From the event loop: the run never ends inside a call to interrupt().
    settleLater();
}

void PlanRunner::settleLater() {
    // Not from inside the layer's news: ending the run stops listening to it.
    QMetaObject::invokeMethod(this, &PlanRunner::settle, Qt::QueuedConnection);
}

void PlanRunner::settle() {
    if (phase_ != Phase::Settling) return;
    const std::size_t inFlight = record_.boardLeft ? 0 : layer_.writesInFlight(board_);
    const auto waited = Clock::now() - settleStarted_;
    if (inFlight > 0 && waited < SettleLimit) {
        // Woken by the layer's news of each write, or at the limit.
        if (!deadline_.isActive()) deadline_.start(TimerMs(Ms(SettleLimit - waited)) + 1);
        return;
    }
    record_.writesInFlight = inFlight;
    stop();
    record_.ended = QDateTime::currentDateTimeUtc();
    for (std::size_t i = 0; i < record_.counts.size(); ++i)
        record_.counts[i] = layer_.reportCounts(board_)[i] - countsAtStart_[i];
    emit finished();
}

void PlanRunner::stop() {
    running_ = false;
    abandonStep();
    teardownTimer_.stop();
    layer_.removeDeviceListObserver(*this);
    layer_.removeObserver(*this);
}

} // namespace check
