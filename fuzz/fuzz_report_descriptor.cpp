// Report descriptors of any content into the parser, alone: no window and no event loop.
//
// Checks, besides the sanitizers: a refused descriptor leaves no reports and says why; an
// accepted one lists each report id once, in ascending order, every report within the kernel's
// limit, and its format agrees with that list; the same bytes give the same answer; and the
// first half of an accepted descriptor, where it is accepted too, declares no report the whole
// does not, none of them longer; and every accepted descriptor declares exactly the reports,
// with exactly the lengths, that a plain walk of its items (SumItems, below) adds up.
#include "FuzzCheck.h"
#include "hid/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace {

using hid::ReportDescriptor;

bool Parse(std::span<const std::uint8_t> bytes, ReportDescriptor& descriptor, std::string& error) {
    descriptor.reports = {ReportDescriptor::Report{7, 1, 2, 3}}; // must not survive a refusal
    return ReportDescriptor::parse(bytes, descriptor, error);
}

bool SameReports(const ReportDescriptor& a, const ReportDescriptor& b) {
    return std::equal(a.reports.begin(), a.reports.end(), b.reports.begin(), b.reports.end(),
                      [](const auto& x, const auto& y) {
                          return x.id == y.id && x.inputBits == y.inputBits &&
                                 x.outputBits == y.outputBits && x.featureBits == y.featureBits;
                      });
}

void CheckAccepted(const ReportDescriptor& descriptor) {
    constexpr std::uint64_t MaxBits = (ReportDescriptor::MaxReportBytes - 1) * 8ull;
    bool anyId = false;
    std::uint32_t longestInput = 0;
    std::uint32_t longestOutput = 0;
    for (std::size_t i = 0; i < descriptor.reports.size(); ++i) {
        const ReportDescriptor::Report& report = descriptor.reports[i];
        FUZZ_CHECK(report.id <= 255);
        if (i > 0) FUZZ_CHECK(descriptor.reports[i - 1].id < report.id);
        FUZZ_CHECK(report.inputBits <= MaxBits && report.outputBits <= MaxBits &&
                   report.featureBits <= MaxBits);
        anyId = anyId || report.id != 0;
        longestInput = std::max(longestInput, report.inputBits);
        longestOutput = std::max(longestOutput, report.outputBits);
    }
    const hid::DeviceInfo::ReportFormat format = descriptor.format();
    FUZZ_CHECK(format.usesReportIds == anyId);
    FUZZ_CHECK(static_cast<std::uint64_t>(format.inputReportSize) * 8 >= longestInput);
    FUZZ_CHECK(static_cast<std::uint64_t>(format.inputReportSize) * 8 < longestInput + 8ull);
    FUZZ_CHECK(static_cast<std::uint64_t>(format.outputReportSize) * 8 >= longestOutput);
    FUZZ_CHECK(static_cast<std::uint64_t>(format.outputReportSize) * 8 < longestOutput + 8ull);
}

/// Input, output and feature bits of each report id, as SumItems adds them up.
using Sums = std::map<unsigned, std::array<std::uint64_t, 3>>;

/// A second reading of the report lengths, kept apart from the parser and as plain as it can
/// be: every Input (tag 8), Output (tag 9) or Feature (tag 0xB) main item adds Report Size
/// (global tag 7) times Report Count (global tag 9) bits to its kind in the report of the
/// current Report ID (global tag 8, 0 before any); Push and Pop (global tags 0xA and 0xB)
/// keep and bring back those three. Long items (prefix 0xFE) are stepped over, everything
/// else ignored. No limits are checked: it is asked only about descriptors the parser took.
/// False for an item cut off by the end.
bool SumItems(std::span<const std::uint8_t> bytes, Sums& sums) {
    struct State {
        std::uint64_t size = 0;
        std::uint64_t count = 0;
        unsigned id = 0;
    };
    State state;
    std::vector<State> pushed;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::uint8_t prefix = bytes[at];
        if (prefix == 0xFE) { // bDataSize, bLongItemTag, data
            if (at + 2 >= bytes.size()) return false;
            at += 3 + bytes[at + 1];
            if (at > bytes.size()) return false;
            continue;
        }
        const std::size_t length = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (at + length >= bytes.size()) return false;
        std::uint32_t value = 0;
        for (std::size_t i = length; i > 0; --i)
            value = value << 8 | bytes[at + i];
        at += 1 + length;
        const unsigned type = (prefix >> 2) & 3;
        const unsigned tag = prefix >> 4;
        if (type == 0 && (tag == 0x8 || tag == 0x9 || tag == 0xB)) {
            const std::size_t kind = tag == 0x8 ? 0 : tag == 0x9 ? 1 : 2;
            sums[state.id][kind] += state.size * state.count;
        } else if (type == 1 && tag == 0x7) {
            state.size = value;
        } else if (type == 1 && tag == 0x9) {
            state.count = value;
        } else if (type == 1 && tag == 0x8) {
            state.id = value;
        } else if (type == 1 && tag == 0xA) {
            pushed.push_back(state);
        } else if (type == 1 && tag == 0xB && !pushed.empty()) {
            state = pushed.back();
            pushed.pop_back();
        }
    }
    return true;
}

void CheckAgainstTheSums(std::span<const std::uint8_t> bytes, const ReportDescriptor& descriptor) {
    Sums sums;
    FUZZ_CHECK(SumItems(bytes, sums)); // the parser took it: no item is cut off
    FUZZ_CHECK(descriptor.reports.size() == sums.size());
    auto sum = sums.begin();
    for (const ReportDescriptor::Report& report : descriptor.reports) {
        if (sum == sums.end()) break;
        FUZZ_CHECK(report.id == sum->first);
        FUZZ_CHECK(report.inputBits == sum->second[0]);
        FUZZ_CHECK(report.outputBits == sum->second[1]);
        FUZZ_CHECK(report.featureBits == sum->second[2]);
        ++sum;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    ReportDescriptor descriptor;
    std::string error;
    const bool accepted = Parse(bytes, descriptor, error);
    if (!accepted) {
        FUZZ_CHECK(descriptor.reports.empty());
        FUZZ_CHECK(!error.empty());
    } else {
        CheckAccepted(descriptor);
        CheckAgainstTheSums(bytes, descriptor);
    }

    ReportDescriptor again;
    std::string againError;
    FUZZ_CHECK(Parse(bytes, again, againError) == accepted);
    FUZZ_CHECK(SameReports(descriptor, again) && againError == error);

    if (!accepted) return 0;
    ReportDescriptor half;
    std::string halfError;
    if (!Parse(bytes.first(size / 2), half, halfError)) return 0;
    for (const ReportDescriptor::Report& report : half.reports) {
        const auto whole = std::find_if(descriptor.reports.begin(), descriptor.reports.end(),
                                        [&](const auto& other) { return other.id == report.id; });
        FUZZ_CHECK(whole != descriptor.reports.end());
        FUZZ_CHECK(report.inputBits <= whole->inputBits && report.outputBits <= whole->outputBits &&
                   report.featureBits <= whole->featureBits);
    }
    return 0;
}
