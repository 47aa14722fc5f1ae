#include "hid/HidrawSource.h"

#include "hid/ReportDescriptor.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hid {
namespace {

// udevd creates this socket when it runs; without it the monitor hears nothing.
constexpr const char* UdevControl = "/run/udev/control";

// The only report format the console drives: 32 bytes each way, no report id.
constexpr int BoardReportBytes = static_cast<int>(HidrawDevice::InputReportSize);

bool udevRunning() {
    return ::access(UdevControl, F_OK) == 0;
}

int describeNode(int fd, NodeDetails& details) {
    hidraw_devinfo info{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0) return -errno;
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0) return -errno;
    hidraw_report_descriptor descriptor{};
    descriptor.size = static_cast<std::uint32_t>(std::clamp(size, 0, HID_MAX_DESCRIPTOR_SIZE));
    if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0) return -errno;
    details.vendorId = static_cast<std::uint16_t>(info.vendor);
    details.productId = static_cast<std::uint16_t>(info.product);
    details.reportDescriptor.assign(descriptor.value, descriptor.value + descriptor.size);
    return 0;
}

} // namespace

HidrawBackend HidrawBackend::system() {
    HidrawBackend backend;
    backend.enumerate = enumerateHidraw;
    backend.open = [](const std::string& node) {
        const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    };
    backend.describe = describeNode;
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
        bool changed = false;
        bool lost = false;
        // The monitor's socket is non-blocking: this takes what is there and returns.
        for (;;) {
            errno = 0;
            udev_device* device = udev_monitor_receive_device(monitor_);
            if (!device) {
                // The socket overflowed: events were lost, so the enumeration has to tell.
                if (errno == ENOBUFS) {
                    lost = true;
                    continue;
                }
                if (errno == EINTR) continue;
                break;
            }
            const char* action = udev_device_get_action(device);
            const char* node = udev_device_get_devnode(device);
            if (action && std::strcmp(action, "remove") == 0) {
                if (node) source_.removeNode(node);
            } else if (action && std::strcmp(action, "add") == 0) {
                arrived = true;
            } else if (action && std::strcmp(action, "change") == 0) {
                changed = true; // udevadm trigger: the node's rights may be new
            }
            udev_device_unref(device);
        }
        // hidapi reads the new device's details from sysfs, which is complete by now.
        if (arrived || lost)
            source_.rescan();
        else if (changed)
            source_.retryUnopened();
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
    rescanTimer_.setTimerType(Qt::PreciseTimer); // never more often than asked
    connect(&rescanTimer_, &QTimer::timeout, this, &HidrawSource::rescan);
    unusableTimer_.setInterval(options_.rescanInterval);
    connect(&unusableTimer_, &QTimer::timeout, this, &HidrawSource::retryUnopened);
}

HidrawSource::~HidrawSource() {
    retryTimer_.stop();
    rescanTimer_.stop();
    unusableTimer_.stop();
    monitor_.reset();
    // The devices are children and let go of their nodes as they go; the layer is going away
    // too, so nothing is announced.
}

void HidrawSource::start(DeviceEvents& events) {
    events_ = &events;
    // The monitor comes first, so nothing plugged during the first enumeration is missed.
    using Hotplug = HidrawOptions::Hotplug;
    if (options_.hotplug == Hotplug::UdevMonitor ||
        (options_.hotplug == Hotplug::Auto && udevRunning()))
        monitor_ = UdevMonitor::create(*this);
    if (options_.hotplug == Hotplug::Rescan || (options_.hotplug == Hotplug::Auto && !monitor_)) {
        rescanTimer_.setInterval(options_.rescanInterval);
        rescanTimer_.start();
    } else if (options_.hotplug == Hotplug::Auto) {
        rescanTimer_.setInterval(options_.safetyRescanInterval);
        rescanTimer_.start();
    }
    applyScan(backend_.enumerate(), false);
}

void HidrawSource::rescan() {
    if (events_) applyScan(backend_.enumerate(), true);
}

void HidrawSource::removeNode(const std::string& node) {
    withdraw(node);
    std::erase_if(known_, [&](const DeviceInfo& info) { return info.path == node; });
}

