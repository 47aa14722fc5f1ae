#include "hid/DeviceManager.h"

#include "hid/GuiThread.h"
#include "hid/HidEvent.h"

#include <QCoreApplication>
#include <algorithm>

namespace hid {

DeviceManager::DeviceManager(std::size_t queueLimit)
    : queueLimit_(std::max<std::size_t>(queueLimit, 1)) {}

DeviceManager::~DeviceManager() {
    window_ = nullptr;
    sources_.clear();
}

void DeviceManager::addSource(std::unique_ptr<DeviceSource> source) {
    AssertOnGuiThread();
    sources_.push_back(std::move(source));
    sources_.back()->start(*this);
}

void DeviceManager::whenSettled(std::function<void()> callback) {
    settledCallbacks_.push_back(std::move(callback));
    sourceSettled();
}

void DeviceManager::addObserver(ReportObserver& observer) {
    observers_.push_back(&observer);
}

void DeviceManager::removeObserver(ReportObserver& observer) {
    std::erase(observers_, &observer);
}

void DeviceManager::addProblemObserver(DeviceProblemObserver& observer) {
    problemObservers_.push_back(&observer);
}

void DeviceManager::removeProblemObserver(DeviceProblemObserver& observer) {
    std::erase(problemObservers_, &observer);
}

void DeviceManager::addDeviceListObserver(DeviceListObserver& observer) {
    listObservers_.push_back(&observer);
}

void DeviceManager::removeDeviceListObserver(DeviceListObserver& observer) {
    std::erase(listObservers_, &observer);
}

const DeviceInfo* DeviceManager::deviceInfo(Handle handle) const {
    const auto it = attached_.find(handle);
    return it == attached_.end() ? nullptr : &it->second.device->info();
}

std::size_t DeviceManager::queuedReports(Handle handle) const {
    const auto it = attached_.find(handle);
    return it == attached_.end() ? 0 : it->second.queue.size();
}

std::size_t DeviceManager::writesInFlight(Handle handle) const {
    const auto it = attached_.find(handle);
    return it == attached_.end() ? 0 : it->second.writesInFlight;
}

void DeviceManager::cancelQueuedWrites(Handle handle) {
    AssertOnGuiThread();
    if (Attached* device = attached(handle)) device->device->cancelQueuedWrites();
}

bool DeviceManager::Connect(QObject* window) {
    AssertOnGuiThread();
    window_ = window;
    hasReader_ = true;
    for (const auto& [handle, device] : attached_)
        post(HIDEventPlugged, handle);
    post(HIDEventChanged, 0);
    return true;
}

bool DeviceManager::Disconnect() {
    AssertOnGuiThread();
    window_ = nullptr;
    for (auto& [handle, device] : attached_) {
        device.readNotify = false;
        dropQueued(handle, device, device.queue.size());
    }
    return true;
}

int DeviceManager::GetItemCount() {
    AssertOnGuiThread();
    return static_cast<int>(attached_.size());
}

Handle DeviceManager::GetHandle(int vendorId, int productId) {
    const std::vector<Handle> found = handles(vendorId, productId);
    return found.empty() ? 0 : found.front();
}

int DeviceManager::GetVendorID(Handle handle) {
    AssertOnGuiThread();
    const auto it = ids_.find(handle);
    return it == ids_.end() ? 0 : it->second.vendorId;
}

int DeviceManager::GetProductID(Handle handle) {
    AssertOnGuiThread();
    const auto it = ids_.find(handle);
    return it == ids_.end() ? 0 : it->second.productId;
}

bool DeviceManager::GetVendorName(Handle handle, std::span<char> buffer) {
    return copyText(handle, &DeviceInfo::manufacturer, buffer);
}

bool DeviceManager::GetProductName(Handle handle, std::span<char> buffer) {
    return copyText(handle, &DeviceInfo::product, buffer);
}

bool DeviceManager::GetSerialNumber(Handle handle, std::span<char> buffer) {
    return copyText(handle, &DeviceInfo::serialNumber, buffer);
}

bool DeviceManager::SetReadNotify(Handle handle, bool enabled) {
    AssertOnGuiThread();
    Attached* device = attached(handle);
    if (!device) return false;
    device->readNotify = enabled;
    if (!enabled) dropQueued(handle, *device, device->queue.size());
    return true;
}

bool DeviceManager::Read(Handle handle, Report& buffer) {
    AssertOnGuiThread();
    hasReader_ = true;
    Attached* device = attached(handle);
    if (!device || device->queue.empty()) return false;
    buffer = device->queue.front();
    device->queue.pop_front();
    return true;
}

bool DeviceManager::WriteEx(int vendorId, int productId, const Report& buffer) {
    AssertOnGuiThread();
    return write(GetHandle(vendorId, productId), buffer);
}

bool DeviceManager::write(Handle handle, const Report& buffer) {
    AssertOnGuiThread();
    Attached* device = attached(handle);
    if (!device) {
        notify(ReportDirection::Refused, handle, buffer);
        return false;
    }
    switch (device->device->write(buffer)) {
    case WriteResult::Sent:
        notify(ReportDirection::Out, handle, buffer);
        return true;
    case WriteResult::Queued:
        ++attached_.at(handle).writesInFlight;
        return true; // accounted for when writeCompleted tells how it went
    case WriteResult::Refused:
        notify(ReportDirection::Refused, handle, buffer);
        return false;
    case WriteResult::Failed:
        notify(ReportDirection::Failed, handle, buffer);
        return false;
    }
    return false;
}

std::vector<Handle> DeviceManager::handles(int vendorId, int productId) const {
    AssertOnGuiThread();
    std::vector<Handle> found;
    for (const auto& [handle, device] : attached_) {
        const DeviceInfo& info = device.device->info();
        if (info.vendorId == vendorId && info.productId == productId) found.push_back(handle);
    }
    return found;
}

DirectionCounts DeviceManager::reportCounts(Handle handle) const {
    const auto it = handleCounts_.find(handle);
    return it == handleCounts_.end() ? DirectionCounts{} : it->second;
}

void DeviceManager::deviceArrived(Device& device) {
    AssertOnGuiThread();
    const Handle handle = ++lastHandle_;
    attached_.emplace(handle, Attached{&device, false, {}});
    handles_.emplace(&device, handle);
    ids_.emplace(handle, Ids{device.info().vendorId, device.info().productId});
    post(HIDEventPlugged, handle);
    post(HIDEventChanged, 0);
    notifyListChanged();
}

void DeviceManager::deviceRemoved(Device& device) {
    AssertOnGuiThread();
    const auto it = handles_.find(&device);
    if (it == handles_.end()) return;
    const Handle handle = it->second;
    handles_.erase(it);
    Attached& entry = attached_.at(handle);
    dropQueued(handle, entry, entry.queue.size());
    attached_.erase(handle);
    post(HIDEventUnplugged, handle);
    post(HIDEventChanged, 0);
    notifyListChanged();
}

void DeviceManager::reportReceived(Device& device, const Report& report) {
    AssertOnGuiThread();
    const auto it = handles_.find(&device);
    if (it == handles_.end()) return;
    const Handle handle = it->second;
    notify(ReportDirection::In, handle, report);
    Attached& entry = attached_.at(handle);
    if (!entry.readNotify) {
        // Not queued: the observers took it. A reader of the layer never will: for it the
        // report is lost, and accounted for like any other drop.
        if (hasReader_) notify(ReportDirection::Dropped, handle, report);
        return;
    }
    if (entry.queue.size() >= queueLimit_) dropQueued(handle, entry, 1);
    entry.queue.push_back(report);
    post(HIDEventRead, handle);
}

void DeviceManager::reportsLost(Device& device, std::uint64_t count) {
    AssertOnGuiThread();
    reportCounts_[directionIndex(ReportDirection::Dropped)] += count;
    if (const Handle handle = handleOf(device); handle != 0)
        handleCounts_[handle][directionIndex(ReportDirection::Dropped)] += count;
    for (ReportObserver* observer : observers_)
        observer->reportsLost(handleOf(device), count);
}

void DeviceManager::writeCompleted(Device& device, const Report& report, bool sent, int) {
    AssertOnGuiThread();
    if (Attached* entry = attached(handleOf(device)); entry && entry->writesInFlight > 0)
        --entry->writesInFlight;
    notify(sent ? ReportDirection::Out : ReportDirection::Failed, handleOf(device), report);
}

void DeviceManager::deviceUnusable(const DeviceProblem& problem) {
    AssertOnGuiThread();
    for (DeviceProblemObserver* observer : problemObservers_)
        observer->deviceProblem(problem);
}

void DeviceManager::sourceSettled() {
    if (!std::all_of(sources_.begin(), sources_.end(),
                     [](const auto& source) { return source->isSettled(); }))
        return;
    for (const std::function<void()>& callback : std::exchange(settledCallbacks_, {}))
        callback();
}

void DeviceManager::dropQueued(Handle handle, Attached& device, std::size_t count) {
    for (; count > 0 && !device.queue.empty(); --count) {
        notify(ReportDirection::Dropped, handle, device.queue.front());
        device.queue.pop_front();
    }
}

void DeviceManager::post(std::uint32_t code, Handle handle) {
    if (window_) QCoreApplication::postEvent(window_, new HidEvent(code, handle));
}

void DeviceManager::notify(ReportDirection direction, Handle handle, const Report& report) {
    // Counted here, where it is traced, so that the counts and the trace always agree.
    ++reportCounts_[directionIndex(direction)];
    if (handle != 0) ++handleCounts_[handle][directionIndex(direction)];
    for (ReportObserver* observer : observers_)
        observer->record(direction, handle, report);
}

void DeviceManager::notifyListChanged() {
    // An observer may start or end others as it is told (a station starts a board's run, and
    // a run that ends stops observing): each told is one still observing, none twice.
    const std::vector<DeviceListObserver*> told = listObservers_;
    for (DeviceListObserver* observer : told)
        if (std::find(listObservers_.begin(), listObservers_.end(), observer) !=
            listObservers_.end())
            observer->devicesChanged();
}

Handle DeviceManager::handleOf(const Device& device) const {
    const auto it = handles_.find(&device);
    return it == handles_.end() ? 0 : it->second;
}

DeviceManager::Attached* DeviceManager::attached(Handle handle) {
    const auto it = attached_.find(handle);
    return it == attached_.end() ? nullptr : &it->second;
}

bool DeviceManager::copyText(Handle handle, std::string DeviceInfo::*field,
                             std::span<char> buffer) {
    AssertOnGuiThread();
    if (buffer.empty()) return false;
    const Attached* device = attached(handle);
    const std::string text = device ? device->device->info().*field : std::string();
    const std::size_t length = std::min(text.size(), buffer.size() - 1);
    std::copy_n(text.begin(), length, buffer.begin());
    buffer[length] = '\0';
    return device != nullptr;
}

} // namespace hid
