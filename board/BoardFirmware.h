#pragma once

#include "hid/Report.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

/// The board's firmware as the board stand-ins play it (the virtual board, and the uhid board of
/// the real-kernel tests) and as the board monitor reads the wire. Written down apart from the
/// console's protocol code, so that a position the console gets wrong is neither answered by a
/// board sharing the mistake nor hidden in the monitor.
namespace hid::firmware {

/// The ids the board gives in its USB device descriptor.
inline constexpr int VendorId = 0x1234;
inline constexpr int ProductId = 0x0001;

inline constexpr std::size_t Command = 1;
inline constexpr std::size_t TextStart = 2;
inline constexpr std::size_t TextLength = 17;      // command 1: 2-18
inline constexpr std::size_t ClockTextLength = 23; // command 6: 2-24
inline constexpr std::size_t AdValue = 19;
inline constexpr std::size_t InputBits = 20;
inline constexpr std::size_t PortD = 21;
inline constexpr std::size_t LoopFlag = 23;

inline constexpr std::uint8_t StoreText = 1;
inline constexpr std::uint8_t ReadText = 2;
inline constexpr std::uint8_t ReadAdc = 4;
inline constexpr std::uint8_t StoreClock = 6;
inline constexpr std::uint8_t ReadInputs = 13;
inline constexpr std::uint8_t WritePortD = 14;
inline constexpr std::uint8_t Reset = 50;

/// What the board's pins and memory hold for its answers.
struct Inputs {
    std::uint8_t adValue = 0;
    std::uint8_t inputBits = 0;
    std::span<const char> answerText; ///< copied from byte 2 on, as far as the report goes
};

/// The report the firmware sends back to a request with this command code, or nothing for a
/// code it does not answer.
inline std::optional<Report> answerTo(std::uint8_t command, const Inputs& inputs) {
    Report reply{};
    reply[Command] = command;
    switch (command) {
    case ReadText:
        std::copy_n(inputs.answerText.begin(),
                    std::min(inputs.answerText.size(), reply.size() - TextStart),
                    reply.begin() + TextStart);
        return reply;
    case ReadAdc:
        reply[AdValue] = inputs.adValue;
        return reply;
    case ReadInputs:
        reply[InputBits] = inputs.inputBits;
        return reply;
    default:
        return std::nullopt;
    }
}

} // namespace hid::firmware
