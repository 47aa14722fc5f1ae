#pragma once

#include <cstddef>
#include <cstdint>

/// Where the monitor finds what it charts in a 33-byte report. Written down here and not taken
/// from the console's protocol code on purpose, as the virtual board does: the monitor shows
/// what went over the wire, so a position the console got wrong shows up instead of being
/// shared.
namespace monitor::wire {

inline constexpr std::size_t Command = 1;
inline constexpr std::size_t AdValue = 19;   ///< in the answer to code 4
inline constexpr std::size_t InputBits = 20; ///< in the answer to code 13
inline constexpr std::size_t PortD = 21;     ///< in every report out, set by code 14

inline constexpr std::uint8_t ReadText = 2;
inline constexpr std::uint8_t ReadAdc = 4;
inline constexpr std::uint8_t ClockText = 6; ///< its text covers the port D byte
inline constexpr std::uint8_t ReadInputs = 13;
inline constexpr std::uint8_t WritePortD = 14;

} // namespace monitor::wire
