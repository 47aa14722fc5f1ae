#pragma once

#include <string>

namespace hidraw {

/// The USB port of the device behind the hidraw node `node` (e.g. "/dev/hidraw3"): the sysfs
/// name of the USB device whose interface (e.g. "1-1.2:1.0") the HID device is on, such as
/// "1-1.2". Read from `sysfsRoot`/class/hidraw/<node's name>/device, with no udev. Empty when
/// the HID device is on no USB interface (uhid, bluetooth) or sysfs does not know the node.
std::string UsbPort(const std::string& node, const std::string& sysfsRoot = "/sys");

} // namespace hidraw
