#include "board/VirtualBoard.h"

#include "board/BoardFirmware.h"
#include "hid/DeviceManager.h"

#include <QRandomGenerator>
#include <algorithm>

namespace board {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

QByteArray textAt(const hid::Report& report, std::size_t length) {
    const auto* first = reinterpret_cast<const char*>(report.data() + firmware::TextStart);
    return QByteArray(first, static_cast<qsizetype>(qstrnlen(first, static_cast<uint>(length))));
}

/// The answer text as the firmware holds it: cut or padded with zero bytes to 16.
QByteArray AnswerTextOf(const QByteArray& text) {
    QByteArray held = text.left(VirtualBoard::AnswerTextLength);
    held.append(VirtualBoard::AnswerTextLength - held.size(), '\0');
    return held;
}

VirtualBoardSetup PluggedOrNot(bool plugged) {
    VirtualBoardSetup setup;
    if (!plugged) setup.plugAt.reset();
    return setup;
}

} // namespace

VirtualBoard::VirtualBoard(bool plugged) : VirtualBoard(PluggedOrNot(plugged)) {}

VirtualBoard::VirtualBoard(const VirtualBoardSetup& setup)
    : info_{VendorId,           ProductId,
            setup.manufacturer, setup.product,
            setup.serialNumber, setup.path,
            setup.port,         {false, hid::ReportSize - 1, hid::ReportSize - 1}},
      answerDelay_(setup.answerDelay), answerJitter_(setup.answerJitter),
      missEvery_(setup.missEvery), plugAt_(setup.plugAt), unplugAt_(setup.unplugAt),
      plugged_(setup.plugAt == milliseconds(0)), adValue_(setup.adValue),
      inputBits_(setup.inputBits), answerText_(AnswerTextOf(setup.answerText)) {
    answerTimer_.setSingleShot(true);
    answerTimer_.setTimerType(Qt::PreciseTimer);
    connect(&answerTimer_, &QTimer::timeout, this, &VirtualBoard::sendDueAnswers);
}

VirtualBoard::~VirtualBoard() = default;

VirtualBoard& VirtualBoard::attachTo(hid::DeviceManager& layer) {
    auto board = std::make_unique<VirtualBoard>();
    VirtualBoard& attached = *board;
    layer.addSource(std::move(board));
    return attached;
}

void VirtualBoard::start(hid::DeviceEvents& events) {
    events_ = &events;
    if (plugged_) events_->deviceArrived(*this);
    if (plugAt_ > milliseconds(0))
        QTimer::singleShot(*plugAt_, Qt::PreciseTimer, this, &VirtualBoard::plug);
    if (unplugAt_) QTimer::singleShot(*unplugAt_, Qt::PreciseTimer, this, &VirtualBoard::unplug);
}

void VirtualBoard::plug() {
    if (plugged_) return;
    plugged_ = true;
    ++plugGeneration_;
    if (events_) events_->deviceArrived(*this);
    emit stateChanged();
}

void VirtualBoard::unplug() {
    if (!plugged_) return;
    plugged_ = false;
    ++plugGeneration_;
    scheduledAnswers_.clear();
    answerTimer_.stop();
    if (events_) events_->deviceRemoved(*this);
    emit stateChanged();
}

void VirtualBoard::setAdValue(std::uint8_t value) {
    adValue_ = value;
    emit stateChanged();
}

void VirtualBoard::setInputBits(std::uint8_t bits) {
    inputBits_ = bits;
    emit stateChanged();
}

void VirtualBoard::setAnswerText(const QByteArray& text) {
    answerText_ = AnswerTextOf(text);
    emit stateChanged();
}

void VirtualBoard::sendReport(const hid::Report& report) {
    if (!plugged_ || !events_) return;
    ++reportsSent_;
    events_->reportReceived(*this, report);
    emit stateChanged();
}

hid::WriteResult VirtualBoard::write(const hid::Report& report) {
    if (!plugged_) return hid::WriteResult::Refused;
    if (writesFail_) return hid::WriteResult::Failed;
    ++reportsReceived_;
    lastReport_ = report;
    loopFlag_ = report[firmware::LoopFlag];
    switch (report[firmware::Command]) {
    case firmware::StoreText:
        lastText_ = textAt(report, firmware::TextLength);
        break;
    case firmware::StoreClock:
        lastClockText_ = textAt(report, firmware::ClockTextLength);
        break;
    case firmware::WritePortD:
        portD_ = report[firmware::PortD];
        break;
    case firmware::Reset:
        resetFirmware();
        break;
    case firmware::ReadText:
    case firmware::ReadAdc:
    case firmware::ReadInputs:
        answer(report);
        break;
    default:
        break;
    }
    emit reportReceived(report);
    emit stateChanged();
    return hid::WriteResult::Sent;
}

void VirtualBoard::answer(const hid::Report& request) {
    const auto reply = firmware::answerTo(
        request[firmware::Command],
        {adValue_, inputBits_, {answerText_.constData(), std::size_t(answerText_.size())}});
    if (!reply) return;
    ++requestsToAnswer_;
    if (missEvery_ > 0 && requestsToAnswer_ % std::uint64_t(missEvery_) == 0) return;
    if (answerDelay_ > milliseconds(0) || answerJitter_ > milliseconds(0)) {
        scheduleAnswer(*reply);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, reply = *reply, generation = plugGeneration_] {
            if (generation == plugGeneration_) sendReport(reply);
        },
        Qt::QueuedConnection);
}

void VirtualBoard::scheduleAnswer(const hid::Report& reply) {
    const int jitter = int(answerJitter_.count());
    const milliseconds late =
        answerDelay_ + milliseconds(QRandomGenerator::global()->bounded(-jitter, jitter + 1));
    // In the order of the requests: an answer whose jitter falls early waits for the answers
    // before it, never overtaking them.
    scheduledAnswers_.push_back({steady_clock::now() + std::max(late, milliseconds(0)), reply});
    if (scheduledAnswers_.size() == 1) waitForNextAnswer();
}

void VirtualBoard::sendDueAnswers() {
    // Sending may unplug the board (a listener's doing), which empties the queue.
    while (!scheduledAnswers_.empty() && scheduledAnswers_.front().due <= steady_clock::now()) {
        const hid::Report reply = scheduledAnswers_.front().reply;
        scheduledAnswers_.pop_front();
        sendReport(reply);
    }
    if (!scheduledAnswers_.empty()) waitForNextAnswer();
}

void VirtualBoard::waitForNextAnswer() {
    // Rounded up: the timer never sends an answer early; one due now still goes through the
    // event loop.
    const auto wait = scheduledAnswers_.front().due - steady_clock::now();
    answerTimer_.start(std::chrono::ceil<milliseconds>(std::max(wait, wait.zero())));
}

void VirtualBoard::resetFirmware() {
    portD_ = 0;
    loopFlag_ = 0;
    lastText_.clear();
    lastClockText_.clear();
}

} // namespace board
