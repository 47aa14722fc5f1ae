#include "protocol/ReportText.h"

#include <algorithm>

namespace protocol {

std::size_t PutText(Report& report, std::size_t index, QStringView text, std::size_t maxLength) {
    const std::size_t room = index < report.size() ? report.size() - index : 0;
    const std::size_t count = std::min({static_cast<std::size_t>(text.size()), maxLength, room});
    for (std::size_t k = 0; k < count; ++k)
        report[index + k] = CharToByte(text[static_cast<qsizetype>(k)]);
    return count;
}

QString TakeText(const Report& report, std::size_t index, std::size_t length) {
    const std::string_view bytes(reinterpret_cast<const char*>(report.data()), report.size());
    return hid::fromWindows1252(bytes.substr(std::min(index, bytes.size()), length));
}

} // namespace protocol
