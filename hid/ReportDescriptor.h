#pragma once

#include "hid/DeviceSource.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hid {

/// What a HID report descriptor says about the reports a device exchanges: which report ids
/// it uses and how long each of its input, output and feature reports is.
///
/// Only the items that decide report lengths are read (Report Size, Report Count, Report ID,
/// Push, Pop, Input, Output, Feature, Collection, End Collection); long items and every other
/// item are stepped over. A descriptor the kernel would refuse is refused too: an item cut off
/// by the end, Report ID 0 or above 255, a Report Size above 256 bits or a Report Count above
/// 12288, more than 4 nested Pushes, a Pop with nothing pushed, unbalanced collections, or a
/// report longer than 16383 bytes (16384 with its id).
struct ReportDescriptor {
    struct Report {
        unsigned id = 0; ///< 0 for the reports of a descriptor without Report ID items
        std::uint32_t inputBits = 0;
        std::uint32_t outputBits = 0;
        std::uint32_t featureBits = 0;
    };

    /// The kernel's largest report, report id byte included.
    static constexpr std::uint32_t MaxReportBytes = 16384;

    /// Every report the descriptor declares, by ascending id; empty when it declares none.
    std::vector<Report> reports;

    /// Reads `bytes`. Answers false, with `error` saying what and at which byte, for a
    /// descriptor it refuses; `descriptor` then holds nothing.
    static bool parse(std::span<const std::uint8_t> bytes, ReportDescriptor& descriptor,
                      std::string& error);

    /// True when any report carries a report id (a non-zero id).
    bool usesReportIds() const;
    /// Bytes of the longest input or output report, without the report id byte.
    std::size_t longestInputBytes() const;
    std::size_t longestOutputBytes() const;
    /// The format as the device's details record it.
    DeviceInfo::ReportFormat format() const;
};

} // namespace hid
