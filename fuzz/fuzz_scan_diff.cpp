// The hotplug scan diff: two lists of hidraw devices, repeated nodes and reused node names
// included, compared as the source compares one scan with the next.
//
// Checks, besides the sanitizers: against a plain reading of the rule (a node counts by its
// first entry; it left when it is gone or now lists another device, it arrived when it is new
// or lists another device), both lists come out exactly, in order; and applying the diff to
// the earlier scan gives the later one.
#include "FuzzSupport.h"
#include "hidraw/HidrawScan.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using fuzzsupport::ByteReader;
using hid::DeviceInfo;

constexpr std::size_t MaxDevices = 12;

std::vector<DeviceInfo> Scan(ByteReader& input) {
    std::vector<DeviceInfo> devices(input.byte() % (MaxDevices + 1));
    for (DeviceInfo& device : devices) {
        const std::uint8_t node = input.byte();
        const std::uint8_t who = input.byte();
        device.path = "/dev/hidraw" + std::to_string(node % 8);
        device.vendorId = (who & 1) ? 0x1234 : 0x046D;
        device.productId = (who >> 1) & 1;
        device.serialNumber = (who & 4) ? "A1" : "";
        device.product = (who & 8) ? "Board" : "Other"; // not part of a device's identity
    }
    return devices;
}

const DeviceInfo* First(const std::vector<DeviceInfo>& scan, const std::string& path) {
    const auto it = std::find_if(scan.begin(), scan.end(),
                                 [&](const DeviceInfo& device) { return device.path == path; });
    return it == scan.end() ? nullptr : &*it;
}

bool Same(const DeviceInfo* a, const DeviceInfo* b) {
    return a && b && a->vendorId == b->vendorId && a->productId == b->productId &&
           a->serialNumber == b->serialNumber;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    const std::vector<DeviceInfo> before = Scan(input);
    const std::vector<DeviceInfo> now = Scan(input);
    const hidraw::ScanDiff diff = hidraw::diffScans(before, now);

    std::vector<std::string> removed;
    for (const DeviceInfo& device : before)
        if (First(before, device.path) == &device && !Same(&device, First(now, device.path)))
            removed.push_back(device.path);
    std::vector<std::string> arrived;
    for (const DeviceInfo& device : now)
        if (First(now, device.path) == &device && !Same(First(before, device.path), &device))
            arrived.push_back(device.path);
    FUZZ_CHECK(diff.removed == removed);
    FUZZ_CHECK(diff.arrived.size() == arrived.size());
    for (std::size_t i = 0; i < arrived.size(); ++i) {
        FUZZ_CHECK(diff.arrived[i].path == arrived[i]);
        FUZZ_CHECK(Same(&diff.arrived[i], First(now, arrived[i])));
    }

    // Applied to the earlier scan, the diff gives the later one, node by node.
    for (const std::vector<DeviceInfo>* scan : {&before, &now}) {
        for (const DeviceInfo& device : *scan) {
            const bool left = std::find(diff.removed.begin(), diff.removed.end(), device.path) !=
                              diff.removed.end();
            const DeviceInfo* came = First(diff.arrived, device.path);
            const DeviceInfo* kept = left ? nullptr : First(before, device.path);
            FUZZ_CHECK(!(kept && came)); // a node arrives only where none is kept
            const DeviceInfo* applied = came ? came : kept;
            const DeviceInfo* expected = First(now, device.path);
            FUZZ_CHECK((applied == nullptr) == (expected == nullptr));
            if (expected) FUZZ_CHECK(Same(applied, expected));
        }
    }
    return 0;
}
