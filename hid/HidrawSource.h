#pragma once

#include "hid/BoardProblems.h"
#include "hid/DeviceSource.h"
#include "hid/HidrawDevice.h"
#include "hid/HidrawScan.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace hid {

/// What an open node says about itself.
struct NodeDetails {
    int vendorId = 0;
    int productId = 0;
    std::vector<std::uint8_t> reportDescriptor;
};

/// How the source reaches the system; tests put fakes in its place.
struct HidrawBackend {
    /// Every HID device now attached, one entry per node.
    std::function<std::vector<DeviceInfo>()> enumerate;
    /// Opens the node read-write and non-blocking: a descriptor, or -errno.
    std::function<int(const std::string& node)> open;
    /// Asks the open node for its ids (HIDIOCGRAWINFO) and its report descriptor
    /// (HIDIOCGRDESCSIZE, HIDIOCGRDESC): 0, or -errno.
    std::function<int(int fd, NodeDetails& details)> describe;
    /// The reads and writes the device's threads make on an opened node.
    NodeCalls calls = NodeCalls::system();
    /// Tells the operator something, one line without the line end.
    std::function<void(const std::string& line)> warn;

    /// hidapi enumeration, open(2), the hidraw ioctls, standard error.
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
    /// Re-scan period where udev delivers no events; also how often a board that cannot be
    /// used is tried again while the udev monitor runs (fixing a node's mode makes no event).
    std::chrono::milliseconds rescanInterval{1000};
    /// In Auto mode with the udev monitor, a re-scan this often besides: events can be lost
    /// (a full socket), or never come (a container that shares the host's /run/udev).
    std::chrono::milliseconds safetyRescanInterval{5000};
    /// Right after a plug udev may not have set the node's permissions yet: a failed open is
    /// tried again this often, this many times (about a second), before the source gives up.
    std::chrono::milliseconds openRetryInterval{100};
    int openRetries = 10;
};

/// The real HID devices, through the kernel's hidraw nodes. Every HID device is announced
/// to the layer; those with the board's ids are opened first, and announced only once the
/// open node has confirmed its ids and its report descriptor shows 32-byte input and output
/// reports without a report id. Arrivals and removals come from the udev monitor (with a
/// slow safety re-scan beside it), or, where no udev daemon runs (no /run/udev/control, as
/// in containers), from a periodic re-scan. Removals are matched by device node, because
/// sysfs is gone by the time udev reports them.
///
/// A board that cannot be used (no permission, busy, other ids, another report format) is
/// not announced: the layer hears of it through deviceUnusable, once per node and kind, from
/// the event loop, and the same text goes to `warn`. It is tried again on every re-scan and
/// every udev add or change event, and every rescanInterval while the udev monitor runs, so
/// it comes online as soon as it can be opened.
///
/// A device whose node fails (unplugged while reading or writing) is closed and removed at
/// once; it is not announced again until its node has left the enumeration or opens again.
class HidrawSource final : public QObject, public DeviceSource {
    Q_OBJECT

public:
    explicit HidrawSource(HidrawOptions options = {},
                          HidrawBackend backend = HidrawBackend::system());
    ~HidrawSource() override;

    void start(DeviceEvents& events) override;

    /// Enumerates now, announces what arrived and what left, and tries the board nodes that
    /// are listed but not open again.
    void rescan();
    /// Tries the board nodes that are listed but not open again (udev reported a change).
    void retryUnopened();
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
    /// One attempt to open a board node: the open node and its format, or why not.
    struct OpenAttempt {
        int fd = -1;
        int openError = 0; ///< errno when open(2) itself failed
        DeviceInfo::ReportFormat format;
        DeviceProblem problem;
    };

    void applyScan(std::vector<DeviceInfo> now, bool afterPlug);
    void arrive(const DeviceInfo& info, bool afterPlug);
    OpenAttempt openBoard(const DeviceInfo& info) const;
    /// Announces the device; `fd` is its open node, else -1 for a device only listed.
    void announce(DeviceInfo info, int fd);
    void withdraw(const std::string& node);
    const DeviceInfo* listed(const std::string& node) const;
    bool shouldOpen(const DeviceInfo& info) const;
    void retryOpens();
    void markUnusable(const DeviceProblem& problem);
    void deviceFailed(HidrawDevice* device);
    void writeCompleted(HidrawDevice* device, const Report& report, bool sent, int error);

    HidrawOptions options_;
    HidrawBackend backend_;
    DeviceEvents* events_ = nullptr;
    std::vector<DeviceInfo> known_;                // the last enumeration, unopened nodes too
    std::map<std::string, HidrawDevice*> devices_; // announced; children of this object
    std::vector<PendingOpen> pending_;             // just plugged, waiting for udev's rights
    std::map<std::string, DeviceProblem::Kind> unusable_; // listed boards that cannot be used
    std::set<std::string> failed_; // nodes whose device failed while still listed
    std::set<std::pair<std::string, DeviceProblem::Kind>> told_; // problems already told
    std::map<std::string, std::set<int>> writeErrorsTold_;       // by node, while announced
    QTimer retryTimer_;
    QTimer rescanTimer_;
    QTimer unusableTimer_;
    std::unique_ptr<UdevMonitor> monitor_;
};

} // namespace hid
