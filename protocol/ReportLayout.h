#pragma once

#include "hid/Report.h"

#include <cstddef>
#include <cstdint>

/// The reports the console exchanges with the board: 33 bytes, a report id, a command
/// byte and a payload at fixed positions.
namespace protocol {

using hid::Report;
using hid::ReportSize;

/// The one board the console serves.
inline constexpr int DeviceVendorID = 0x1234;
inline constexpr int DeviceProductID = 0x0001;

// Byte positions.
inline constexpr std::size_t CommandIndex = 1;
inline constexpr std::size_t TextIndex = 2;         ///< first character of any text payload
inline constexpr std::size_t SendTextLength = 17;   ///< command 1: indexes 2 to 18
inline constexpr std::size_t AnswerTextLength = 16; ///< answer 2: indexes 2 to 17
inline constexpr std::size_t ClockTextLength = 23;  ///< command 6: indexes 2 to 24
inline constexpr std::size_t AdValueIndex = 19;     ///< answer 4
inline constexpr std::size_t InputBitsIndex = 20;   ///< answer 13
inline constexpr std::size_t PortWriteIndex = 21;   ///< command 14
inline constexpr std::size_t LoopFlagIndex = 23;    ///< 1 while the polling loop runs

/// Indexes 0 to 24 are the ones the window shows.
inline constexpr std::size_t MirroredBytes = 25;

/// Command codes, as they stand at CommandIndex.
namespace Code {
inline constexpr std::uint8_t SendText = 1;
inline constexpr std::uint8_t ReadText = 2;
inline constexpr std::uint8_t ReadAdc = 4;
inline constexpr std::uint8_t Status = 5; ///< sent by the board, ignored by the console
inline constexpr std::uint8_t DateTime = 6;
inline constexpr std::uint8_t ReadInput = 13;
inline constexpr std::uint8_t WritePort = 14;
inline constexpr std::uint8_t Reset = 50;
} // namespace Code

inline constexpr std::uint8_t LoopRunning = 1;
inline constexpr std::uint8_t LoopStopped = 0;

} // namespace protocol
