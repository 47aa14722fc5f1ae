// Report descriptors of any content into the parser, alone: no window and no event loop.
//
// Checks, besides the sanitizers: a refused descriptor leaves no reports and says why; an
// accepted one lists each report id once, in ascending order, every report within the kernel's
// limit, and its format agrees with that list; the same bytes give the same answer; and the
// first half of an accepted descriptor, where it is accepted too, declares no report the whole
// does not, none of them longer.
#include "FuzzCheck.h"
#include "hid/ReportDescriptor.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

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
