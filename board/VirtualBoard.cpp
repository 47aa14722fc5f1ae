#include "board/VirtualBoard.h"

#include "board/BoardFirmware.h"
#include "hid/DeviceManager.h"

#include <algorithm>

namespace hid {
namespace {

QByteArray textAt(const Report& report, std::size_t length) {
    const auto* first = reinterpret_cast<const char*>(report.data() + firmware::TextStart);
    return QByteArray(first, static_cast<qsizetype>(qstrnlen(first, static_cast<uint>(length))));
}

} // namespace

VirtualBoard::VirtualBoard(bool plugged)
    : info_{VendorId,
            ProductId,
            "ZOV Electronics",
            "ZOV-USB Virtual Board",
            "VB-0001",
            "virtual",
            {false, ReportSize - 1, ReportSize - 1}},
      plugged_(plugged), answerText_("Hello from ZOV!!") {}

VirtualBoard::~VirtualBoard() = default;

VirtualBoard& VirtualBoard::attachTo(DeviceManager& layer) {
    auto board = std::make_unique<VirtualBoard>();
    VirtualBoard& attached = *board;
    layer.addSource(std::move(board));
    return attached;
}

void VirtualBoard::start(DeviceEvents& events) {
    events_ = &events;
    if (plugged_) events_->deviceArrived(*this);
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
    answerText_ = text.left(AnswerTextLength);
    answerText_.append(AnswerTextLength - answerText_.size(), '\0');
    emit stateChanged();
}

void VirtualBoard::sendReport(const Report& report) {
    if (!plugged_ || !events_) return;
    ++reportsSent_;
    events_->reportReceived(*this, report);
    emit stateChanged();
}

WriteResult VirtualBoard::write(const Report& report) {
    if (!plugged_) return WriteResult::Refused;
    if (writesFail_) return WriteResult::Failed;
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
    return WriteResult::Sent;
}

void VirtualBoard::answer(const Report& request) {
    const auto reply = firmware::answerTo(
        request[firmware::Command],
        {adValue_, inputBits_, {answerText_.constData(), std::size_t(answerText_.size())}});
    if (!reply) return;
    QMetaObject::invokeMethod(
        this,
        [this, reply = *reply, generation = plugGeneration_] {
            if (generation == plugGeneration_) sendReport(reply);
        },
        Qt::QueuedConnection);
}

void VirtualBoard::resetFirmware() {
    portD_ = 0;
    loopFlag_ = 0;
    lastText_.clear();
    lastClockText_.clear();
}

} // namespace hid
