// Report descriptors of any content into the parser, alone: no window and no event loop.
//
// Checks, besides the sanitizers: a refused descriptor leaves no reports and says why; an
// accepted one lists each report id once, in ascending order, every report within the kernel's
// limit, and its format agrees with that list; the same bytes give the same answer; and the
// first half of an accepted descriptor, where it is accepted too, declares no report the whole
// does not, none of them longer.
#include "hid/ReportDescriptor.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

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
        CHECK(report.id <= 255);
        if (i > 0) CHECK(descriptor.reports[i - 1].id < report.id);
        CHECK(report.inputBits <= MaxBits && report.outputBits <= MaxBits &&
              report.featureBits <= MaxBits);
        anyId = anyId || report.id != 0;
        longestInput = std::max(longestInput, report.inputBits);
        longestOutput = std::max(longestOutput, report.outputBits);
    }
    const hid::DeviceInfo::ReportFormat format = descriptor.format();
    CHECK(format.usesReportIds == anyId);
    CHECK(static_cast<std::uint64_t>(format.inputReportSize) * 8 >= longestInput);
    CHECK(static_cast<std::uint64_t>(format.inputReportSize) * 8 < longestInput + 8ull);
    CHECK(static_cast<std::uint64_t>(format.outputReportSize) * 8 >= longestOutput);
    CHECK(static_cast<std::uint64_t>(format.outputReportSize) * 8 < longestOutput + 8ull);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    ReportDescriptor descriptor;
    std::string error;
    const bool accepted = Parse(bytes, descriptor, error);
    if (!accepted) {
        CHECK(descriptor.reports.empty());
        CHECK(!error.empty());
    } else {
        CheckAccepted(descriptor);
    }

    ReportDescriptor again;
    std::string againError;
    CHECK(Parse(bytes, again, againError) == accepted);
    CHECK(SameReports(descriptor, again) && againError == error);

    if (!accepted) return 0;
    ReportDescriptor half;
    std::string halfError;
    if (!Parse(bytes.first(size / 2), half, halfError)) return 0;
    for (const ReportDescriptor::Report& report : half.reports) {
        const auto whole = std::find_if(descriptor.reports.begin(), descriptor.reports.end(),
                                        [&](const auto& other) { return other.id == report.id; });
        CHECK(whole != descriptor.reports.end());
        CHECK(report.inputBits <= whole->inputBits && report.outputBits <= whole->outputBits &&
              report.featureBits <= whole->featureBits);
    }
    return 0;
}
