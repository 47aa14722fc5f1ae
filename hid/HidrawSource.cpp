#include "hid/HidrawSource.h"

#include "hid/HidrawDevice.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

namespace hid {
namespace {

// udevd creates this socket when it runs; without it the monitor hears nothing.
constexpr const char* UdevControl = "/run/udev/control";

bool udevRunning() {
    return ::access(UdevControl, F_OK) == 0;
}

bool isPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

} // namespace

std::string permissionMessage(const std::string& node) {
    return "zov-usb-test: no permission to open the board's device node " + node +
           "; install the udev rule " + UdevRuleFile +
           " (the package puts it in /usr/lib/udev/rules.d, or copy it to /etc/udev/rules.d),"
           " run \"sudo udevadm control --reload-rules && sudo udevadm trigger\" and plug the"
           " board in again";
}

HidrawBackend HidrawBackend::system() {
    HidrawBackend backend;
    backend.enumerate = enumerateHidraw;
    backend.open = [](const std::string& node) {
        const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    };
    backend.warn = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    return backend;
}

/// libudev's monitor on the "udev" source (events after udev's rules have run, so the node's
/// permissions are set), subsystem hidraw, watched on the GUI thread.
class HidrawSource::UdevMonitor {
public:
    static std::unique_ptr<UdevMonitor> create(HidrawSource& source) {
        udev* context = udev_new();
        if (!context) return nullptr;
        udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
        if (!monitor ||
            udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor) < 0) {
            if (monitor) udev_monitor_unref(monitor);
            udev_unref(context);
            return nullptr;
        }
        return std::unique_ptr<UdevMonitor>(new UdevMonitor(source, context, monitor));
    }

    ~UdevMonitor() {
        notifier_.setEnabled(false);
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
    }

private:
    UdevMonitor(HidrawSource& source, udev* context, udev_monitor* monitor)
        : source_(source), udev_(context), monitor_(monitor),
          notifier_(udev_monitor_get_fd(monitor), QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { receive(); });
    }

    void receive() {
        bool arrived = false;
        // The monitor's socket is non-blocking: this takes what is there and returns.
        while (udev_device* device = udev_monitor_receive_device(monitor_)) {
            const char* action = udev_device_get_action(device);
            const char* node = udev_device_get_devnode(device);
            if (action && std::strcmp(action, "remove") == 0) {
                if (node) source_.removeNode(node);
            } else if (action && std::strcmp(action, "add") == 0) {
                arrived = true;
            }
            udev_device_unref(device);
        }
        // hidapi reads the new device's details from sysfs, which is complete by now.
        if (arrived) source_.rescan();
    }

    HidrawSource& source_;
    udev* udev_;
    udev_monitor* monitor_;
    QSocketNotifier notifier_;
};

HidrawSource::HidrawSource(HidrawOptions options, HidrawBackend backend)
    : options_(std::move(options)), backend_(std::move(backend)) {
    retryTimer_.setInterval(options_.openRetryInterval);
    connect(&retryTimer_, &QTimer::timeout, this, &HidrawSource::retryOpens);
    rescanTimer_.setInterval(options_.rescanInterval);
    rescanTimer_.setTimerType(Qt::PreciseTimer); // never more often than asked
    connect(&rescanTimer_, &QTimer::timeout, this, &HidrawSource::rescan);
}

HidrawSource::~HidrawSource() {
    retryTimer_.stop();
    rescanTimer_.stop();
    monitor_.reset();
    // The devices are children and close their nodes as they go; the layer is going away
    // too, so nothing is announced.
}

void HidrawSource::start(DeviceEvents& events) {
    events_ = &events;
    // The monitor comes first, so nothing plugged during the first enumeration is missed.
    using Hotplug = HidrawOptions::Hotplug;
    if (options_.hotplug == Hotplug::UdevMonitor ||
        (options_.hotplug == Hotplug::Auto && udevRunning()))
        monitor_ = UdevMonitor::create(*this);
    if (options_.hotplug == Hotplug::Rescan || (options_.hotplug == Hotplug::Auto && !monitor_))
        rescanTimer_.start();
    applyScan(backend_.enumerate(), false);
}

void HidrawSource::rescan() {
    if (events_) applyScan(backend_.enumerate(), true);
}