HidrawDevice* HidrawSource::device(const std::string& node) const {
    const auto it = devices_.find(node);
    return it == devices_.end() ? nullptr : it->second;
}

void HidrawSource::applyScan(std::vector<DeviceInfo> now, bool afterPlug) {
    const ScanDiff diff = diffScans(known_, now);
    known_ = std::move(now);
    for (const std::string& node : diff.removed)
        withdraw(node);
    // Before the arrivals, so that a board that just failed to open is not tried twice.
    retryUnopened();
    for (const DeviceInfo& info : diff.arrived)
        arrive(info, afterPlug);
}

void HidrawSource::arrive(const DeviceInfo& info, bool afterPlug) {
    if (!shouldOpen(info)) {
        announce(info, -1);
        return;
    }
    const OpenAttempt attempt = openBoard(info);
    if (attempt.fd >= 0) {
        DeviceInfo board = info;
        board.format = attempt.format;
        announce(std::move(board), attempt.fd);
    } else if (afterPlug && attempt.openError != 0 && options_.openRetries > 0) {
        // Right after a plug udev may not have set the node's rights yet.
        pending_.push_back(PendingOpen{info.path, options_.openRetries});
        retryTimer_.start();
    } else {
        markUnusable(attempt.problem);
    }
}

HidrawSource::OpenAttempt HidrawSource::openBoard(const DeviceInfo& info) const {
    OpenAttempt attempt;
    const int fd = backend_.open(info.path);
    if (fd < 0) {
        attempt.openError = -fd;
        attempt.problem = openProblem(info.path, -fd);
        return attempt;
    }
    // The node may have been freed and taken by another device since the enumeration.
    NodeDetails details;
    ReportDescriptor descriptor;
    std::string error;
    if (const int result = backend_.describe(fd, details); result < 0) {
        attempt.problem = describeProblem(info.path, -result);
    } else if (details.vendorId != info.vendorId || details.productId != info.productId) {
        attempt.problem = identityProblem(info.path, info.vendorId, info.productId,
                                          details.vendorId, details.productId);
    } else if (!ReportDescriptor::parse(details.reportDescriptor, descriptor, error)) {
        attempt.problem =
            formatProblem(info.path, "a report descriptor the console cannot read (" + error + ")");
    } else if (const DeviceInfo::ReportFormat format = descriptor.format();
               format.usesReportIds || format.inputReportSize != BoardReportBytes ||
               format.outputReportSize != BoardReportBytes) {
        attempt.problem = formatProblem(info.path, describeFormat(format));
    } else {
        attempt.fd = fd;
        attempt.format = format;
        return attempt;
    }
    ::close(fd);
    return attempt;
}

void HidrawSource::announce(DeviceInfo info, int fd) {
    auto* device = new HidrawDevice(std::move(info), this);
    if (fd >= 0 && !device->attach(fd, backend_.calls)) {
        const std::string node = device->info().path;
        delete device;
        markUnusable(openProblem(node, EMFILE));
        return;
    }
    connect(device, &HidrawDevice::reportReceived, this,
            [this, device](const Report& report) { events_->reportReceived(*device, report); });
    connect(device, &HidrawDevice::reportsLost, this,
            [this, device](quint64 count) { events_->reportsLost(*device, count); });
    connect(device, &HidrawDevice::writeCompleted, this,
            [this, device](const Report& report, bool sent, int error) {
                writeCompleted(device, report, sent, error);
            });
    connect(device, &HidrawDevice::failed, this, [this, device] { deviceFailed(device); });
    devices_[device->info().path] = device;
    events_->deviceArrived(*device);
}

void HidrawSource::withdraw(const std::string& node) {
    std::erase_if(pending_, [&](const PendingOpen& open) { return open.node == node; });
    unusable_.erase(node);
    failed_.erase(node);
    if (unusable_.empty()) unusableTimer_.stop();
    const auto it = devices_.find(node);
    if (it == devices_.end()) return;
    HidrawDevice* const device = it->second;
    // Closing hands over what the device still holds, while the layer still knows it.
    device->close();
    devices_.erase(it);
    writeErrorsTold_.erase(node);
    events_->deviceRemoved(*device);
    // Possibly called from the device's own signal: delete it from the event loop.
    device->deleteLater();
}

