#include "hid/HIDDLLInterface.h"

#include "hid/HidEvent.h"

namespace hid {

HIDDLLInterface::HIDDLLInterface(HidLayer& layer, HidEventSink& sink)
    : layer_(layer), sink_(sink) {}

bool HIDDLLInterface::AttachHID(QObject* windowHandle) {
    // One filter per window: a second attach would route every event twice.
    if (attached_) return false;
    HostWindowHandle_ = windowHandle;
    const bool flag = layer_.Connect(windowHandle);
    windowHandle->installEventFilter(this);
    attached_ = true;
    return flag;
}

bool HIDDLLInterface::DetachHID() {
    const bool flag = layer_.Disconnect();
    if (HostWindowHandle_) HostWindowHandle_->removeEventFilter(this);
    attached_ = false;
    return flag;
}

bool HIDDLLInterface::eventFilter(QObject* window, QEvent* event) {
    return HIDWindowProc(window, event);
}

bool HIDDLLInterface::HIDWindowProc(QObject* window, QEvent* event) {
    // An event for a window that is gone, or another window, is not ours to route.
    if (event->type() != HidEvent::messageType() || window != HostWindowHandle_) return false;
    const auto* message = static_cast<const HidEvent*>(event);
    // Codes 1 to 4 call their handler; any other code calls nothing.
    switch (message->wParam()) {
    case HIDEventPlugged:
        sink_.OnPlugged(message->lParam());
        break;
    case HIDEventUnplugged:
        sink_.OnUnplugged(message->lParam());
        break;
    case HIDEventChanged:
        sink_.OnChanged();
        break;
    case HIDEventRead:
        sink_.OnRead(message->lParam());
        break;
    }
    return false;
}

} // namespace hid
