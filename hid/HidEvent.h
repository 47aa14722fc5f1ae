#pragma once

#include "hid/Report.h"

#include <QEvent>
#include <cstdint>

namespace hid {

/// The one message the HID layer posts to the connected window.
inline constexpr int HIDEventMessage = 0x80C8;

/// Event codes carried in the message's first parameter (wParam).
inline constexpr std::uint32_t HIDEventPlugged = 1;
inline constexpr std::uint32_t HIDEventUnplugged = 2;
inline constexpr std::uint32_t HIDEventChanged = 3;
inline constexpr std::uint32_t HIDEventRead = 4;

/// HIDEventMessage as a posted Qt event: the event code and the device handle, by value.
class HidEvent final : public QEvent {
public:
    HidEvent(std::uint32_t wParam, Handle lParam);

    /// The Qt event type of HIDEventMessage (registered on first use).
    static QEvent::Type messageType();

    std::uint32_t wParam() const { return wParam_; }
    Handle lParam() const { return lParam_; }

private:
    std::uint32_t wParam_;
    Handle lParam_;
};

} // namespace hid
