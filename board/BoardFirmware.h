#pragma once

#include "hid/Report.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

/// The board's firmware as the board stand-ins play it (the virtual board, and the uhid board of
/// the real-kernel tests) and as the board monitor reads the wire. Written down apart from the
/// console's protocol code, so that a position the console gets wrong is neither answered by a
/// board sharing the mistake nor hidden in the monitor.
namespace board::firmware {

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
inline constexpr std::uint8_t Status = 5; // the board sends it of its own accord
inline constexpr std::uint8_t StoreClock = 6;
inline constexpr std::uint8_t ReadInputs = 13;
inline constexpr std::uint8_t WritePortD = 14;
inline constexpr std::uint8_t Reset = 50;

/// A command code with its short name, and the short name of the firmware's answer to it for
/// the codes answerTo answers (null for the others).
struct CommandName {
    std::uint8_t code;
    const char* name;
    const char* answer;
};

/// Every code the board and the console use, in ascending order.
inline constexpr auto Commands = std::to_array<CommandName>({
    {StoreText, "text", nullptr},
    {ReadText, "read text", "text"},
    {ReadAdc, "A/D", "A/D"},
    {Status, "status", nullptr},
    {StoreClock, "clock", nullptr},
    {ReadInputs, "inputs", "inputs"},
    {WritePortD, "port D", nullptr},
    {Reset, "reset", nullptr},
});

/// The entry of `code` in Commands; null for a code the firmware does not know.
constexpr const CommandName* findCommand(std::uint8_t code) {
    const auto* found =
        std::find_if(Commands.begin(), Commands.end(),
                     [code](const CommandName& command) { return command.code == code; });
    return found == Commands.end() ? nullptr : found;
}

/// What the board's pins and memory hold for its answers.
struct Inputs {
    std::uint8_t adValue = 0;
    std::uint8_t inputBits = 0;
    std::span<const char> answerText; ///< copied from byte 2 on, as far as the report goes
};

/// The report the firmware sends back to a request with this command code, or nothing for a
/// code it does not answer.
inline std::optional<hid::Report> answerTo(std::uint8_t command, const Inputs& inputs) {
    hid::Report reply{};
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

} // namespace board::firmware
