#include "hid/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>

namespace hid {
namespace {

// Item types and tags, HID 1.11 section 6.2.2.
constexpr unsigned TypeMain = 0;
constexpr unsigned TypeGlobal = 1;
constexpr std::uint8_t LongItemPrefix = 0xFE;

constexpr unsigned MainInput = 0x8;
constexpr unsigned MainOutput = 0x9;
constexpr unsigned MainCollection = 0xA;
constexpr unsigned MainFeature = 0xB;
constexpr unsigned MainEndCollection = 0xC;

constexpr unsigned GlobalReportSize = 0x7;
constexpr unsigned GlobalReportId = 0x8;
constexpr unsigned GlobalReportCount = 0x9;
constexpr unsigned GlobalPush = 0xA;
constexpr unsigned GlobalPop = 0xB;

// The kernel's limits (drivers/hid/hid-core.c).
constexpr std::uint32_t MaxReportSize = 256;
constexpr std::uint32_t MaxReportCount = 12288;
constexpr std::size_t GlobalStackSize = 4;
constexpr unsigned MaxReportId = 255;
constexpr std::uint64_t MaxReportBits = (ReportDescriptor::MaxReportBytes - 1) * 8ull;

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    unsigned reportId = 0;
};

std::size_t bytesOf(std::uint32_t bits) {
    return (static_cast<std::size_t>(bits) + 7) / 8;
}

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool run(std::string& error) {
        while (offset_ < bytes_.size()) {
            const std::size_t at = offset_;
            if (!step()) {
                error = problem_ + " at byte " + std::to_string(at);
                return false;
            }
        }
        if (depth_ != 0) {
            error = std::to_string(depth_) + " collection(s) left open at the end";
            return false;
        }
        return true;
    }

    std::vector<ReportDescriptor::Report> reports() const {
        std::vector<ReportDescriptor::Report> list;
        for (const auto& [id, report] : reports_)
            list.push_back(report);
        return list;
    }

private:
    bool fail(std::string what) {
        problem_ = std::move(what);
        return false;
    }

    bool step() {
        const std::uint8_t prefix = bytes_[offset_];
        if (prefix == LongItemPrefix) {
            // bDataSize, bLongItemTag, then the data: no long item is defined, so skip it.
            if (bytes_.size() - offset_ < 3) return fail("long item cut off");
            const std::size_t dataSize = bytes_[offset_ + 1];
            if (bytes_.size() - offset_ - 3 < dataSize) return fail("long item data cut off");
            offset_ += 3 + dataSize;
            return true;
        }
        const std::size_t sizeCode = prefix & 0x3u;
        const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
        if (bytes_.size() - offset_ - 1 < dataSize) return fail("item data cut off");
        std::uint32_t data = 0;
        for (std::size_t i = 0; i < dataSize; ++i)
            data |= std::uint32_t{bytes_[offset_ + 1 + i]} << (8 * i);
        offset_ += 1 + dataSize;

        const unsigned type = (prefix >> 2) & 0x3u;
        const unsigned tag = prefix >> 4;
        if (type == TypeMain) return mainItem(tag);
        if (type == TypeGlobal) return globalItem(tag, data);
        return true; // local and reserved items do not change report lengths
    }

    bool mainItem(unsigned tag) {
        switch (tag) {
        case MainInput:
            return addField(&ReportDescriptor::Report::inputBits);
        case MainOutput:
            return addField(&ReportDescriptor::Report::outputBits);
        case MainFeature:
            return addField(&ReportDescriptor::Report::featureBits);
        case MainCollection:
            ++depth_;
            return true;
        case MainEndCollection:
            if (depth_ == 0) return fail("End Collection without a collection");
            --depth_;
            return true;
        default:
            return true;
        }
    }

    bool globalItem(unsigned tag, std::uint32_t data) {
        switch (tag) {
        case GlobalReportSize:
            if (data > MaxReportSize) return fail("Report Size " + std::to_string(data));
            globals_.reportSize = data;
            return true;
        case GlobalReportCount:
            if (data > MaxReportCount) return fail("Report Count " + std::to_string(data));
            globals_.reportCount = data;
            return true;
        case GlobalReportId:
            if (data == 0 || data > MaxReportId) return fail("Report ID " + std::to_string(data));
            globals_.reportId = data;
            return true;
        case GlobalPush:
            if (stackSize_ == GlobalStackSize) return fail("Push beyond 4 levels");
            stack_[stackSize_++] = globals_;
            return true;
        case GlobalPop:
            if (stackSize_ == 0) return fail("Pop with nothing pushed");
            globals_ = stack_[--stackSize_];
            return true;
        default:
            return true;
        }
    }

    bool addField(std::uint32_t ReportDescriptor::Report::*bits) {
        ReportDescriptor::Report& report = reports_[globals_.reportId];
        report.id = globals_.reportId;
        const std::uint64_t total =
            std::uint64_t{report.*bits} + std::uint64_t{globals_.reportSize} * globals_.reportCount;
        if (total > MaxReportBits)
            return fail("report " + std::to_string(report.id) + " longer than " +
                        std::to_string(ReportDescriptor::MaxReportBytes - 1) + " bytes");
        report.*bits = static_cast<std::uint32_t>(total);
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
    std::size_t depth_ = 0;
    Globals globals_;
    std::array<Globals, GlobalStackSize> stack_{};
    std::size_t stackSize_ = 0;
    std::map<unsigned, ReportDescriptor::Report> reports_;
    std::string problem_;
};

} // namespace

bool ReportDescriptor::parse(std::span<const std::uint8_t> bytes, ReportDescriptor& descriptor,
                             std::string& error) {
    Parser parser(bytes);
    if (!parser.run(error)) {
        descriptor.reports.clear();
        return false;
    }
    descriptor.reports = parser.reports();
    return true;
}

bool ReportDescriptor::usesReportIds() const {
    return std::any_of(reports.begin(), reports.end(),
                       [](const Report& report) { return report.id != 0; });
}

std::size_t ReportDescriptor::longestInputBytes() const {
    std::uint32_t bits = 0;
    for (const Report& report : reports)
        bits = std::max(bits, report.inputBits);
    return bytesOf(bits);
}

std::size_t ReportDescriptor::longestOutputBytes() const {
    std::uint32_t bits = 0;
    for (const Report& report : reports)
        bits = std::max(bits, report.outputBits);
    return bytesOf(bits);
}

DeviceInfo::ReportFormat ReportDescriptor::format() const {
    return DeviceInfo::ReportFormat{usesReportIds(), static_cast<int>(longestInputBytes()),
                                    static_cast<int>(longestOutputBytes())};
}

} // namespace hid
