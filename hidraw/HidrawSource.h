#pragma once

#include "hid/DeviceSource.h"
#include "hidraw/CallThread.h"
#include "hidraw/HidrawBackend.h"
#include "hidraw/HidrawDevice.h"
#include "hidraw/UdevMonitor.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace hidraw {

struct HidrawOptions {
    enum class Hotplug {
        Auto,        ///< the udev monitor where udev runs, else re-scanning
        UdevMonitor, ///< only the udev monitor
        Rescan,      ///< only re-scanning
        None,        ///< only the first enumeration and explicit rescan() calls
    };

    /// Devices with these (vendor, product) ids are opened for reading and writing; every
    /// other HID device is only listed. Opening them all would read every keyboard and mouse
    /// on the desk. The program names the boards it drives; none by default.
    std::vector<std::pair<int, int>> openIds;
    Hotplug hotplug = Hotplug::Auto;
    /// Re-scan period where udev delivers no events; also how often a board whose node could
    /// not be opened (no permission, busy) is tried again while the udev monitor runs: fixing
    /// a node's mode makes no event.
    std::chrono::milliseconds rescanInterval{1000};
    /// In Auto mode with the udev monitor, a re-scan this often besides: events can be lost
    /// (a full socket), or never come (a container that shares the host's /run/udev).
    std::chrono::milliseconds safetyRescanInterval{5000};
    /// Right after a plug udev may not have set the node's permissions yet: a failed open is
    /// tried again this often, this many times (about a second), before the source gives up.
    std::chrono::milliseconds openRetryInterval{100};
    int openRetries = 10;
    /// A board found unusable is looked at again this long after, unless a re-scan or an
    /// event does so sooner, and told only if it is still unusable then: a board plugged in
    /// and out in a hurry can fail in passing (its node gone halfway through the open).
    std::chrono::milliseconds confirmInterval{300};
};

/// The real HID devices, through the kernel's hidraw nodes. Every HID device is announced
/// to the layer; those with the board's ids are opened first, and announced only once the
/// open node has confirmed its ids and its report descriptor shows 32-byte input and output
/// reports without a report id. Arrivals and removals come from the udev monitor (with a
/// slow safety re-scan beside it), or, where no udev daemon runs (no /run/udev/control, as
/// in containers), from a periodic re-scan. udev's removals are matched by device node,
/// because sysfs is gone by the time udev reports them; a board held open learns of its
/// removal from its own node instead (below), since udev may report it only once the next
/// board has taken the node.
///
/// The enumeration, the opens and the checks on an opened node run on a call thread of the
/// source's own, because each may wait (opening a USB node wakes a suspended device); what
/// they found comes back to the GUI thread from the event loop, where the source decides
/// and announces. So start() and rescan() return before their devices are announced;
/// isSettled() tells when everything asked for has been done (the problems found are then
/// about to be told, from the event loop).
///
/// A board that cannot be used (no permission, busy, other ids, another report format) is
/// not announced. Once it is still unusable at the next look at its node (a re-scan, an
/// event, or confirmInterval later), the layer hears of it through deviceUnusable, once per
/// node and kind, from the event loop, and the same text goes to `warn`; a board unplugged
/// before that is not told. It is tried again on every re-scan and
/// every udev add or change event, so it comes online as soon as it can be used; one whose
/// node could not be opened (no permission, busy) also every rescanInterval while the udev
/// monitor runs. A node that vanishes between being listed and being opened was unplugged:
/// nothing is told.
///
/// A device whose node fails (unplugged while reading or writing) is closed and removed at
/// once. Should its node still be listed at the next look, it is opened as a new plug (the
/// board may have come back on the same node between two looks), and what it answers then
/// is told like any plug's.
class HidrawSource final : public QObject, public hid::DeviceSource {
    Q_OBJECT

public:
    explicit HidrawSource(HidrawOptions options = {},
                          HidrawBackend backend = HidrawBackend::system());
    ~HidrawSource() override;

    /// Starts the first enumeration; the devices present are announced once it is done.
    void start(hid::DeviceEvents& events) override;

