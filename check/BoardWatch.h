#pragma once

#include "hid/DeviceListObserver.h"
#include "hid/DeviceManager.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace check {

/// Watches the layer for the board (vendor and product id from protocol/ReportLayout.h): tells
/// when one is there, or has left. Boards that cannot be used (no permission, wrong format) are
/// never "there"; their problems are kept, to be told when none comes.
class BoardWatch final : public QObject,
                         private hid::DeviceListObserver,
                         private hid::DeviceProblemObserver {
    Q_OBJECT

public:
    explicit BoardWatch(hid::DeviceManager& layer);
    ~BoardWatch() override;

    /// Sends boardThere at once when a board is attached, else as soon as one is; after
    /// `patience` (none: never) sends noBoard instead.
    void awaitBoard(std::optional<std::chrono::milliseconds> patience);
    /// Stops waiting for a board: sends noBoard when none has come yet.
    void giveUp();
    /// Sends boardGone once the board with this handle has left.
    void awaitLeaving(hid::Handle board);
    /// From now on sends boardArrived for every board attached, one already there included,
    /// and boardLeft for each of them that leaves.
    void watchEveryBoard();

    /// The messages of every board found unusable so far.
    const std::vector<std::string>& problems() const { return problems_; }

signals:
    void boardThere(hid::Handle board);
    void noBoard();
    void boardGone();
    void boardArrived(hid::Handle board);
    void boardLeft(hid::Handle board);
    /// A board was found that cannot be used; `message` tells why and the fix.
    void boardUnusable(const QString& message);

private:
    void devicesChanged() override;
    void deviceProblem(const hid::DeviceProblem& problem) override;
    void tellArrivalsAndLeavings();

    hid::DeviceManager& layer_;
    QTimer patience_;
    bool awaitingBoard_ = false;
    hid::Handle leaving_ = 0;
    bool watchingEvery_ = false;
    std::set<hid::Handle> attached_; ///< the boards told arrived and not yet left
    std::vector<std::string> problems_;
};

} // namespace check
