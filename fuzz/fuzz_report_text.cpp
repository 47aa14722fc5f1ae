// The text of an incoming report as the window shows it: every byte decoded as Windows-1252,
// the text list's line and the mirror boxes' characters (bytes 2 to 18).
//
// Checks, besides the sanitizers: decoding agrees with the C library's own CP1252 table (the
// five bytes it leaves undefined become C1 controls); a list line runs exactly up to the first
// zero byte, marks exactly the control codes and shows every other byte as its character;
// a mirror box shows a control code as its number in angle brackets and any other byte as its
// one character; no two bytes that are not control codes look alike.
#include "FuzzSupport.h"
#include "protocol/ReportText.h"
#include "window/DisplayText.h"

#include <QString>
#include <array>
#include <cstring>
#include <iconv.h>

namespace {

using fuzzsupport::ByteReader;

/// What glibc's iconv makes of each byte as CP1252; 0 where it knows no character.
std::array<char32_t, 256> ReferenceTable() {
    std::array<char32_t, 256> table{};
    iconv_t convert = iconv_open("UTF-32LE", "CP1252");
    FUZZ_CHECK(convert != reinterpret_cast<iconv_t>(-1));
    for (int byte = 0; byte < 256; ++byte) {
        char in = static_cast<char>(byte);
        char32_t out = 0;
        char* inPointer = &in;
        char* outPointer = reinterpret_cast<char*>(&out);
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        if (iconv(convert, &inPointer, &inLeft, &outPointer, &outLeft) !=
            static_cast<std::size_t>(-1))
            table[static_cast<std::size_t>(byte)] = out;
        iconv(convert, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(convert);
    return table;
}

const std::array<char32_t, 256> Reference = ReferenceTable();

/// "<0>" to "<255>", made once.
const std::array<QString, 256> Numbers = [] {
    std::array<QString, 256> numbers;
    for (int byte = 0; byte < 256; ++byte)
        numbers[static_cast<std::size_t>(byte)] = u'<' + QString::number(byte) + u'>';
    return numbers;
}();

/// C0 codes, DEL and the bytes CP1252 leaves undefined.
bool IsControl(std::uint8_t byte) {
    return byte < 0x20 || byte == 0x7F || (byte >= 0x80 && Reference[byte] == 0);
}

void CheckDecoding(std::uint8_t byte) {
    const char16_t decoded = protocol::ByteToChar(byte).unicode();
    if (byte == 0) {
        FUZZ_CHECK(decoded == 0);
    } else if (Reference[byte] != 0) {
        FUZZ_CHECK(decoded == Reference[byte]);
    } else {
        FUZZ_CHECK(decoded == byte); // undefined in CP1252: the C1 control of the same number
        FUZZ_CHECK(byte >= 0x80 && byte <= 0x9F);
    }
    FUZZ_CHECK(decoded != window::ControlCodeMark);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    hid::Report report{};
    const auto bytes = input.bytes(report.size());
    std::memcpy(report.data(), bytes.data(), bytes.size());

    const QString text =
        protocol::TakeText(report, protocol::TextIndex, protocol::AnswerTextLength);
    FUZZ_CHECK(text.size() == static_cast<qsizetype>(protocol::AnswerTextLength));
    for (std::size_t k = 0; k < protocol::AnswerTextLength; ++k) {
        const std::uint8_t byte = report[protocol::TextIndex + k];
        CheckDecoding(byte);
        FUZZ_CHECK(text[static_cast<qsizetype>(k)] == protocol::ByteToChar(byte));
    }

    const QString line = window::ListText(text);
    qsizetype end = 0;
    while (end < text.size() && report[protocol::TextIndex + static_cast<std::size_t>(end)] != 0)
        ++end;
    FUZZ_CHECK(line.size() == end);
    for (qsizetype k = 0; k < line.size(); ++k) {
        const std::uint8_t byte = report[protocol::TextIndex + static_cast<std::size_t>(k)];
        if (IsControl(byte))
            FUZZ_CHECK(line[k] == QChar(window::ControlCodeMark));
        else
            FUZZ_CHECK(line[k] == protocol::ByteToChar(byte));
    }

    // The mirror shows bytes 2 to 18 as characters.
    constexpr std::size_t MirrorCharacters = 17;
    std::array<QString, MirrorCharacters> boxes;
    for (std::size_t k = 0; k < MirrorCharacters; ++k) {
        const std::uint8_t byte = report[protocol::TextIndex + k];
        boxes[k] = window::MirrorCharacter(byte);
        if (IsControl(byte)) {
            FUZZ_CHECK(boxes[k] == Numbers[byte]);
        } else {
            FUZZ_CHECK(boxes[k].size() == 1 && boxes[k][0] == protocol::ByteToChar(byte));
            // Two printable bytes never show the same character.
            for (std::size_t j = 0; j < k; ++j) {
                const std::uint8_t other = report[protocol::TextIndex + j];
                if (other != byte && !IsControl(other)) FUZZ_CHECK(boxes[j] != boxes[k]);
            }
        }
    }
    return 0;
}
