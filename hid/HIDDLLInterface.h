#pragma once

#include "hid/HidLayer.h"

#include <QObject>
#include <QPointer>

namespace hid {

/// The window's side of the device events: the four handlers the router calls.
class HidEventSink {
public:
    virtual void OnPlugged(Handle pHandle) = 0;
    virtual void OnUnplugged(Handle pHandle) = 0;
    virtual void OnChanged() = 0;
    virtual void OnRead(Handle pHandle) = 0;

protected:
    ~HidEventSink() = default;
};

/// Ties one window to the HID layer. AttachHID connects the layer to the window and puts
/// an event filter in front of the window's own event handling; the filter turns each
/// HIDEventMessage into one handler call and then passes every event on unchanged.
/// DetachHID disconnects the layer and takes the filter away again.
class HIDDLLInterface final : public QObject {
public:
    HIDDLLInterface(HidLayer& layer, HidEventSink& sink);

    /// Connects the layer to `windowHandle`, then installs the filter; returns what Connect
    /// returned. While already attached it changes nothing and returns false.
    bool AttachHID(QObject* windowHandle);
    /// Disconnects the layer, then removes the filter; returns what Disconnect returned.
    /// Calling it again while detached only calls Disconnect again.
    bool DetachHID();

    /// The window last given to AttachHID; null once that window is gone.
    QObject* HostWindowHandle() const { return HostWindowHandle_; }
    bool isAttached() const { return attached_; }

protected:
    bool eventFilter(QObject* window, QEvent* event) override;

private:
    /// Dispatches a HIDEventMessage to its handler; answers false so that every event,
    /// the message included, goes on to the window unchanged.
    bool HIDWindowProc(QObject* window, QEvent* event);

    HidLayer& layer_;
    HidEventSink& sink_;
    QPointer<QObject> HostWindowHandle_;
    bool attached_ = false;
};

} // namespace hid
