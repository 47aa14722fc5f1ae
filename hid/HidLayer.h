#pragma once

#include "hid/Report.h"

#include <span>

class QObject;

namespace hid {

/// The HID layer as the window uses it. Every call is made on the GUI thread.
///
/// While connected, the layer posts HidEvent (HIDEventMessage) to the connected window:
/// Plugged then Changed for each arrival, Unplugged then Changed for each removal, and
/// one Read for each input report queued for a device whose read notification is on.
class HidLayer {
public:
    virtual ~HidLayer() = default;

    /// Starts posting events to `window`: first Plugged for every device already attached,
    /// then Changed. Returns true.
    virtual bool Connect(QObject* window) = 0;

    /// Stops all events, switches every read notification off and empties the input queues.
    /// Safe to call any number of times in a row. Returns true.
    virtual bool Disconnect() = 0;

    /// Number of HID devices the layer knows now; 0 when none.
    virtual int GetItemCount() = 0;

    /// Handle of the attached device with these ids (the earliest attached when there are
    /// several); 0 when none is attached.
    virtual Handle GetHandle(int vendorId, int productId) = 0;

    /// The device's ids; they keep answering after the device has left. 0 for a handle the
    /// layer never gave out.
    virtual int GetVendorID(Handle handle) = 0;
    virtual int GetProductID(Handle handle) = 0;

    /// Write the name as NUL-terminated Windows-1252 text into `buffer`, cut to fit. Answer false
    /// and write an empty text for a handle that is not attached.
    virtual bool GetVendorName(Handle handle, std::span<char> buffer) = 0;
    virtual bool GetProductName(Handle handle, std::span<char> buffer) = 0;
    virtual bool GetSerialNumber(Handle handle, std::span<char> buffer) = 0;

    /// From now on queue every input report of the device and post one Read event for each.
    /// False for a handle that is not attached.
    virtual bool SetReadNotify(Handle handle, bool enabled) = 0;

    /// Move the oldest queued input report of the device into `buffer` (all 33 bytes,
    /// byte 0 the report id). False, with `buffer` untouched, for handle 0, an unknown
    /// handle or an empty queue.
    virtual bool Read(Handle handle, Report& buffer) = 0;

    /// Send the 33 bytes of `buffer` (byte 0 the report id) as one output report to the
    /// device with these ids. Never waits for the device: a real board's report is queued and
    /// written by the device's own thread. False when no such device is attached, its write
    /// queue is full, or the write failed at once; true when it was sent or queued.
    virtual bool WriteEx(int vendorId, int productId, const Report& buffer) = 0;
};

} // namespace hid