void HidrawSource::removeNode(const std::string& node) {
    withdraw(node);
    failed_.erase(node);
    std::erase_if(known_, [&](const DeviceInfo& info) { return info.path == node; });
}

HidrawDevice* HidrawSource::device(const std::string& node) const {
    const auto it = devices_.find(node);
    return it == devices_.end() ? nullptr : it->second;
}

void HidrawSource::applyScan(std::vector<DeviceInfo> now, bool afterPlug) {
    const ScanDiff diff = diffScans(known_, now);
    known_ = std::move(now);
    for (const std::string& node : diff.removed) {
        withdraw(node);
        failed_.erase(node);
    }
    for (const DeviceInfo& info : diff.arrived)
        announce(info, afterPlug);

    // A device that failed is not announced again while its node is listed, since the node
    // lingers in sysfs for a moment after an unplug. A board plugged in again between two
    // re-scans gets the same node and details, though: an open that succeeds tells it apart.
    for (auto it = failed_.begin(); it != failed_.end();) {
        const auto listed = std::find_if(known_.begin(), known_.end(),
                                         [&](const DeviceInfo& info) { return info.path == *it; });
        if (listed == known_.end()) {
            it = failed_.erase(it);
            continue;
        }
        const int fd = backend_.open(*it);
        if (fd >= 0) {
            it = failed_.erase(it);
            announce(*listed, afterPlug, fd);
            continue;
        }
        ++it;
    }
}

void HidrawSource::announce(const DeviceInfo& info, bool afterPlug, int fd) {
    auto* device = new HidrawDevice(info, this);
    connect(device, &HidrawDevice::reportReceived, this,
            [this, device](const Report& report) { events_->reportReceived(*device, report); });
    connect(device, &HidrawDevice::failed, this, [this, device] { deviceFailed(device); });
    devices_[info.path] = device;

    if (fd >= 0) {
        device->attach(fd);
    } else if (shouldOpen(info)) {
        int error = 0;
        if (!tryOpen(*device, error)) {
            if (afterPlug && options_.openRetries > 0) {
                pending_.push_back(PendingOpen{info.path, options_.openRetries});
                retryTimer_.start();
            } else {
                giveUp(info.path, error);
            }
        }
    }
    events_->deviceArrived(*device);
}

void HidrawSource::withdraw(const std::string& node) {
    std::erase_if(pending_, [&](const PendingOpen& open) { return open.node == node; });
    const auto it = devices_.find(node);
    if (it == devices_.end()) return;
    HidrawDevice* const device = it->second;
    devices_.erase(it);
    device->close();
    events_->deviceRemoved(*device);
    // Possibly called from the device's own notifier: delete it from the event loop.
    device->deleteLater();
}

bool HidrawSource::shouldOpen(const DeviceInfo& info) const {
    return std::any_of(options_.openIds.begin(), options_.openIds.end(), [&](const auto& ids) {
        return ids.first == info.vendorId && ids.second == info.productId;
    });
}

bool HidrawSource::tryOpen(HidrawDevice& device, int& error) {
    const int fd = backend_.open(device.info().path);
    if (fd < 0) {
        error = -fd;
        return false;
    }
    device.attach(fd);
    return true;
}

void HidrawSource::retryOpens() {
    std::vector<PendingOpen> still;
    for (PendingOpen& open : pending_) {
        HidrawDevice* const device = this->device(open.node);
        if (!device) continue;
        int error = 0;
        if (tryOpen(*device, error)) continue;
        if (--open.attemptsLeft > 0)
            still.push_back(open);
        else
            giveUp(open.node, error);
    }
    pending_ = std::move(still);
    if (pending_.empty()) retryTimer_.stop();
}

void HidrawSource::giveUp(const std::string& node, int error) {
    if (!warned_.insert(node).second) return;
    backend_.warn(isPermissionError(error) ? permissionMessage(node)
                                           : "zov-usb-test: cannot open the board's device node " +
                                                 node + ": " + std::strerror(error));
}

void HidrawSource::deviceFailed(HidrawDevice* device) {
    const std::string node = device->info().path;
    if (this->device(node) != device) return;
    withdraw(node);
    failed_.insert(node);
}

} // namespace hid
