#include "hidraw/HidrawScan.h"

#include "hid/CodePage1252.h"

#include <hidapi.h>
#include <map>
#include <set>

namespace hid {
namespace {

bool sameDevice(const DeviceInfo& a, const DeviceInfo& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.serialNumber == b.serialNumber;
}

} // namespace

std::string toWindows1252(const wchar_t* text) {
    if (!text) return {};
    const std::wstring_view wide(text);
    return hid::toWindows1252(std::u32string(wide.begin(), wide.end()));
}

std::vector<DeviceInfo> enumerateHidraw() {
    std::vector<DeviceInfo> devices;
    hid_device_info* const list = hid_enumerate(0, 0);
    std::set<std::string> seen;
    for (const hid_device_info* entry = list; entry; entry = entry->next) {
        // hidapi lists a device once per top-level collection; the node is what counts.
        if (!entry->path || !seen.insert(entry->path).second) continue;
        devices.push_back(DeviceInfo{entry->vendor_id,
                                     entry->product_id,
                                     toWindows1252(entry->manufacturer_string),
                                     toWindows1252(entry->product_string),
                                     toWindows1252(entry->serial_number),
                                     entry->path,
                                     {}});
    }
    hid_free_enumeration(list);
    return devices;
}

ScanDiff diffScans(const std::vector<DeviceInfo>& before, const std::vector<DeviceInfo>& now) {
    std::map<std::string, const DeviceInfo*> previous;
    for (const DeviceInfo& device : before)
        previous.emplace(device.path, &device);
    std::map<std::string, const DeviceInfo*> current;
    for (const DeviceInfo& device : now)
        current.emplace(device.path, &device);

    ScanDiff diff;
    std::set<std::string> listed;
    for (const DeviceInfo& device : before) {
        if (!listed.insert(device.path).second) continue;
        const auto it = current.find(device.path);
        if (it == current.end() || !sameDevice(*previous.at(device.path), *it->second))
            diff.removed.push_back(device.path);
    }
    listed.clear();
    for (const DeviceInfo& device : now) {
        if (!listed.insert(device.path).second) continue;
        const auto it = previous.find(device.path);
        if (it == previous.end() || !sameDevice(*it->second, device))
            diff.arrived.push_back(device);
    }
    return diff;
}

} // namespace hid
