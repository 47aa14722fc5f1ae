#include "hidraw/HidrawScan.h"

#include "hid/CodePage1252.h"

#include <hidapi.h>
#include <map>
#include <set>

namespace hidraw {
namespace {

bool sameDevice(const hid::DeviceInfo& a, const hid::DeviceInfo& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.serialNumber == b.serialNumber;
}

} // namespace

std::string toWindows1252(const wchar_t* text) {
    if (!text) return {};
    const std::wstring_view wide(text);
    return hid::toWindows1252(std::u32string(wide.begin(), wide.end()));
}

std::vector<hid::DeviceInfo> enumerateHidraw() {
    std::vector<hid::DeviceInfo> devices;
    hid_device_info* const list = hid_enumerate(0, 0);
    std::set<std::string> seen;
    for (const hid_device_info* entry = list; entry; entry = entry->next) {
        // hidapi lists a device once per top-level collection; the node is what counts.
        if (!entry->path || !seen.insert(entry->path).second) continue;
        devices.push_back(hid::DeviceInfo{entry->vendor_id,
                                          entry->product_id,
                                          toWindows1252(entry->manufacturer_string),
                                          toWindows1252(entry->product_string),
                                          toWindows1252(entry->serial_number),
                                          entry->path,
                                          {},
                                          {}});
    }
    hid_free_enumeration(list);
    return devices;
}

ScanDiff diffScans(const std::vector<hid::DeviceInfo>& before,
                   const std::vector<hid::DeviceInfo>& now) {
    std::map<std::string, const hid::DeviceInfo*> previous;
    for (const hid::DeviceInfo& device : before)
        previous.emplace(device.path, &device);
    std::map<std::string, const hid::DeviceInfo*> current;
    for (const hid::DeviceInfo& device : now)
        current.emplace(device.path, &device);

    ScanDiff diff;
    std::set<std::string> listed;
    for (const hid::DeviceInfo& device : before) {
        if (!listed.insert(device.path).second) continue;
        const auto it = current.find(device.path);
        if (it == current.end() || !sameDevice(*previous.at(device.path), *it->second))
            diff.removed.push_back(device.path);
    }
    listed.clear();
    for (const hid::DeviceInfo& device : now) {
        if (!listed.insert(device.path).second) continue;
        const auto it = previous.find(device.path);
        if (it == previous.end() || !sameDevice(*it->second, device))
            diff.arrived.push_back(device);
    }
    return diff;
}

} // namespace hidraw
