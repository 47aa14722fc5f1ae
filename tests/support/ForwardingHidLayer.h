#pragma once

#include "hid/HidLayer.h"

namespace testsupport {

/// Passes every call on to another layer. Observers derive from it and override only what
/// they watch, calling the base to pass the call on.
class ForwardingHidLayer : public hid::HidLayer {
public:
    explicit ForwardingHidLayer(hid::HidLayer& inner) : inner_(inner) {}

    bool Connect(QObject* window) override { return inner_.Connect(window); }
    bool Disconnect() override { return inner_.Disconnect(); }
    int GetItemCount() override { return inner_.GetItemCount(); }
    hid::Handle GetHandle(int vendorId, int productId) override {
        return inner_.GetHandle(vendorId, productId);
    }
    int GetVendorID(hid::Handle handle) override { return inner_.GetVendorID(handle); }
    int GetProductID(hid::Handle handle) override { return inner_.GetProductID(handle); }
    bool GetVendorName(hid::Handle handle, std::span<char> buffer) override {
        return inner_.GetVendorName(handle, buffer);
    }
    bool GetProductName(hid::Handle handle, std::span<char> buffer) override {
        return inner_.GetProductName(handle, buffer);
    }
    bool GetSerialNumber(hid::Handle handle, std::span<char> buffer) override {
        return inner_.GetSerialNumber(handle, buffer);
    }
    bool SetReadNotify(hid::Handle handle, bool enabled) override {
        return inner_.SetReadNotify(handle, enabled);
    }
    bool Read(hid::Handle handle, hid::Report& buffer) override {
        return inner_.Read(handle, buffer);
    }
    bool WriteEx(int vendorId, int productId, const hid::Report& buffer) override {
        return inner_.WriteEx(vendorId, productId, buffer);
    }

private:
    hid::HidLayer& inner_;
};

} // namespace testsupport
