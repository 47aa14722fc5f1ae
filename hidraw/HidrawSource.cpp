#include "hidraw/HidrawSource.h"

#include "hidraw/HidrawScan.h"
#include "hidraw/NodeProblems.h"
#include "hidraw/UdevMonitor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace hidraw {
namespace {

// udevd creates this socket when it runs; without it the monitor hears nothing.
constexpr const char* UdevControl = "/run/udev/control";

bool udevRunning() {
    return ::access(UdevControl, F_OK) == 0;
}

// open(2) errors that mean the node went away between being listed and being opened: an
// unplug, not a problem to tell.
bool nodeVanished(int openError) {
    return openError == ENOENT || openError == ENODEV || openError == ENXIO;
}

// Problems that open(2) itself answers, before the device's driver is reached: trying such a
// node again costs nothing, and fixing them (a node's mode changed by hand) makes no event.
bool refusedBeforeTheDriver(hid::DeviceProblem::Kind kind) {
    return kind == hid::DeviceProblem::Kind::NoPermission || kind == hid::DeviceProblem::Kind::Busy;
}

} // namespace

HidrawSource::HidrawSource(HidrawOptions options, HidrawBackend backend)
    : options_(std::move(options)),
      backend_(std::make_shared<const HidrawBackend>(std::move(backend))) {
    retryTimer_.setInterval(options_.openRetryInterval);
    connect(&retryTimer_, &QTimer::timeout, this, &HidrawSource::retryOpens);
    rescanTimer_.setTimerType(Qt::PreciseTimer); // never more often than asked
    connect(&rescanTimer_, &QTimer::timeout, this, &HidrawSource::rescan);
    unusableTimer_.setInterval(options_.rescanInterval);
    connect(&unusableTimer_, &QTimer::timeout, this, &HidrawSource::retryRefusedOpens);
    confirmTimer_.setSingleShot(true);
    confirmTimer_.setInterval(options_.confirmInterval);
    connect(&confirmTimer_, &QTimer::timeout, this, &HidrawSource::confirmProblems);
}

HidrawSource::~HidrawSource() {
    retryTimer_.stop();
    rescanTimer_.stop();
    unusableTimer_.stop();
    confirmTimer_.stop();
    monitor_.reset();
    // The layer still listens: closing each device tells it what became of the reports the
    // device still holds (those written meanwhile as sent, the rest as failed), so that every
    // report is accounted for when the program ends. No removal is announced.
    for (const auto& [node, device] : devices_)
        device->close();
    // The call thread goes first (the last member), dropping what it had not handed back;
    // the devices are children and are deleted with this object.
}

void HidrawSource::start(hid::DeviceEvents& events) {
    events_ = &events;
    // The monitor comes first, so nothing plugged during the first enumeration is missed.
    using Hotplug = HidrawOptions::Hotplug;
    if (options_.hotplug == Hotplug::UdevMonitor ||
        (options_.hotplug == Hotplug::Auto && udevRunning()))
        monitor_ = UdevMonitor::create({
            .removed = [this](const std::string& node) { removeNode(node); },
            // hidapi reads a new device's details from sysfs, which is complete by now.
            .arrivedOrLost = [this] { rescan(); },
            .changed = [this] { retryUnopened(); },
        });
    if (options_.hotplug == Hotplug::Rescan || (options_.hotplug == Hotplug::Auto && !monitor_)) {
        rescanTimer_.setInterval(options_.rescanInterval);
        rescanTimer_.start();
    } else if (options_.hotplug == Hotplug::Auto) {
        rescanTimer_.setInterval(options_.safetyRescanInterval);
        rescanTimer_.start();
    }
    requestScan(false);
}

void HidrawSource::rescan() {
    if (events_) requestScan(true);
}

