#pragma once

#include "hid/DeviceProblem.h"
#include "hid/Report.h"

#include <cstdint>
#include <string>

namespace hid {

/// What a device tells about itself. Names are Windows-1252 bytes (hid/CodePage1252.h), as
/// the reports' text is; shown through hid::fromWindows1252.
struct DeviceInfo {
    int vendorId = 0;
    int productId = 0;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::string path; ///< where the device lives, e.g. its device node
    /// The board's physical place, the same for every board in one fixture position: for a
    /// USB device its name in sysfs (e.g. "1-1.2"), ASCII. Empty when there is none (uhid,
    /// bluetooth).
    std::string port;
    /// The report format, as the device's report descriptor gives it once the device is open;
    /// sizes in bytes without the report id, 0 while unknown.
    struct ReportFormat {
        bool usesReportIds = false;
        int inputReportSize = 0;
        int outputReportSize = 0;
    } format;
};

/// What became of a report handed to Device::write.
enum class WriteResult {
    Sent,    ///< the device took the whole report
    Queued,  ///< it will be written later; DeviceEvents::writeCompleted tells how it went
    Refused, ///< not taken: the device is not open, or its write queue is full
    Failed,  ///< the write was tried and failed
};

/// One attached device, owned by the source that found it.
class Device {
public:
    virtual ~Device() = default;
    virtual const DeviceInfo& info() const = 0;
    /// Send one output report, byte 0 the report id. Returns at once; never blocks.
    virtual WriteResult write(const Report& report) = 0;
    /// Gives up the queued writes not yet begun: each is told failed with ECANCELED through
    /// DeviceEvents::writeCompleted before this returns. A write already under way goes on.
    virtual void cancelQueuedWrites() {}
};

/// How a source reports to the layer. Every call comes on the GUI thread.
class DeviceEvents {
public:
    virtual void deviceArrived(Device& device) = 0;
    /// The device is still valid during this call and must not be used after it.
    virtual void deviceRemoved(Device& device) = 0;
    /// One input report, placed as 33 bytes with byte 0 the report id.
    virtual void reportReceived(Device& device, const Report& report) = 0;
    /// `count` input reports the device read but could not hand over: lost, and counted.
    virtual void reportsLost(Device& device, std::uint64_t count) = 0;
    /// How a write that Device::write answered Queued ended: the device took the whole report
    /// (`sent`), or it failed with `error` (an errno value). Comes before the device's removal.
    virtual void writeCompleted(Device& device, const Report& report, bool sent, int error) = 0;
    /// A device was found that cannot be used; it is not announced.
    virtual void deviceUnusable(const DeviceProblem& problem) = 0;
    /// The source has done everything it was asked to (see DeviceSource::isSettled).
    virtual void sourceSettled() = 0;

protected:
    ~DeviceEvents() = default;
};

/// Finds devices of one kind (the virtual board, hidraw nodes, ...) and watches them.
/// Several sources can feed one layer at the same time.
class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    /// Start watching; devices already present are announced through deviceArrived, during
    /// the call or, where finding them takes system calls that may wait, from the event loop
    /// soon after. `events` outlives the source.
    virtual void start(DeviceEvents& events) = 0;
    /// True while every look for devices asked for has been done and what it found has been
    /// announced; a source that finds its devices during start is always settled. A source
    /// that becomes settled later says so through DeviceEvents::sourceSettled.
    virtual bool isSettled() const { return true; }
};

} // namespace hid