const DeviceInfo* HidrawSource::listed(const std::string& node) const {
    const auto it = std::find_if(known_.begin(), known_.end(),
                                 [&](const DeviceInfo& info) { return info.path == node; });
    return it == known_.end() ? nullptr : &*it;
}

bool HidrawSource::shouldOpen(const DeviceInfo& info) const {
    return std::any_of(options_.openIds.begin(), options_.openIds.end(), [&](const auto& ids) {
        return ids.first == info.vendorId && ids.second == info.productId;
    });
}

void HidrawSource::retryOpens() {
    std::vector<PendingOpen> still;
    for (PendingOpen& open : std::exchange(pending_, {})) {
        const DeviceInfo* info = listed(open.node);
        if (!info) continue;
        const OpenAttempt attempt = openBoard(*info);
        if (attempt.fd >= 0) {
            DeviceInfo board = *info;
            board.format = attempt.format;
            announce(std::move(board), attempt.fd);
        } else if (attempt.openError != 0 && --open.attemptsLeft > 0) {
            still.push_back(open);
        } else {
            markUnusable(attempt.problem);
        }
    }
    pending_ = std::move(still);
    if (pending_.empty()) retryTimer_.stop();
}

void HidrawSource::retryUnopened() {
    std::vector<std::string> nodes;
    for (const auto& [node, kind] : unusable_)
        nodes.push_back(node);
    nodes.insert(nodes.end(), failed_.begin(), failed_.end());
    for (const PendingOpen& open : pending_)
        nodes.push_back(open.node);
    const auto forget = [this](const std::string& node) {
        unusable_.erase(node);
        failed_.erase(node);
        std::erase_if(pending_, [&](const PendingOpen& open) { return open.node == node; });
    };
    for (const std::string& node : nodes) {
        const DeviceInfo* info = listed(node);
        if (!info) {
            forget(node);
            continue;
        }
        const OpenAttempt attempt = openBoard(*info);
        if (attempt.fd >= 0) {
            forget(node);
            DeviceInfo board = *info;
            board.format = attempt.format;
            announce(std::move(board), attempt.fd);
        } else if (unusable_.count(node)) {
            markUnusable(attempt.problem);
        }
        // A failed device's node lingers in sysfs for a moment after an unplug, and a node
        // just plugged may wait for udev: their opens failing is expected and not told.
    }
    if (unusable_.empty()) unusableTimer_.stop();
    if (pending_.empty()) retryTimer_.stop();
}

void HidrawSource::markUnusable(const DeviceProblem& problem) {
    unusable_[problem.node] = problem.kind;
    // Fixing a node's mode makes no udev event: while the monitor stands in for re-scans, try
    // such boards on a timer of their own.
    if (monitor_) unusableTimer_.start();
    if (!told_.insert({problem.node, problem.kind}).second) return;
    // Told from the event loop, so that observers added right after the source (the window,
    // built once the boards present at start are known) hear of boards found at start too.
    QMetaObject::invokeMethod(
        this,
        [this, problem] {
            backend_.warn(warningLine(problem));
            events_->deviceUnusable(problem);
        },
        Qt::QueuedConnection);
}

void HidrawSource::deviceFailed(HidrawDevice* device) {
    const std::string node = device->info().path;
    if (this->device(node) != device) return;
    withdraw(node);
    if (listed(node)) failed_.insert(node);
}

void HidrawSource::writeCompleted(HidrawDevice* device, const Report& report, bool sent,
                                  int error) {
    events_->writeCompleted(*device, report, sent, error);
    // Unplugs and closes tell of themselves; any other error leaves the board attached, and
    // is told once per kind while the board stays.
    if (sent || error == ENODEV || error == ESHUTDOWN || error == ECANCELED) return;
    const std::string& node = device->info().path;
    if (!devices_.count(node) || !writeErrorsTold_[node].insert(error).second) return;
    backend_.warn("zov-usb-test: a report to the board at " + node +
                  " could not be written: " + std::strerror(error) + "; the board stays attached");
}

} // namespace hid
