#include "hidraw/HidrawScan.h"
#include "hidraw/UsbPort.h"
#include "support/FakeSysfs.h"

#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>

using hid::DeviceInfo;
using hidraw::diffScans;
using hidraw::toWindows1252;

namespace {

DeviceInfo device(const std::string& node, int vendor, int product,
                  const std::string& serial = "") {
    return DeviceInfo{vendor, product, "maker", "product", serial, node, "", {}};
}

std::vector<std::string> paths(const std::vector<DeviceInfo>& devices) {
    std::vector<std::string> result;
    for (const DeviceInfo& info : devices)
        result.push_back(info.path);
    return result;
}

using Paths = std::vector<std::string>;

// Names are narrowed to the code page the reports' text is read in, so that a maker's € or ’
// shows as the board wrote it.
TEST(Windows1252Text, KeepsWhatTheCodePageHasAndMarksTheRest) {
    EXPECT_EQ(toWindows1252(L"ZOV Electronics"), "ZOV Electronics");
    EXPECT_EQ(toWindows1252(L"Caf\u00e9 \u00ff"), "Caf\xe9 \xff");
    EXPECT_EQ(toWindows1252(L"\u20ac \u2019 \u201c\u201d \u2022 \u2122 \u0081"),
              "\x80 \x92 \x93\x94 \x95 \x99 \x81");
    EXPECT_EQ(toWindows1252(L"\u0100 \u0080 \u009f \U0001F600"), "? ? ? ?");
    EXPECT_EQ(toWindows1252(nullptr), "");
    EXPECT_EQ(toWindows1252(L""), "");
}

TEST(ScanDiff, ArrivalsAndRemovalsByNode) {
    const std::vector<DeviceInfo> before{device("/dev/hidraw0", 1, 1),
                                         device("/dev/hidraw1", 0x1234, 1)};
    const std::vector<DeviceInfo> now{device("/dev/hidraw0", 1, 1), device("/dev/hidraw2", 2, 2),
                                      device("/dev/hidraw3", 3, 3)};
    const hidraw::ScanDiff diff = diffScans(before, now);
    EXPECT_EQ(paths(diff.arrived), (Paths{"/dev/hidraw2", "/dev/hidraw3"}));
    EXPECT_EQ(diff.removed, (Paths{"/dev/hidraw1"}));
    EXPECT_EQ(diff.arrived[0].vendorId, 2) << "arrivals carry their details";
}

TEST(ScanDiff, SameEnumerationChangesNothing) {
    const std::vector<DeviceInfo> scan{device("/dev/hidraw0", 1, 1),
                                       device("/dev/hidraw1", 0x1234, 1, "A")};
    const hidraw::ScanDiff diff = diffScans(scan, scan);
    EXPECT_TRUE(diff.arrived.empty());
    EXPECT_TRUE(diff.removed.empty());
}

TEST(ScanDiff, FirstAndLastScans) {
    const std::vector<DeviceInfo> scan{device("/dev/hidraw0", 1, 1), device("/dev/hidraw1", 2, 2)};
    EXPECT_EQ(paths(diffScans({}, scan).arrived), (Paths{"/dev/hidraw0", "/dev/hidraw1"}));
    EXPECT_TRUE(diffScans({}, scan).removed.empty());
    EXPECT_EQ(diffScans(scan, {}).removed, (Paths{"/dev/hidraw0", "/dev/hidraw1"}));
    EXPECT_TRUE(diffScans(scan, {}).arrived.empty());
}

TEST(ScanDiff, NodeTakenByAnotherDeviceIsARemovalAndAnArrival) {
    // One unplug and another plug between two scans: the kernel hands out the freed node again.
    const hidraw::ScanDiff otherIds =
        diffScans({device("/dev/hidraw0", 1, 1)}, {device("/dev/hidraw0", 0x1234, 1)});
    EXPECT_EQ(otherIds.removed, (Paths{"/dev/hidraw0"}));
    ASSERT_EQ(otherIds.arrived.size(), 1u);
    EXPECT_EQ(otherIds.arrived[0].vendorId, 0x1234);

    const hidraw::ScanDiff otherSerial = diffScans({device("/dev/hidraw0", 0x1234, 1, "A")},
                                                   {device("/dev/hidraw0", 0x1234, 1, "B")});
    EXPECT_EQ(otherSerial.removed, (Paths{"/dev/hidraw0"}));
    EXPECT_EQ(paths(otherSerial.arrived), (Paths{"/dev/hidraw0"}));
}

TEST(ScanDiff, RepeatedNodeCountsOnce) {
    // hidapi lists a device once per top-level collection.
    const std::vector<DeviceInfo> now{device("/dev/hidraw0", 1, 1), device("/dev/hidraw0", 1, 1)};
    EXPECT_EQ(paths(diffScans({}, now).arrived), (Paths{"/dev/hidraw0"}));
    EXPECT_EQ(diffScans(now, {}).removed, (Paths{"/dev/hidraw0"}));
    EXPECT_TRUE(diffScans(now, {device("/dev/hidraw0", 1, 1)}).removed.empty());
}

// The port is read from a sysfs tree as the kernel lays it out: the node's "device" link leads
// to its HID device, below the USB interface, below the USB device whose name is the port. A
// bluetooth device has a USB device above it too, its dongle's, which is no port of a board.
TEST(UsbPort, IsTheUsbDeviceWhoseInterfaceHasTheNodeAndEmptyWithoutOne) {
    const struct {
        const char* what;
        const char* device; ///< where the node's "device" link leads, below devices/
        const char* port;
    } cases[] = {
        {"a board behind a hub",
         "pci0000:00/0000:00:14.0/usb1/1-1/1-1.2/1-1.2:1.0/0003:1234:0001.0004", "1-1.2"},
        {"a board on a root port", "pci0000:00/0000:00:14.0/usb3/3-4/3-4:1.0/0003:1234:0001.0001",
         "3-4"},
        {"a uhid device", "virtual/misc/uhid/0003:1234:0001.0009", ""},
        {"a bluetooth device",
         "pci0000:00/0000:00:14.0/usb1/1-7/1-7:1.0/bluetooth/hci0/hci0:256/0005:046D:B33E.0005",
         ""},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        QTemporaryDir sysfs;
        const std::string root = sysfs.path().toStdString();
        testsupport::LayOutHidrawNode(root, "/dev/hidraw3", each.device);
        EXPECT_EQ(hidraw::UsbPort("/dev/hidraw3", root), each.port);
        EXPECT_EQ(hidraw::UsbPort("/dev/hidraw4", root), "") << "a node sysfs lacks";
    }
}

} // namespace
