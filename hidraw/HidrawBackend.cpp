#include "hidraw/HidrawBackend.h"

#include "hid/ReportDescriptor.h"
#include "hid/TerminalText.h"
#include "hidraw/HidrawScan.h"
#include "hidraw/NodeProblems.h"
#include "hidraw/UsbPort.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>

namespace hidraw {
namespace {

// The only report format the console drives: 32 bytes each way, no report id.
constexpr int BoardReportBytes = static_cast<int>(HidrawDevice::InputReportSize);

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
    backend.usbPort = [](const std::string& node) { return UsbPort(node); };
    backend.open = [](const std::string& node) {
        const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    };
    backend.describe = describeNode;
    backend.warn = [](const std::string& line) {
        std::fprintf(stderr, "%s\n", hid::TerminalText(line).c_str());
    };
    return backend;
}

BoardOpening openBoard(const HidrawBackend& backend, const hid::DeviceInfo& listed) {
    BoardOpening opening;
    const int fd = backend.open(listed.path);
    if (fd < 0) {
        opening.openError = -fd;
        opening.problem = openProblem(listed.path, -fd);
        return opening;
    }
    hid::OwnedDescriptor node(fd);
    NodeDetails details;
    hid::ReportDescriptor descriptor;
    std::string error;
    if (const int result = backend.describe(fd, details); result < 0) {
        opening.problem = describeProblem(listed.path, -result);
    } else if (details.vendorId != listed.vendorId || details.productId != listed.productId) {
        opening.problem = identityProblem(listed.path, listed.vendorId, listed.productId,
                                          details.vendorId, details.productId);
    } else if (!hid::ReportDescriptor::parse(details.reportDescriptor, descriptor, error)) {
        opening.problem = formatProblem(
            listed.path, "a report descriptor the console cannot read (" + error + ")");
    } else if (const hid::DeviceInfo::ReportFormat format = descriptor.format();
               format.usesReportIds || format.inputReportSize != BoardReportBytes ||
               format.outputReportSize != BoardReportBytes) {
        opening.problem = formatProblem(listed.path, describeFormat(format));
    } else {
        opening.node = std::move(node);
        opening.format = format;
    }
    return opening;
}

} // namespace hidraw
