#include "check/BoardWatch.h"

#include "protocol/ReportLayout.h"

#include <algorithm>

namespace check {

BoardWatch::BoardWatch(hid::DeviceManager& layer) : layer_(layer) {
    patience_.setSingleShot(true);
    patience_.setTimerType(Qt::PreciseTimer); // never ends a wait early
    connect(&patience_, &QTimer::timeout, this, &BoardWatch::giveUp);
    layer_.addDeviceListObserver(*this);
    layer_.addProblemObserver(*this);
}

void BoardWatch::giveUp() {
    if (!awaitingBoard_) return;
    awaitingBoard_ = false;
    patience_.stop();
    emit noBoard();
}

BoardWatch::~BoardWatch() {
    layer_.removeProblemObserver(*this);
    layer_.removeDeviceListObserver(*this);
}

void BoardWatch::awaitBoard(std::optional<std::chrono::milliseconds> patience) {
    awaitingBoard_ = true;
    if (patience) patience_.start(*patience);
    devicesChanged();
}

void BoardWatch::awaitLeaving(hid::Handle board) {
    leaving_ = board;
    devicesChanged();
}

void BoardWatch::watchEveryBoard() {
    watchingEvery_ = true;
    devicesChanged();
}

void BoardWatch::devicesChanged() {
    if (watchingEvery_) tellArrivalsAndLeavings();
    if (leaving_ != 0 && !layer_.deviceInfo(leaving_)) {
        leaving_ = 0;
        emit boardGone();
    }
    if (!awaitingBoard_) return;
    const hid::Handle board = layer_.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
    if (board == 0) return;
    awaitingBoard_ = false;
    patience_.stop();
    emit boardThere(board);
}

void BoardWatch::tellArrivalsAndLeavings() {
    const std::vector<hid::Handle> now =
        layer_.handles(protocol::DeviceVendorID, protocol::DeviceProductID);
    for (auto it = attached_.begin(); it != attached_.end();) {
        const hid::Handle board = *it;
        if (std::find(now.begin(), now.end(), board) != now.end()) {
            ++it;
            continue;
        }
        it = attached_.erase(it);
        emit boardLeft(board);
    }
    for (const hid::Handle board : now)
        if (attached_.insert(board).second) emit boardArrived(board);
}

void BoardWatch::deviceProblem(const hid::DeviceProblem& problem) {
    problems_.push_back(problem.message);
    emit boardUnusable(QString::fromStdString(problem.message));
}

} // namespace check
