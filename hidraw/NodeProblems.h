#pragma once

#include "hid/DeviceProblem.h"
#include "hid/DeviceSource.h"

#include <string>

namespace hidraw {

/// Name of the udev rule that gives the logged-in user access to the board's node.
inline constexpr const char* UdevRuleFile = "70-zov-usb-test.rules";

/// The operator's texts for a board that was found but cannot be used: what was found and
/// what fixes it, naming the node. Each message is one line without the line end.

/// open(2) answered `error`: no permission (EACCES, EPERM), busy (EBUSY), anything else.
hid::DeviceProblem openProblem(const std::string& node, int error);
/// The open node did not answer the ioctls that tell its ids and report descriptor.
hid::DeviceProblem describeProblem(const std::string& node, int error);
/// The open node answered other ids than the enumeration listed.
hid::DeviceProblem identityProblem(const std::string& node, int listedVendorId, int listedProductId,
                                   int vendorId, int productId);
/// The report descriptor does not describe 32-byte input and output reports without an id;
/// `found` says what it describes instead.
hid::DeviceProblem formatProblem(const std::string& node, const std::string& found);
/// What a readable descriptor describes, for formatProblem.
std::string describeFormat(const hid::DeviceInfo::ReportFormat& format);

/// The line for standard error: the program's name, then the problem's message.
std::string warningLine(const hid::DeviceProblem& problem);
/// The line printed when the board's node cannot be opened for lack of permission.
std::string permissionMessage(const std::string& node);

} // namespace hidraw
