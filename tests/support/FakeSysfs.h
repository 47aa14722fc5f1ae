#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

/// Lays out the hidraw node `node` ("/dev/hidraw3") in the sysfs tree at `root` as the kernel
/// does: class/hidraw/<its name> leads to the node below its HID device, devices/`device`,
/// and the node's "device" link leads back up to that HID device.
void LayOutHidrawNode(const std::filesystem::path& root, const std::string& node,
                      const std::string& device);

} // namespace testsupport
