#pragma once

#include "hid/DeviceListObserver.h"
#include "hid/DeviceProblem.h"
#include "hid/DeviceSource.h"
#include "hid/HidLayer.h"
#include "hid/ReportObserver.h"

#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace hid {

/// The HID layer: gathers the devices of all its sources, hands out handles, queues input
/// reports and posts HidEvents to the connected window. Lives on the GUI thread, and every
/// operation and source event is taken there (checked in debug builds).
///
/// Handles are positive, unique within a run and never reused. Input reports are queued for a
/// device only while its read notification is on; each queue holds at most `queueLimit`
/// reports, and on overflow the oldest is dropped. A layer that is only observed (its
/// observers take every report as it comes, nobody reads a queue) queues and drops nothing.
/// Once a reader used the layer (Connect or Read), a report that came while its device's
/// read notification was off is lost to that reader too. Every report dropped unread is
/// counted and traced. Every output report is accounted for once: Out when
/// the device took it whole (for a queued write, when the write completes), Refused when no
/// device took it, Failed when its write failed.
class DeviceManager final : public HidLayer, private DeviceEvents {
public:
    static constexpr std::size_t DefaultQueueLimit = 1024;

    explicit DeviceManager(std::size_t queueLimit = DefaultQueueLimit);
    ~DeviceManager() override;
    DeviceManager(const DeviceManager&) = delete;
    DeviceManager& operator=(const DeviceManager&) = delete;

    /// Takes the source and starts it at once.
    void addSource(std::unique_ptr<DeviceSource> source);
    /// Calls `callback` once, as soon as every source is settled: at once if they are, else
    /// from the event loop when the last of them is. The devices present at start are then
    /// announced.
    void whenSettled(std::function<void()> callback);
    /// `observer` is told of every report from now on, until removed; it must outlive that.
    void addObserver(ReportObserver& observer);
    void removeObserver(ReportObserver& observer);
    /// `observer` is told of every device problem from now on; it must outlive the layer.
    void addProblemObserver(DeviceProblemObserver& observer);
    void removeProblemObserver(DeviceProblemObserver& observer);
    /// `observer` is told of every arrival and removal from now on, until removed.
    void addDeviceListObserver(DeviceListObserver& observer);
    void removeDeviceListObserver(DeviceListObserver& observer);

    /// What the attached device tells about itself; null for a handle that is not attached.
    const DeviceInfo* deviceInfo(Handle handle) const;

    /// Input reports dropped so far unread: the oldest of a full queue, whatever was still
    /// queued when its device left, its read notification was switched off or the layer
    /// disconnected, and, once a reader used the layer, every report that came while its
    /// device's read notification was off.
    std::uint64_t droppedReports() const { return reportCount(ReportDirection::Dropped); }
    /// Output reports no device took (none attached, or its write queue full), and output
    /// reports whose write failed, so far.
    std::uint64_t refusedReports() const { return reportCount(ReportDirection::Refused); }
    std::uint64_t failedReports() const { return reportCount(ReportDirection::Failed); }
    /// Every report so far, by what became of it (index: directionIndex).
    const DirectionCounts& reportCounts() const { return reportCounts_; }
    /// The reports of the device with this handle so far, by what became of them; they stay
    /// after it left. A report no device took when none had the ids asked for is in none.
    DirectionCounts reportCounts(Handle handle) const;
    /// The handles of the attached devices with these ids, earliest attached first.
    std::vector<Handle> handles(int vendorId, int productId) const;
    /// Sends one output report to the device with this handle, as WriteEx does to the first
    /// device with its ids; a handle that is not attached refuses it.
    bool write(Handle handle, const Report& buffer);
    /// Reports waiting in the device's queue.
    std::size_t queuedReports(Handle handle) const;
    /// Output reports the device queued whose write has not completed yet.
    std::size_t writesInFlight(Handle handle) const;
    /// Gives up the device's queued writes not yet begun; each is accounted Failed at once.
    void cancelQueuedWrites(Handle handle);

    bool Connect(QObject* window) override;
    bool Disconnect() override;
    int GetItemCount() override;
    Handle GetHandle(int vendorId, int productId) override;
    int GetVendorID(Handle handle) override;
    int GetProductID(Handle handle) override;
    bool GetVendorName(Handle handle, std::span<char> buffer) override;
    bool GetProductName(Handle handle, std::span<char> buffer) override;
    bool GetSerialNumber(Handle handle, std::span<char> buffer) override;
    bool SetReadNotify(Handle handle, bool enabled) override;
    bool Read(Handle handle, Report& buffer) override;
    bool WriteEx(int vendorId, int productId, const Report& buffer) override;

private:
    struct Attached {
        Device* device;
        bool readNotify = false;
        std::deque<Report> queue;
        std::size_t writesInFlight = 0;
    };
    struct Ids {
        int vendorId;
        int productId;
    };

    void deviceArrived(Device& device) override;
    void deviceRemoved(Device& device) override;
    void reportReceived(Device& device, const Report& report) override;
    void reportsLost(Device& device, std::uint64_t count) override;
    void writeCompleted(Device& device, const Report& report, bool sent, int error) override;
    void deviceUnusable(const DeviceProblem& problem) override;
    void sourceSettled() override;

    /// Drops the `count` oldest queued reports of the device, counting and tracing each.
    void dropQueued(Handle handle, Attached& device, std::size_t count);
    void post(std::uint32_t code, Handle handle);
    /// Counts the report by its direction and tells the observers.
    void notify(ReportDirection direction, Handle handle, const Report& report);
    std::uint64_t reportCount(ReportDirection direction) const {
        return reportCounts_[directionIndex(direction)];
    }
    void notifyListChanged();
    /// The device's handle; 0 once it has left (or for one never announced).
    Handle handleOf(const Device& device) const;
    Attached* attached(Handle handle);
    bool copyText(Handle handle, std::string DeviceInfo::*field, std::span<char> buffer);

    std::size_t queueLimit_;
    std::map<Handle, Attached> attached_; // ordered, so the earliest attached comes first
    std::unordered_map<const Device*, Handle> handles_;
    std::unordered_map<Handle, Ids> ids_; // every handle ever given out, departed ones too
    Handle lastHandle_ = 0;
    QPointer<QObject> window_;
    bool hasReader_ = false; ///< Connect or Read was called: someone reads the queues
    DirectionCounts reportCounts_{};
    std::unordered_map<Handle, DirectionCounts> handleCounts_;
    std::vector<ReportObserver*> observers_;
    std::vector<DeviceProblemObserver*> problemObservers_;
    std::vector<DeviceListObserver*> listObservers_;
    std::vector<std::function<void()>> settledCallbacks_;
    std::vector<std::unique_ptr<DeviceSource>> sources_; // last member: goes first
};

} // namespace hid
