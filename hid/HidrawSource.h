#pragma once

#include "hid/DeviceSource.h"
#include "hid/HidrawScan.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace hid {

class HidrawDevice;

/// Name of the udev rule that gives the logged-in user access to the board's node.
inline constexpr const char* UdevRuleFile = "70-zov-usb-test.rules";

/// The one line printed when the board's node cannot be opened for lack of permission.
std::string permissionMessage(const std::string& node);

/// How the source reaches the system; tests put fakes in its place.
struct HidrawBackend {
    /// Every HID device now attached, one entry per node.
    std::function<std::vector<DeviceInfo>()> enumerate;
    /// Opens the node read-write and non-blocking: a descriptor, or -errno.
    std::function<int(const std::string& node)> open;
    /// Tells the operator something, one line without the line end.
    std::function<void(const std::string& line)> warn;

    /// hidapi enumeration, open(2), standard error.
    static HidrawBackend system();
};

struct HidrawOptions {
    enum class Hotplug {
        Auto,        ///< the udev monitor where udev runs, else re-scanning
        UdevMonitor, ///< only the udev monitor
        Rescan,      ///< only re-scanning
        None,        ///< only the first enumeration and explicit rescan() calls
    };

    /// Devices with these ids are opened for reading and writing; every other HID device is
    /// only listed. Opening them all would read every keyboard and mouse on the desk.
    std::vector<std::pair<int, int>> openIds{{0x1234, 0x0001}};
    Hotplug hotplug = Hotplug::Auto;
    /// Re-scan period where udev delivers no events.
    std::chrono::milliseconds rescanInterval{1000};
    /// Right after a plug udev may not have set the node's permissions yet: a failed open is
    /// tried again this often, this many times (about a second), before the source gives up.
    std::chrono::milliseconds openRetryInterval{100};
    int openRetries = 10;
};

/// The real HID devices, through the kernel's hidraw nodes. Every HID device is announced
/// to the layer; those with the board's ids are also opened. Arrivals and removals come from
/// the udev monitor, or, where no udev daemon runs (no /run/udev/control, as in containers),
/// from a periodic re-scan. Removals are matched by device node, because sysfs is gone by the
/// time udev reports them.
///
/// A device whose node fails (unplugged while reading or writing) is closed and removed at
/// once; it is not announced again until its node has left the enumeration.
class HidrawSource final : public QObject, public DeviceSource {
    Q_OBJECT

public:
    explicit HidrawSource(HidrawOptions options = {},
                          HidrawBackend backend = HidrawBackend::system());
    ~HidrawSource() override;

    void start(DeviceEvents& events) override;

    /// Enumerates now and announces what arrived and what left.
    void rescan();
    /// The device at `node` has left.
    void removeNode(const std::string& node);

    /// True when hotplug events come from the udev monitor rather than from re-scans.
    bool usesUdevMonitor() const { return monitor_ != nullptr; }
    /// The announced device at `node`, or nullptr.
    HidrawDevice* device(const std::string& node) const;
    std::size_t deviceCount() const { return devices_.size(); }

private:
    class UdevMonitor;
    struct PendingOpen {
        std::string node;
        int attemptsLeft;
    };

    void applyScan(std::vector<DeviceInfo> now, bool afterPlug);
    /// Announces the device; `fd` is its node when already open, else -1.
    void announce(const DeviceInfo& info, bool afterPlug, int fd = -1);
    void withdraw(const std::string& node);
    bool shouldOpen(const DeviceInfo& info) const;
    /// One attempt; true when the node is open now.
    bool tryOpen(HidrawDevice& device, int& error);
    void retryOpens();
    void giveUp(const std::string& node, int error);
    void deviceFailed(HidrawDevice* device);

    HidrawOptions options_;
    HidrawBackend backend_;
    DeviceEvents* events_ = nullptr;
    std::vector<DeviceInfo> known_;                // the last enumeration, failed devices included
    std::map<std::string, HidrawDevice*> devices_; // announced; children of this object
    std::vector<PendingOpen> pending_;
    std::set<std::string> failed_; // nodes whose device failed while still listed
    std::set<std::string> warned_; // nodes already complained about
    QTimer retryTimer_;
    QTimer rescanTimer_;
    std::unique_ptr<UdevMonitor> monitor_;
};

} // namespace hid
