#include "protocol/ReportText.h"

#include <algorithm>
#include <array>

namespace protocol {
namespace {

/// Windows-1252 from 0x80 to 0x9F; every other byte is the Latin-1 character of its number.
constexpr std::array<char16_t, 32> Windows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
};
constexpr std::uint8_t FirstHighByte = 0x80;

} // namespace

QChar ByteToChar(std::uint8_t byte) {
    if (byte >= FirstHighByte && byte < FirstHighByte + Windows1252High.size())
        return QChar(Windows1252High[byte - FirstHighByte]);
    return QChar(byte);
}

std::size_t PutText(Report& report, std::size_t index, QStringView text, std::size_t maxLength) {
    const std::size_t room = index < report.size() ? report.size() - index : 0;
    const std::size_t count = std::min({static_cast<std::size_t>(text.size()), maxLength, room});
    for (std::size_t k = 0; k < count; ++k)
        report[index + k] = CharToByte(text[static_cast<qsizetype>(k)]);
    return count;
}

QString TakeText(const Report& report, std::size_t index, std::size_t length) {
    const std::size_t count = index < report.size() ? std::min(length, report.size() - index) : 0;
    QString text(static_cast<qsizetype>(count), Qt::Uninitialized);
    for (std::size_t k = 0; k < count; ++k)
        text[static_cast<qsizetype>(k)] = ByteToChar(report[index + k]);
    return text;
}

} // namespace protocol
