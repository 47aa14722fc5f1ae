#pragma once

#include "hid/DeviceSource.h"

#include <string>
#include <vector>

namespace hidraw {

/// The device texts hidapi gives as wide characters, as Windows-1252 bytes (the code page the
/// reports' text uses too): characters the code page does not have become '?'. A null pointer
/// gives an empty text.
std::string toWindows1252(const wchar_t* text);

/// Every HID device the kernel offers through hidraw, one entry per device node (path),
/// in the order hidapi lists them, without their USB ports (HidrawBackend::usbPort). Needs no
/// udev daemon: it reads sysfs.
std::vector<hid::DeviceInfo> enumerateHidraw();

/// What changed between two enumerations.
struct ScanDiff {
    std::vector<hid::DeviceInfo> arrived; ///< in `now` only, in the order of `now`
    std::vector<std::string> removed;     ///< paths in `before` only, in the order of `before`
};

/// Compares two enumerations by device node. A node that lists a different device (other
/// ids or serial number: the node name was freed and taken again between the two scans)
/// counts as a removal and an arrival. Repeated paths count once, the first entry wins.
ScanDiff diffScans(const std::vector<hid::DeviceInfo>& before,
                   const std::vector<hid::DeviceInfo>& now);

} // namespace hidraw
