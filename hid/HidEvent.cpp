#include "hid/HidEvent.h"

namespace hid {

HidEvent::HidEvent(std::uint32_t wParam, Handle lParam)
    : QEvent(messageType()), wParam_(wParam), lParam_(lParam) {}

QEvent::Type HidEvent::messageType() {
    // 0x80C8 lies in Qt's user range; registering it keeps anyone else from taking it.
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(HIDEventMessage));
    return type;
}

} // namespace hid
