// The router between the HID layer's events and the window's four handlers.
#include "hid/HIDDLLInterface.h"
#include "hid/HidEvent.h"
#include "support/EventLoop.h"
#include "support/EventRecorder.h"
#include "support/FakeHidLayer.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

using testsupport::DrainEvents;
using testsupport::EventRecorder;
using testsupport::FakeHidLayer;

/// Logs each handler call into the same log as the window, so order can be checked.
struct RecordingSink final : hid::HidEventSink {
    explicit RecordingSink(std::vector<std::string>& log) : log(log) {}
    void OnPlugged(hid::Handle h) override { log.push_back("OnPlugged " + std::to_string(h)); }
    void OnUnplugged(hid::Handle h) override { log.push_back("OnUnplugged " + std::to_string(h)); }
    void OnChanged() override { log.push_back("OnChanged"); }
    void OnRead(hid::Handle h) override { log.push_back("OnRead " + std::to_string(h)); }
    std::vector<std::string>& log;
};

class Routing : public ::testing::Test {
protected:
    void post(std::uint32_t wParam, hid::Handle lParam) {
        QCoreApplication::postEvent(window.get(), new hid::HidEvent(wParam, lParam));
        DrainEvents();
    }

    std::vector<std::string> log;
    FakeHidLayer layer;
    RecordingSink sink{log};
    std::unique_ptr<EventRecorder> window = std::make_unique<EventRecorder>(&log);
    hid::HIDDLLInterface router{layer, sink};
};

TEST_F(Routing, EachEventCodeCallsItsHandlerFirstThenReachesTheWindowUnchanged) {
    router.AttachHID(window.get());
    post(hid::HIDEventPlugged, 11);
    post(hid::HIDEventUnplugged, -12);
    post(hid::HIDEventChanged, 99); // the handle is not passed on to OnChanged
    post(hid::HIDEventRead, 13);
    EXPECT_EQ(log, (std::vector<std::string>{"OnPlugged 11", "window 1:11", "OnUnplugged -12",
                                             "window 2:-12", "OnChanged", "window 3:99",
                                             "OnRead 13", "window 4:13"}));
}

TEST_F(Routing, CodesOutsideOneToFourCallNothingButStillReachTheWindow) {
    router.AttachHID(window.get());
    post(0, 5);
    post(5, 6);
    post(0xFFFFFFFFu, 7); // wraps to a huge number when 1 is taken away
    EXPECT_EQ(log, (std::vector<std::string>{"window 0:5", "window 5:6", "window 4294967295:7"}));
}

TEST_F(Routing, AttachConnectsTheWindowBeforeFilteringAndReturnsConnectsAnswer) {
    EXPECT_TRUE(router.AttachHID(window.get()));
    EXPECT_EQ(layer.connectedWindow, window.get());
    EXPECT_EQ(router.HostWindowHandle(), window.get());
    EXPECT_TRUE(router.isAttached());
}

TEST_F(Routing, DetachTwiceDisconnectsTwiceAndEventsAfterwardsRunNoHandler) {
    router.AttachHID(window.get());
    router.DetachHID();
    router.DetachHID();
    EXPECT_EQ(layer.count("Disconnect"), 2);
    post(hid::HIDEventRead, 3);
    EXPECT_EQ(log, (std::vector<std::string>{"window 4:3"}));
    // The window stays remembered after a detach.
    EXPECT_EQ(router.HostWindowHandle(), window.get());
}

TEST_F(Routing, AttachAfterDetachRoutesAgain) {
    router.AttachHID(window.get());
    router.DetachHID();
    router.AttachHID(window.get());
    EXPECT_EQ(layer.count("Connect"), 2);
    post(hid::HIDEventRead, 4);
    EXPECT_EQ(log, (std::vector<std::string>{"OnRead 4", "window 4:4"}));
}

// A second attach while attached changes nothing: one router, so every event reaches its
// handler once.
TEST_F(Routing, SecondAttachWhileAttachedChangesNothing) {
    router.AttachHID(window.get());
    EXPECT_FALSE(router.AttachHID(window.get()));
    EXPECT_EQ(layer.count("Connect"), 1);
    post(hid::HIDEventPlugged, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"OnPlugged 1", "window 1:1"}));
}

// The router notices when its window is gone: detaching then touches no freed memory.
TEST_F(Routing, ForgetsAWindowThatIsGone) {
    router.AttachHID(window.get());
    window.reset();
    EXPECT_EQ(router.HostWindowHandle(), nullptr);
    router.DetachHID();
    EXPECT_EQ(layer.count("Disconnect"), 1);
}

// AttachHID answers what Connect answered.
TEST_F(Routing, AttachConnectsBeforeFilteringAndAnswersWhatConnectAnswered) {
    layer.connectAnswer = false;
    layer.onCall = [&](const std::string& call) {
        if (call != "Connect") return;
        // Sent while Connect runs: the filter is not in place yet, so only the window sees it.
        hid::HidEvent plugged(hid::HIDEventPlugged, 5);
        QCoreApplication::sendEvent(window.get(), &plugged);
    };
    EXPECT_FALSE(router.AttachHID(window.get()));
    layer.onCall = nullptr;
    // The answer is only passed on: the filter is in place all the same.
    EXPECT_TRUE(router.isAttached());
    post(hid::HIDEventRead, 6);
    EXPECT_EQ(log, (std::vector<std::string>{"window 1:5", "OnRead 6", "window 4:6"}));
}

TEST_F(Routing, DetachAnswersWhatDisconnectAnswered) {
    router.AttachHID(window.get());
    layer.disconnectAnswer = false;
    EXPECT_FALSE(router.DetachHID());
    layer.disconnectAnswer = true;
    EXPECT_TRUE(router.DetachHID());
}

} // namespace