void HidrawSource::removeNode(const std::string& node) {
    // A board held open tells of its own removal: the kernel hangs up its open node before
    // it reports the removal. udev's report can come so late that a scan has found the next
    // board on the node meanwhile, which has to stay.
    if (const HidrawDevice* board = device(node); board && board->isOpen()) return;
    withdraw(node);
    std::erase_if(known_, [&](const hid::DeviceInfo& info) { return info.path == node; });
}

HidrawDevice* HidrawSource::device(const std::string& node) const {
    const auto it = devices_.find(node);
    return it == devices_.end() ? nullptr : it->second;
}

void HidrawSource::requestScan(bool afterPlug) {
    if (scanning_) {
        // One enumeration after the one under way sees everything that changed meanwhile.
        scanAgain_ = true;
        scanAgainAfterPlug_ = scanAgainAfterPlug_ || afterPlug;
        return;
    }
    scanning_ = true;
    calls_.run([this, backend = backend_, afterPlug]() -> std::function<void()> {
        auto now = std::make_shared<std::vector<hid::DeviceInfo>>(backend->enumerate());
        for (hid::DeviceInfo& device : *now)
            device.port = backend->usbPort(device.path);
        return [this, now, afterPlug] { scanned(std::move(*now), afterPlug); };
    });
}

void HidrawSource::scanned(std::vector<hid::DeviceInfo> now, bool afterPlug) {
    scanning_ = false;
    const ScanDiff diff = diffScans(known_, now);
    known_ = std::move(now);
    for (const std::string& node : diff.removed)
        withdraw(node);
    retryUnopened();
    for (const hid::DeviceInfo& info : diff.arrived) {
        if (shouldOpen(info))
            requestOpen(info, afterPlug ? OpenReason::Plugged : OpenReason::Arrival);
        else
            announce(info, -1);
    }
    if (std::exchange(scanAgain_, false)) requestScan(std::exchange(scanAgainAfterPlug_, false));
    outcomeHandled();
}

void HidrawSource::requestOpen(const hid::DeviceInfo& info, OpenReason reason) {
    // One open of a node at a time: a second would find the node busy, or open it twice. The
    // open under way may have begun before what made this one be asked for (rights given).
    if (const auto [underway, first] = opening_.try_emplace(info.path); !first) {
        underway->second.askedAgain = true;
        return;
    }
    calls_.run([this, backend = backend_, info, reason]() -> std::function<void()> {
        auto opening = std::make_shared<BoardOpening>(openBoard(*backend, info));
        return [this, info, reason, opening] { opened(info, reason, *opening); };
    });
}

void HidrawSource::opened(const hid::DeviceInfo& info, OpenReason reason, BoardOpening& opening) {
    const auto underway = opening_.find(info.path);
    const OpenUnderway was = underway->second;
    opening_.erase(underway);
    const hid::DeviceInfo* now = listed(info.path);
    if (was.nodeLeft || !now) {
        // What was opened may be the device that left; one listed now is opened anew.
        discard(std::move(opening.node));
        if (now && shouldOpen(*now)) requestOpen(*now, OpenReason::Plugged);
    } else if (opening.node.valid()) {
        forget(info.path);
        hid::DeviceInfo board = *now;
        board.format = opening.format;
        announce(std::move(board), opening.node.release());
    } else {
        openFailed(info.path, reason, opening);
        if (was.askedAgain) requestOpen(*now, OpenReason::Recheck);
    }
    stopIdleTimers();
    outcomeHandled();
}

