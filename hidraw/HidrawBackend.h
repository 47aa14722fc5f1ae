#pragma once

#include "hid/DeviceProblem.h"
#include "hid/DeviceSource.h"
#include "hid/OwnedDescriptor.h"
#include "hidraw/HidrawDevice.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hidraw {

/// What an open node says about itself.
struct NodeDetails {
    int vendorId = 0;
    int productId = 0;
    std::vector<std::uint8_t> reportDescriptor;
};

/// How the hidraw source reaches the system; tests put fakes in its place. enumerate, usbPort,
/// open and describe are called from the source's call thread, never from the GUI thread; warn
/// from the GUI thread.
struct HidrawBackend {
    /// Every HID device now attached, one entry per node, without its port.
    std::function<std::vector<hid::DeviceInfo>()> enumerate;
    /// The USB port of the device behind a node (UsbPort), asked for each node enumerated.
    std::function<std::string(const std::string& node)> usbPort;
    /// Opens the node read-write and non-blocking: a descriptor, or -errno.
    std::function<int(const std::string& node)> open;
    /// Asks the open node for its ids (HIDIOCGRAWINFO) and its report descriptor
    /// (HIDIOCGRDESCSIZE, HIDIOCGRDESC): 0, or -errno.
    std::function<int(int fd, NodeDetails& details)> describe;
    /// The reads and writes the device's threads make on an opened node.
    NodeCalls calls = NodeCalls::system();
    /// Tells the operator something, one line without the line end.
    std::function<void(const std::string& line)> warn;

    /// hidapi enumeration, the ports from /sys, open(2), the hidraw ioctls, standard error.
    static HidrawBackend system();
};

/// One attempt to open a board's node and confirm it is the board, driven as it expects.
struct BoardOpening {
    hid::OwnedDescriptor node; ///< valid when the board can be driven
    int openError = 0;         ///< errno when open(2) itself failed
    hid::DeviceInfo::ReportFormat format;
    hid::DeviceProblem problem; ///< why not, when `node` is not valid
};

/// Opens the node `listed` names and checks, on the open node, that it answers the listed
/// ids (the node may have been freed and taken by another device since the enumeration) and
/// that its report descriptor shows 32-byte input and output reports without a report id.
/// Makes system calls that may wait: for the source's call thread.
BoardOpening openBoard(const HidrawBackend& backend, const hid::DeviceInfo& listed);

} // namespace hidraw
