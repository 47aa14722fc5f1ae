#include "hidraw/NodeProblems.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace hidraw {
namespace {

constexpr const char* RetryNote = "The console tries the board again by itself.";

std::string hexId(int id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(id) & 0xFFFFu);
    return text;
}

} // namespace

hid::DeviceProblem openProblem(const std::string& node, int error) {
    if (error == EACCES || error == EPERM)
        return {hid::DeviceProblem::Kind::NoPermission, node,
                "No permission to open the board's device node " + node +
                    ". Install the udev rule " + UdevRuleFile +
                    " (the package puts it in /usr/lib/udev/rules.d, or copy it to"
                    " /etc/udev/rules.d) and run \"sudo udevadm control --reload-rules && sudo"
                    " udevadm trigger\"; the board then comes online within a second, without"
                    " plugging it in again."};
    if (error == EBUSY)
        return {hid::DeviceProblem::Kind::Busy, node,
                "The board's device node " + node +
                    " is busy: another program holds it. Close that program. " + RetryNote};
    return {hid::DeviceProblem::Kind::OpenFailed, node,
            "Cannot open the board's device node " + node + ": " + std::strerror(error) + ". " +
                RetryNote};
}

hid::DeviceProblem describeProblem(const std::string& node, int error) {
    return {hid::DeviceProblem::Kind::OpenFailed, node,
            "The board's device node " + node + " does not tell its ids and report format: " +
                std::strerror(error) + ". It is not used. " + RetryNote};
}

hid::DeviceProblem identityProblem(const std::string& node, int listedVendorId, int listedProductId,
                                   int vendorId, int productId) {
    return {hid::DeviceProblem::Kind::WrongIdentity, node,
            "The device node " + node + " was listed as the board (vendor " +
                hexId(listedVendorId) + ", product " + hexId(listedProductId) +
                ") but the open node answers vendor " + hexId(vendorId) + ", product " +
                hexId(productId) +
                ", so it is not used. If the board is plugged in, plug it in again."};
}

hid::DeviceProblem formatProblem(const std::string& node, const std::string& found) {
    return {hid::DeviceProblem::Kind::WrongFormat, node,
            "The board at " + node + " describes " + found +
                ". The console speaks 32-byte input and output reports without a report id, so"
                " it does not drive this board. Check the report descriptor in the board's"
                " firmware."};
}

std::string describeFormat(const hid::DeviceInfo::ReportFormat& format) {
    return std::string(format.usesReportIds ? "numbered reports (a report id first)"
                                            : "reports without a report id") +
           ", input reports of " + std::to_string(format.inputReportSize) +
           " bytes and output reports of " + std::to_string(format.outputReportSize) + " bytes";
}

std::string warningLine(const hid::DeviceProblem& problem) {
    return "zov-usb-test: " + problem.message;
}

std::string permissionMessage(const std::string& node) {
    return warningLine(openProblem(node, EACCES));
}

} // namespace hidraw
