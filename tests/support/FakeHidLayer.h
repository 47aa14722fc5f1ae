#pragma once

#include "hid/HidLayer.h"

#include <QObject>
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

/// A HID layer that records every call and answers what the test sets up.
class FakeHidLayer final : public hid::HidLayer {
public:
    struct FakeDevice {
        int vendorId = 0x1234;
        int productId = 1;
        std::string vendorName = "ZOV";
        std::string productName = "Board";
    };

    // What the layer answers.
    std::map<hid::Handle, FakeDevice> devices;
    int itemCount = 1;
    hid::Handle boardHandle = 7;
    bool readAnswer = true;
    bool connectAnswer = true;
    bool disconnectAnswer = true;
    std::deque<hid::Report> pendingReads;
    /// Runs inside every call, after it is recorded and before it answers: a library that
    /// calls the window back synchronously.
    std::function<void(const std::string& call)> onCall;

    // What it was asked.
    std::vector<std::string> calls;
    std::vector<hid::Report> writes;
    std::vector<hid::Handle> readHandles;
    std::vector<std::pair<hid::Handle, bool>> readNotifies;
    QObject* connectedWindow = nullptr;

    int count(const std::string& call) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    bool Connect(QObject* window) override {
        record("Connect");
        connectedWindow = window;
        return connectAnswer;
    }
    bool Disconnect() override {
        record("Disconnect");
        return disconnectAnswer;
    }
    int GetItemCount() override {
        record("GetItemCount");
        return itemCount;
    }
    hid::Handle GetHandle(int, int) override {
        record("GetHandle");
        return boardHandle;
    }
    int GetVendorID(hid::Handle handle) override {
        record("GetVendorID");
        return devices.count(handle) ? devices[handle].vendorId : 0;
    }
    int GetProductID(hid::Handle handle) override {
        record("GetProductID");
        return devices.count(handle) ? devices[handle].productId : 0;
    }
    bool GetVendorName(hid::Handle handle, std::span<char> buffer) override {
        record("GetVendorName");
        return copy(devices.count(handle) ? devices[handle].vendorName : "", buffer);
    }
    bool GetProductName(hid::Handle handle, std::span<char> buffer) override {
        record("GetProductName");
        return copy(devices.count(handle) ? devices[handle].productName : "", buffer);
    }
    bool GetSerialNumber(hid::Handle, std::span<char> buffer) override {
        record("GetSerialNumber");
        return copy("", buffer);
    }
    bool SetReadNotify(hid::Handle handle, bool enabled) override {
        record("SetReadNotify");
        readNotifies.emplace_back(handle, enabled);
        return true;
    }
    bool Read(hid::Handle handle, hid::Report& buffer) override {
        record("Read");
        readHandles.push_back(handle);
        if (!readAnswer || pendingReads.empty()) return false;
        buffer = pendingReads.front();
        pendingReads.pop_front();
        return true;
    }
    bool WriteEx(int vendorId, int productId, const hid::Report& buffer) override {
        record("WriteEx " + std::to_string(vendorId) + " " + std::to_string(productId));
        writes.push_back(buffer);
        return true;
    }

private:
    void record(const std::string& call) {
        calls.push_back(call);
        if (onCall) onCall(call);
    }
    static bool copy(const std::string& text, std::span<char> buffer) {
        const std::size_t length = std::min(text.size(), buffer.size() - 1);
        std::memcpy(buffer.data(), text.data(), length);
        buffer[length] = '\0';
        return true;
    }
};

} // namespace testsupport
