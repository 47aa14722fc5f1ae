// One trace line for any time, direction, handle and report.
//
// Checks, besides the sanitizers: the line is the time stamp, the direction's word, the
// handle in decimal and the 33 bytes as two-digit lower-case hex, separated by single
// blanks; the microseconds are 0 to 999999 even before 1970; for years 1000 to 9999 the
// stamp is the UTC calendar date and time that the C++ calendar computes for that instant.
#include "FuzzSupport.h"
#include "trace/ReportTrace.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using fuzzsupport::ByteReader;

/// The stamp the calendar gives, for an instant in the years 1000 to 9999; empty otherwise.
std::string ExpectedStamp(std::int64_t micros) {
    using namespace std::chrono;
    // 1000-01-01 and 10000-01-01, 00:00 UTC, in microseconds.
    constexpr std::int64_t First = -30'610'224'000LL * 1'000'000;
    constexpr std::int64_t End = 253'402'300'800LL * 1'000'000;
    if (micros < First || micros >= End) return {};
    const sys_time<microseconds> instant{microseconds{micros}};
    const sys_days day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss time{instant - day};
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%06lldZ",
                  int(date.year()), unsigned(date.month()), unsigned(date.day()),
                  static_cast<long long>(time.hours().count()),
                  static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()),
                  static_cast<long long>(time.subseconds().count()));
    return stamp;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    std::uint64_t raw = 0;
    for (int i = 0; i < 8; ++i)
        raw |= std::uint64_t{input.byte()} << (8 * i);
    // Half the inputs near today (years 1970 to about 2100), the rest anywhere.
    const std::int64_t micros =
        (raw & 1) ? static_cast<std::int64_t>(raw >> 1) % (std::int64_t{4'102'444'800} * 1'000'000)
                  : static_cast<std::int64_t>(raw);
    const auto direction =
        static_cast<hid::ReportDirection>(input.byte() % hid::ReportDirectionCount);
    std::uint32_t handleBits = 0;
    for (int i = 0; i < 4; ++i)
        handleBits |= std::uint32_t{input.byte()} << (8 * i);
    const auto handle = static_cast<hid::Handle>(handleBits);
    hid::Report report{};
    const auto bytes = input.bytes(report.size());
    std::memcpy(report.data(), bytes.data(), bytes.size());

    const std::string line = trace::ReportTrace::formatLine(micros, direction, handle, report);

    const std::size_t stampEnd = line.find(' ');
    FUZZ_CHECK(stampEnd != std::string::npos && stampEnd >= 8);
    const std::string stamp = line.substr(0, stampEnd);
    FUZZ_CHECK(stamp.back() == 'Z' && stamp[stamp.size() - 8] == '.');
    long long fraction = -1;
    FUZZ_CHECK(std::sscanf(stamp.c_str() + stamp.size() - 7, "%6lld", &fraction) == 1);
    FUZZ_CHECK(fraction == ((micros % 1'000'000) + 1'000'000) % 1'000'000);
    if (const std::string expected = ExpectedStamp(micros); !expected.empty())
        FUZZ_CHECK(stamp == expected);

    std::string tail = std::string(" ") + hid::traceWord(direction) + " " + std::to_string(handle);
    static constexpr char Hex[] = "0123456789abcdef";
    for (const std::uint8_t byte : report) {
        tail += ' ';
        tail += Hex[byte >> 4];
        tail += Hex[byte & 0xF];
    }
    FUZZ_CHECK(line.substr(stampEnd) == tail);
    return 0;
}
