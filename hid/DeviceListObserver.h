#pragma once

namespace hid {

/// Told whenever a device arrives or leaves, on the GUI thread, after the layer has updated
/// its list: GetHandle and deviceInfo already answer for the new state.
class DeviceListObserver {
public:
    virtual void devicesChanged() = 0;

protected:
    ~DeviceListObserver() = default;
};

} // namespace hid
