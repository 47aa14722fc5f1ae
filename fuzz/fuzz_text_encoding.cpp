// Outgoing text: any UTF-16 text written into a report from any index with any limit.
//
// Checks, besides the sanitizers: exactly min(text length, limit, room left in the report)
// bytes are written, each the low 8 bits of its character's UTF-16 code unit, from the index
// on; every other byte keeps its value; the answer is the count written.
#include "FuzzSupport.h"
#include "protocol/ReportText.h"

#include <QString>
#include <algorithm>
#include <cstring>

namespace {

using fuzzsupport::ByteReader;

/// A text of at most this many characters: well past every limit the window uses.
constexpr std::size_t MaxCharacters = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    const std::size_t index = input.byte() % 40; // past the end of the report too
    const std::size_t limit = input.byte() % 40;
    hid::Report report{};
    const auto initial = input.bytes(report.size());
    std::memcpy(report.data(), initial.data(), initial.size());

    QString text;
    while (input.left() >= 2 && static_cast<std::size_t>(text.size()) < MaxCharacters)
        text += QChar(static_cast<char16_t>(input.word()));

    const hid::Report before = report;
    const std::size_t written = protocol::PutText(report, index, text, limit);
    const std::size_t room = index < report.size() ? report.size() - index : 0;
    FUZZ_CHECK(written == std::min({static_cast<std::size_t>(text.size()), limit, room}));
    for (std::size_t i = 0; i < report.size(); ++i) {
        if (i >= index && i < index + written)
            FUZZ_CHECK(report[i] == (text[static_cast<qsizetype>(i - index)].unicode() & 0xFF));
        else
            FUZZ_CHECK(report[i] == before[i]);
    }
    return 0;
}
