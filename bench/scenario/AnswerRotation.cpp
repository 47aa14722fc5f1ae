#include "bench/scenario/AnswerRotation.h"

#include "protocol/ReportLayout.h"

#include <algorithm>
#include <cstdio>

namespace bench {

hid::Report AnswerRotation::next() {
    hid::Report report{};
    const std::uint32_t n = count_++;
    switch (n % (withText_ ? 3 : 2)) {
    case 0:
        report[protocol::CommandIndex] = protocol::Code::ReadAdc;
        report[protocol::AdValueIndex] = static_cast<std::uint8_t>(n / 3);
        break;
    case 1:
        report[protocol::CommandIndex] = protocol::Code::ReadInput;
        report[protocol::InputBitsIndex] = static_cast<std::uint8_t>(n / 3 * 37);
        break;
    default: {
        report[protocol::CommandIndex] = protocol::Code::ReadText;
        char text[32];
        std::snprintf(text, sizeof text, "Answer %09u", n / 3);
        std::copy_n(text, protocol::AnswerTextLength, report.begin() + protocol::TextIndex);
        break;
    }
    }
    return report;
}

} // namespace bench