    /// Enumerates again, announces what arrived and what left, and tries the board nodes
    /// that are listed but not open again. Asked while an enumeration is under way, it runs
    /// once more after it.
    void rescan();
    /// Tries the board nodes that are listed but not open again (udev reported a change), and
    /// those being opened once more should that open fail.
    void retryUnopened();
    /// udev reported that the device at `node` left. A board held open there is left to its
    /// node, which the kernel hangs up when its device leaves: the report may be about a
    /// board that left before the one the source has opened since.
    void removeNode(const std::string& node);

    /// True when every enumeration and open asked for has been done and its outcome handled,
    /// and every board found unusable has been looked at again; once so, the layer hears of
    /// it through sourceSettled.
    bool isSettled() const override { return calls_.idle() && unconfirmed_.empty(); }
    /// True when hotplug events come from the udev monitor rather than from re-scans.
    bool usesUdevMonitor() const { return monitor_ != nullptr; }
    /// The announced device at `node`, or nullptr.
    HidrawDevice* device(const std::string& node) const;

private:
    /// Why a board node is opened; it decides what a failure leads to.
    enum class OpenReason {
        Arrival, ///< found at start, or listed anew by a re-scan not caused by a plug
        Plugged, ///< listed anew after a plug: udev may not have set its rights yet
        Retry,   ///< the retry timer, for a node that failed right after its plug
        Recheck, ///< a node known and not open, tried again
    };
    struct PendingOpen {
        std::string node;
        int attemptsLeft;
    };

    void requestScan(bool afterPlug);
    void scanned(std::vector<hid::DeviceInfo> now, bool afterPlug);
    void requestOpen(const hid::DeviceInfo& info, OpenReason reason);
    void opened(const hid::DeviceInfo& info, OpenReason reason, BoardOpening& opening);
    void openFailed(const std::string& node, OpenReason reason, const BoardOpening& opening);
    /// Closes an opened node on the call thread.
    void discard(hid::OwnedDescriptor node);
    /// Announces the device; `fd` is its open node, else -1 for a device only listed.
    void announce(hid::DeviceInfo info, int fd);
    void withdraw(const std::string& node);
    /// Forgets that the node failed, waits for rights or cannot be used.
    void forget(const std::string& node);
    const hid::DeviceInfo* listed(const std::string& node) const;
    bool shouldOpen(const hid::DeviceInfo& info) const;
    void retryOpens();
    /// Tries again the boards whose node could not be opened (no permission, busy).
    void retryRefusedOpens();
    void markUnusable(const hid::DeviceProblem& problem);
    /// Looks again at the boards found unusable once.
    void confirmProblems();
    void stopIdleTimers();
    void deviceFailed(HidrawDevice* device);
    void writeCompleted(HidrawDevice* device, const hid::Report& report, bool sent, int error);
    /// Ends the handling of a call thread's outcome: tells when nothing is left to do.
    void outcomeHandled();

    HidrawOptions options_;
    std::shared_ptr<const HidrawBackend> backend_; // shared with the call thread's jobs
    hid::DeviceEvents* events_ = nullptr;
    std::vector<hid::DeviceInfo> known_;           // the last enumeration, unopened nodes too
    std::map<std::string, HidrawDevice*> devices_; // announced; children of this object
    std::vector<PendingOpen> pending_;             // just plugged, waiting for udev's rights
    std::map<std::string, hid::DeviceProblem::Kind> unusable_; // listed boards that cannot be used
    std::set<std::string> unconfirmed_; // of those, the ones not looked at again yet
    std::set<std::string> failed_;      // nodes whose device failed while still listed
    struct OpenUnderway {
        bool nodeLeft = false;   ///< the node left meanwhile: what opens may be the old device
        bool askedAgain = false; ///< asked for again meanwhile: a failure is tried once more
    };
    std::map<std::string, OpenUnderway> opening_; // by node
    bool scanning_ = false;                       // an enumeration is under way
    bool scanAgain_ = false;                      // and another was asked for meanwhile
    bool scanAgainAfterPlug_ = false;
    std::set<std::pair<std::string, hid::DeviceProblem::Kind>> told_; // problems already told
    std::map<std::string, std::set<int>> writeErrorsTold_;            // by node, while announced
    QTimer retryTimer_;
    QTimer rescanTimer_;
    QTimer unusableTimer_;
    QTimer confirmTimer_;
    std::unique_ptr<UdevMonitor> monitor_;
    CallThread calls_{*this};
};

} // namespace hidraw
