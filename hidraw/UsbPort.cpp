#include "hidraw/UsbPort.h"

#include <filesystem>
#include <regex>

namespace hidraw {

std::string UsbPort(const std::string& node, const std::string& sysfsRoot) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path device = fs::canonical(
        fs::path(sysfsRoot) / "class" / "hidraw" / fs::path(node).filename() / "device", error);
    if (error) return {};
    // usbhid puts the HID device right below the USB interface it drives, named after its USB
    // device: "1-1.2:1.0" is interface 0 of configuration 1 of the device on port 1-1.2. A HID
    // device anywhere else (uhid, bluetooth, even through a USB dongle) is on no USB port.
    static const std::regex usbInterface(R"((\d+-\d+(?:\.\d+)*):\d+\.\d+)");
    const std::string parent = device.parent_path().filename().string();
    std::smatch match;
    if (!std::regex_match(parent, match, usbInterface)) return {};
    return match[1];
}

} // namespace hidraw
