#pragma once

#include "hidraw/HidrawSource.h"

#include <cstdint>
#include <vector>

namespace testsupport {

/// The board's report descriptor: a vendor-defined collection with one 32-byte input and one
/// 32-byte output report, no report id.
inline std::vector<std::uint8_t> BoardReportDescriptor() {
    return {
        0x06, 0x00, 0xFF, // Usage Page (vendor-defined 0xFF00)
        0x09, 0x01,       // Usage (1)
        0xA1, 0x01,       // Collection (Application)
        0x15, 0x00,       //   Logical Minimum (0)
        0x26, 0xFF, 0x00, //   Logical Maximum (255)
        0x75, 0x08,       //   Report Size (8)
        0x95, 0x20,       //   Report Count (32)
        0x09, 0x01,       //   Usage (1)
        0x81, 0x02,       //   Input (Data, Variable, Absolute)
        0x09, 0x01,       //   Usage (1)
        0x91, 0x02,       //   Output (Data, Variable, Absolute)
        0xC0,             // End Collection
    };
}

/// Answers the identity ioctls as the board does, for any descriptor (a socket pair cannot).
inline int DescribeAsBoard(int, hidraw::NodeDetails& details) {
    details = hidraw::NodeDetails{0x1234, 0x0001, BoardReportDescriptor()};
    return 0;
}

} // namespace testsupport
