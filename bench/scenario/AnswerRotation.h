#pragma once

#include "hid/Report.h"

#include <cstdint>

namespace bench {

/// The answers a board sends while polled, in rotation: A/D value, input bits, answer text.
/// Values change from report to report so that every update really changes the window.
class AnswerRotation {
public:
    explicit AnswerRotation(bool withText = true) : withText_(withText) {}

    hid::Report next();

private:
    bool withText_;
    std::uint32_t count_ = 0;
};

} // namespace bench
