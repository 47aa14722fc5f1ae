#pragma once

#include "hid/DeviceManager.h"
#include "hid/ReportObserver.h"
#include "hidraw/HidrawSource.h"
#include "support/BoardNode.h"
#include "support/EventLoop.h"
#include "support/EventRecorder.h"
#include "support/FakeHidrawSystem.h"
#include "support/OpenGate.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <vector>

/// A hidraw source inside the real layer, on a fake system; the window is an event recorder,
/// and a listener hears every problem and report direction.
class HidrawSourceTest : public ::testing::Test {
public:
    static constexpr int BoardVendor = 0x1234;
    static constexpr int BoardProduct = 0x0001;
    static inline const hid::DeviceInfo Board{BoardVendor, BoardProduct,   "ZOV", "ZOV-USB",
                                              "B1",        "/dev/hidraw3", "",    {}};
    static inline const hid::DeviceInfo Keyboard{0x046d, 0xc31c,         "Logitech", "USB Keyboard",
                                                 "",     "/dev/hidraw0", "",         {}};
    static inline const hid::DeviceInfo Mouse{0x046d, 0xc077,         "Logitech", "USB Mouse",
                                              "",     "/dev/hidraw1", "",         {}};

    /// The board's descriptor with numbered reports, which the console cannot drive.
    static std::vector<std::uint8_t> WithReportId() {
        std::vector<std::uint8_t> bytes = testsupport::BoardReportDescriptor();
        bytes.insert(bytes.begin() + 7, {0x85, 0x01}); // Report ID (1) inside the collection
        return bytes;
    }

protected:
    /// Starts the source inside a layer and waits until the devices present are announced;
    /// re-scans only when the test calls rescan().
    hidraw::HidrawSource& start(hidraw::HidrawOptions options = manualOptions()) {
        startUnsettled(std::move(options));
        settle();
        return *source;
    }
    void startUnsettled(hidraw::HidrawOptions options) {
        auto owned = std::make_unique<hidraw::HidrawSource>(std::move(options), system.backend());
        source = owned.get();
        layer.Connect(&window);
        layer.addProblemObserver(listener);
        layer.addObserver(listener);
        layer.addSource(std::move(owned));
    }
    /// Starts the source with every open held at `gate`, and waits until one is.
    void startWithOpensHeldAt(testsupport::OpenGate& gate) {
        system.beforeAnswer = [&gate](const std::string&) { gate.pass(); };
        startUnsettled(manualOptions());
        ASSERT_TRUE(testsupport::WaitUntil([&] { return gate.holdsOne(); }));
    }
    /// Runs the event loop until the source has done all it was asked to.
    void settle() {
        ASSERT_TRUE(testsupport::WaitUntil([&] { return source->isSettled(); }));
    }
    void rescan() {
        source->rescan();
        settle();
    }
    void retryUnopened() {
        source->retryUnopened();
        settle();
    }
    /// The default options, opening the board's ids.
    static hidraw::HidrawOptions boardOptions() {
        hidraw::HidrawOptions options;
        options.openIds = {{BoardVendor, BoardProduct}};
        return options;
    }
    static hidraw::HidrawOptions manualOptions() {
        hidraw::HidrawOptions options = boardOptions();
        options.hotplug = hidraw::HidrawOptions::Hotplug::None;
        options.openRetryInterval = std::chrono::milliseconds(10);
        options.confirmInterval = std::chrono::milliseconds(10);
        return options;
    }
    hid::Handle board() { return layer.GetHandle(BoardVendor, BoardProduct); }
    /// Waits until the board's end of its node has received a report; empty if none came.
    std::vector<std::uint8_t> boardReceives(const std::string& node = Board.path) {
        std::vector<std::uint8_t> bytes(64);
        ssize_t length = -1;
        testsupport::WaitUntil([&] {
            length = ::recv(system.boardEnd.at(node), bytes.data(), bytes.size(), MSG_DONTWAIT);
            return length >= 0;
        });
        bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return bytes;
    }

    /// Every problem the layer passed on, and every report's direction, as the window and the
    /// trace hear of them.
    struct Listener final : hid::DeviceProblemObserver, hid::ReportObserver {
        void deviceProblem(const hid::DeviceProblem& problem) override {
            problems.push_back(problem);
        }
        void record(hid::ReportDirection direction, hid::Handle,
                    const hid::Report& report) override {
            directions.push_back(std::string(hid::traceWord(direction)) + " " +
                                 std::to_string(report[1]));
        }
        std::vector<hid::DeviceProblem> problems;
        std::vector<std::string> directions;
    };

    testsupport::FakeHidrawSystem system;
    testsupport::EventRecorder window;
    Listener listener;
    hid::DeviceManager layer;
    hidraw::HidrawSource* source = nullptr;
};