void HidrawSource::openFailed(const std::string& node, OpenReason reason,
                              const BoardOpening& opening) {
    if (nodeVanished(opening.openError)) {
        // Unplugged meanwhile: what it was found to be is forgotten, and the node tried again
        // quietly, as a new plug, should it still be listed.
        forget(node);
        failed_.insert(node);
        return;
    }
    switch (reason) {
    case OpenReason::Arrival:
        markUnusable(opening.problem);
        break;
    case OpenReason::Plugged:
        // Right after a plug udev may not have set the node's rights yet.
        if (opening.openError != 0 && options_.openRetries > 0) {
            failed_.erase(node); // the retries decide now
            if (std::none_of(pending_.begin(), pending_.end(),
                             [&](const PendingOpen& open) { return open.node == node; }))
                pending_.push_back(PendingOpen{node, options_.openRetries});
            retryTimer_.start();
        } else {
            markUnusable(opening.problem);
        }
        break;
    case OpenReason::Retry: {
        const auto it = std::find_if(pending_.begin(), pending_.end(),
                                     [&](const PendingOpen& open) { return open.node == node; });
        if (it == pending_.end()) break; // forgotten meanwhile
        if (opening.openError != 0 && --it->attemptsLeft > 0) break;
        pending_.erase(it);
        markUnusable(opening.problem);
        break;
    }
    case OpenReason::Recheck:
        // A node just plugged may wait for udev: its open failing is expected and not told.
        if (unusable_.count(node)) markUnusable(opening.problem);
        break;
    }
}

void HidrawSource::discard(hid::OwnedDescriptor node) {
    if (!node.valid()) return;
    calls_.run([node = std::make_shared<hid::OwnedDescriptor>(std::move(node))]() mutable {
        node->reset(); // closed here, off the GUI thread
        return std::function<void()>();
    });
}

void HidrawSource::announce(hid::DeviceInfo info, int fd) {
    auto* device = new HidrawDevice(std::move(info), this);
    if (fd >= 0 && !device->attach(fd, backend_->calls)) {
        const std::string node = device->info().path;
        delete device;
        markUnusable(openProblem(node, EMFILE));
        return;
    }
    connect(device, &HidrawDevice::reportReceived, this, [this, device](const hid::Report& report) {
        events_->reportReceived(*device, report);
    });
    connect(device, &HidrawDevice::reportsLost, this,
            [this, device](quint64 count) { events_->reportsLost(*device, count); });
    connect(device, &HidrawDevice::writeCompleted, this,
            [this, device](const hid::Report& report, bool sent, int error) {
                writeCompleted(device, report, sent, error);
            });
    connect(device, &HidrawDevice::failed, this, [this, device] { deviceFailed(device); });
    devices_[device->info().path] = device;
    events_->deviceArrived(*device);
}

