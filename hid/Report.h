#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hid {

/// One report as the console exchanges it with a device: byte 0 is the report id,
/// byte 1 the command byte, the rest payload.
inline constexpr std::size_t ReportSize = 33;
using Report = std::array<std::uint8_t, ReportSize>;

/// A device handle handed out by the HID layer. Positive for a device, 0 for none.
using Handle = std::int32_t;

} // namespace hid