void HidrawSource::withdraw(const std::string& node) {
    forget(node);
    if (const auto it = opening_.find(node); it != opening_.end()) it->second.nodeLeft = true;
    stopIdleTimers();
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

void HidrawSource::forget(const std::string& node) {
    unusable_.erase(node);
    unconfirmed_.erase(node);
    failed_.erase(node);
    std::erase_if(pending_, [&](const PendingOpen& open) { return open.node == node; });
}

const hid::DeviceInfo* HidrawSource::listed(const std::string& node) const {
    const auto it = std::find_if(known_.begin(), known_.end(),
                                 [&](const hid::DeviceInfo& info) { return info.path == node; });
    return it == known_.end() ? nullptr : &*it;
}

bool HidrawSource::shouldOpen(const hid::DeviceInfo& info) const {
    return std::any_of(options_.openIds.begin(), options_.openIds.end(), [&](const auto& ids) {
        return ids.first == info.vendorId && ids.second == info.productId;
    });
}

void HidrawSource::retryOpens() {
    std::erase_if(pending_, [this](const PendingOpen& open) { return !listed(open.node); });
    // A node whose last try is still under way (an open slower than the retry interval) waits
    // for the next tick: asked again now, it would be tried once more outside the count of
    // retries, and a node whose every open is slow would be tried for ever and never told.
    for (const PendingOpen& open : pending_)
        if (!opening_.count(open.node)) requestOpen(*listed(open.node), OpenReason::Retry);
    stopIdleTimers();
}

void HidrawSource::retryUnopened() {
    std::vector<std::pair<std::string, OpenReason>> nodes;
    // A node whose device failed but that is still listed was most likely plugged in again
    // between two looks (no udev, or its events lost): it is opened as a new plug, so that a
    // board that comes back unusable is told like any other.
    for (const std::string& node : failed_)
        nodes.emplace_back(node, OpenReason::Plugged);
    for (const auto& [node, kind] : unusable_)
        nodes.emplace_back(node, OpenReason::Recheck);
    for (const PendingOpen& open : pending_)
        nodes.emplace_back(open.node, OpenReason::Recheck);
    // An open under way may fail for what has just been put right: it is tried once more.
    for (const auto& [node, underway] : opening_)
        nodes.emplace_back(node, OpenReason::Recheck);
    for (const auto& [node, reason] : nodes) {
        if (const hid::DeviceInfo* info = listed(node))
            requestOpen(*info, reason);
        else
            forget(node);
    }
    stopIdleTimers();
}

void HidrawSource::retryRefusedOpens() {
    for (const auto& [node, kind] : unusable_)
        if (const hid::DeviceInfo* info = listed(node); info && refusedBeforeTheDriver(kind))
            requestOpen(*info, OpenReason::Recheck);
    stopIdleTimers();
}

void HidrawSource::stopIdleTimers() {
    if (std::none_of(unusable_.begin(), unusable_.end(),
                     [](const auto& entry) { return refusedBeforeTheDriver(entry.second); }))
        unusableTimer_.stop();
    if (pending_.empty()) retryTimer_.stop();
}

void HidrawSource::markUnusable(const hid::DeviceProblem& problem) {
    // Unusable at the look before as well, or only now: perhaps in passing.
    const bool seenBefore = unusable_.count(problem.node) > 0;
    unusable_[problem.node] = problem.kind;
    failed_.erase(problem.node);
    // Fixing a node's mode makes no udev event: while the monitor stands in for re-scans, try
    // such boards on a timer of their own. A board refused for its ids or its format is opened
    // only on udev events and re-scans, as each open wakes the USB device.
    if (monitor_ && refusedBeforeTheDriver(problem.kind)) unusableTimer_.start();
    if (!seenBefore) {
        unconfirmed_.insert(problem.node);
        if (!confirmTimer_.isActive()) confirmTimer_.start();
        return;
    }
    unconfirmed_.erase(problem.node);
    if (!told_.insert({problem.node, problem.kind}).second) return;
    // Told from the event loop, so that observers added right after the source (the window,
    // built once the boards present at start are known) hear of boards found at start too.
    QMetaObject::invokeMethod(
        this,
        [this, problem] {
            backend_->warn(warningLine(problem));
            events_->deviceUnusable(problem);
        },
        Qt::QueuedConnection);
}

void HidrawSource::confirmProblems() {
    const std::set<std::string> nodes = unconfirmed_;
    for (const std::string& node : nodes) {
        if (const hid::DeviceInfo* info = listed(node))
            requestOpen(*info, OpenReason::Recheck);
        else
            forget(node);
    }
    outcomeHandled();
}

void HidrawSource::deviceFailed(HidrawDevice* device) {
    const std::string node = device->info().path;
    if (this->device(node) != device) return;
    withdraw(node);
    if (listed(node)) failed_.insert(node);
}

void HidrawSource::writeCompleted(HidrawDevice* device, const hid::Report& report, bool sent,
                                  int error) {
    events_->writeCompleted(*device, report, sent, error);
    // Unplugs and closes tell of themselves; any other error leaves the board attached, and
    // is told once per kind while the board stays.
    if (sent || error == ENODEV || error == ESHUTDOWN || error == ECANCELED) return;
    const std::string& node = device->info().path;
    if (!devices_.count(node) || !writeErrorsTold_[node].insert(error).second) return;
    backend_->warn("zov-usb-test: a report to the board at " + node +
                   " could not be written: " + std::strerror(error) + "; the board stays attached");
}

void HidrawSource::outcomeHandled() {
    if (isSettled()) events_->sourceSettled();
}

} // namespace hidraw
