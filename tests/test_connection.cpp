// Start-up, plug and unplug, Connect/Disconnect/Exit and the device details.
#include "support/FormFixture.h"
#include "window/Colours.h"
#include "window/LampShape.h"

#include <QMessageBox>
#include <QTest>

namespace {

using testsupport::FormFixture;

class Connection : public FormFixture {};

/// The buttons that need the board, enabled and disabled as one group.
std::vector<QPushButton*> DeviceButtons(const window::Controls& ui) {
    return {ui.btnWritePort, ui.btnWritePortClear, ui.btnHID_Disconnect, ui.btnReadInput,
            ui.btnReadText};
}

TEST_F(Connection, StartUpAttachesProbesHandleZeroAndSendsCodeFifty) {
    ASSERT_GE(layer.calls.size(), 3u);
    EXPECT_EQ(layer.calls[0], "Connect");
    EXPECT_EQ(layer.connectedWindow, form.get());
    EXPECT_EQ(layer.calls[1], "Read");
    EXPECT_EQ(layer.readHandles.front(), 0); // handle 0, even though a board is known
    ASSERT_EQ(layer.writes.size(), 1u);
    hid::Report expected{};
    expected[1] = 50;
    EXPECT_EQ(layer.writes[0], expected);
    // The mirror was not refreshed after that send.
    EXPECT_EQ(ui().BufferOutBox[1]->text(), "0");
    EXPECT_EQ(form->bufferOut()[1], 50);
    EXPECT_FALSE(ui().btnHID_Connect->isEnabled());
    EXPECT_EQ(ui().DateBut->text(), "Clock Off");
}

TEST_F(Connection, FailedProbeShowsOfflineAndEveryButtonStaysClickable) {
    EXPECT_EQ(form->windowTitle(), "No HID Device Present");
    EXPECT_EQ(ui().Label6->text(), "OFFLINE");
    EXPECT_EQ(ui().LED1->fillColour(), window::colours::Red);
    for (QPushButton* button : {ui().btnWritePort, ui().btnWritePortClear, ui().btnHID_Disconnect,
                                ui().btnReadInput, ui().btnReadText, ui().btnExit})
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
}

TEST(ConnectionProbe, SuccessfulProbeShowsOnlineAndKeepsTheLayoutCaption) {
    testsupport::FakeHidLayer layer;
    layer.pendingReads.push_back({});
    window::MainForm form(layer);
    EXPECT_EQ(form.windowTitle(), "ZOV-USB Test Interface");
    EXPECT_EQ(form.controls().Label6->text(), "ONLINE");
    EXPECT_EQ(form.controls().LED1->fillColour(), window::colours::Green);
}

// A failed probe empties the device list, lines a library calling back during the probe put
// there included (here, the board's two).
TEST(ConnectionProbe, FailedProbeEmptiesTheDeviceList) {
    testsupport::FakeHidLayer layer;
    layer.devices[7] = {};
    layer.readAnswer = false;
    bool announced = false;
    layer.onCall = [&](const std::string& call) {
        if (call != "Read" || announced) return;
        announced = true;
        hid::HidEvent plugged(hid::HIDEventPlugged, 7);
        QCoreApplication::sendEvent(layer.connectedWindow, &plugged);
    };
    window::MainForm form(layer);
    EXPECT_EQ(form.controls().Label3->text(), "HID Handle # 7"); // the plug event was handled
    EXPECT_EQ(form.windowTitle(), "No HID Device Present");
    EXPECT_EQ(form.controls().ListBox->count(), 0);
}

TEST_F(Connection, BoardPluggedShowsOnlineWithCountHandleIdsAndNames) {
    layer.itemCount = 3;
    layer.devices[7].vendorName = "ZOV\x92s \x80"; // Windows-1252, as the reports' text
    layer.devices[7].productName = "";
    deliver(hid::HIDEventPlugged, 7);
    EXPECT_EQ(form->windowTitle(), "HID Device Online | HID Devices Found = 3");
    EXPECT_EQ(ui().Label6->text(), "ONLINE");
    EXPECT_EQ(ui().LED1->fillColour(), window::colours::Green);
    EXPECT_EQ(ui().Label3->text(), "HID Handle # 7");
    EXPECT_EQ(ui().Frame1->title(), "VID #4660 /  PID #1");
    EXPECT_EQ(listLines(ui().ListBox), (QStringList{" MFG: ZOV\u2019s \u20ac", " Product: "}));
    EXPECT_FALSE(ui().btnHID_Connect->isEnabled());
    EXPECT_TRUE(ui().btnReadText->isEnabled());
}

// The device details ask the vendor id first, then the product id: the order is set by the
// code, not left to the compiler within one expression.
TEST_F(Connection, DeviceDetailsAskTheVendorIdBeforeTheProductId) {
    deliver(hid::HIDEventPlugged, 7);
    const auto label = std::find(layer.calls.begin(), layer.calls.end(), "GetProductName");
    ASSERT_NE(label, layer.calls.end());
    const std::vector<std::string> after(label + 1, layer.calls.end());
    EXPECT_EQ(after, (std::vector<std::string>{"GetVendorID", "GetProductID", "GetItemCount"}));
}

// A second plug event for the board replaces its two lines rather than adding them again.
TEST_F(Connection, SecondPlugEventReplacesTheDeviceLines) {
    deliver(hid::HIDEventPlugged, 7);
    layer.devices[7].productName = "Board B";
    deliver(hid::HIDEventPlugged, 7);
    EXPECT_EQ(listLines(ui().ListBox), (QStringList{" MFG: ZOV", " Product: Board B"}));
}

TEST_F(Connection, NegativeHandleIsShownWithItsSign) {
    layer.devices[-5] = {};
    layer.boardHandle = -5;
    deliver(hid::HIDEventPlugged, -5);
    EXPECT_EQ(ui().Label3->text(), "HID Handle # -5");
}

TEST_F(Connection, NamesAreCutAtTheirFirstNulAndAt255Characters) {
    layer.devices[7].vendorName = std::string("AB\0CD", 5);
    layer.devices[7].productName = std::string(300, 'x');
    deliver(hid::HIDEventPlugged, 7);
    const QStringList lines = listLines(ui().ListBox);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], " MFG: AB");
    EXPECT_EQ(lines[1], " Product: " + QString(254, 'x')); // 255 bytes hold 254 and the NUL
}

// A node's name and what it says are the device's to choose: the message shows them as they
// are, never as markup.
TEST_F(Connection, DeviceProblemMessageShowsItsTextAsItIs) {
    const std::string message = "<img src=\"busy.png\"> <b>/dev/hidraw9</b> is busy";
    form->deviceProblem({hid::DeviceProblem::Kind::Busy, "/dev/hidraw9", message});
    auto* box = form->findChild<QMessageBox*>("DeviceProblemMessage");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QString::fromStdString(message));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
}

TEST_F(Connection, EventsForAnotherDeviceChangeNothing) {
    layer.devices[9] = {0x1234, 2};
    layer.devices[10] = {0x1235, 1}; // a check of the product id alone let this one in
    const QString title = form->windowTitle();
    for (const hid::Handle other : {9, 10}) {
        deliver(hid::HIDEventPlugged, other);
        EXPECT_EQ(form->windowTitle(), title) << other;
        EXPECT_EQ(ui().Label6->text(), "OFFLINE") << other;
        EXPECT_EQ(ui().ListBox->count(), 0) << other;
    }
    deliver(hid::HIDEventPlugged, 7);
    const QString online = form->windowTitle();
    for (const hid::Handle other : {9, 10}) {
        deliver(hid::HIDEventUnplugged, other);
        EXPECT_EQ(form->windowTitle(), online) << other;
        EXPECT_EQ(ui().Label6->text(), "ONLINE") << other;
        EXPECT_EQ(listLines(ui().ListBox), (QStringList{" MFG: ZOV", " Product: Board"})) << other;
    }
    // Both ids are asked even when the vendor id already differs.
    EXPECT_EQ(layer.count("GetVendorID"), layer.count("GetProductID"));
}

TEST_F(Connection, NoDeviceCountGivesOneLineAndLeavesTheRestAlone) {
    layer.itemCount = 0;
    deliver(hid::HIDEventPlugged, 7);
    EXPECT_EQ(listLines(ui().ListBox), QStringList{"No HID device found"});
    EXPECT_EQ(form->windowTitle(), "HID Device Online");
    EXPECT_EQ(ui().Label3->text(), "USB Handle");
}

TEST_F(Connection, UnplugEmptiesTheListButKeepsHandleAndIds) {
    deliver(hid::HIDEventPlugged, 7);
    deliver(hid::HIDEventUnplugged, 7);
    EXPECT_EQ(form->windowTitle(), "HID Device Unplugged");
    EXPECT_EQ(ui().ListBox->count(), 0);
    EXPECT_EQ(ui().Label6->text(), "OFFLINE");
    EXPECT_EQ(ui().LED1->fillColour(), window::colours::Red);
    EXPECT_EQ(ui().Label3->text(), "HID Handle # 7");
    EXPECT_EQ(ui().Frame1->title(), "VID #4660 /  PID #1");
    for (QPushButton* button : {ui().btnWritePort, ui().btnWritePortClear, ui().btnHID_Disconnect,
                                ui().btnReadInput, ui().btnReadText, ui().btnHID_Connect})
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();

    deliver(hid::HIDEventPlugged, 7); // plugged in again: the whole group comes back
    for (QPushButton* button : DeviceButtons(ui()))
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
}

TEST_F(Connection, ChangedArmsReadEventsForWhateverHandleTheLayerNames) {
    layer.boardHandle = 0; // board absent: still asked, with handle 0
    deliver(hid::HIDEventChanged, 123);
    ASSERT_EQ(layer.readNotifies.size(), 1u);
    EXPECT_EQ(layer.readNotifies[0], std::make_pair(hid::Handle{0}, true));
}

TEST_F(Connection, DisconnectAndConnectButtons) {
    deliver(hid::HIDEventPlugged, 7);
    ui().PORTA1ON[3]->show();
    QTest::mouseClick(ui().btnHID_Disconnect, Qt::LeftButton);
    EXPECT_EQ(form->windowTitle(), "Offline, Click HID Connect");
    EXPECT_EQ(ui().Label6->text(), "OFFLINE");
    EXPECT_EQ(ui().LED1->fillColour(), window::colours::Red);
    EXPECT_TRUE(ui().btnHID_Connect->isEnabled());
    for (QPushButton* button : DeviceButtons(ui()))
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_TRUE(ui().PORTA1ON[3]->isHidden());
    EXPECT_EQ(listLines(ui().ListBox), (QStringList{" MFG: ZOV", " Product: Board"})); // it stays
    EXPECT_EQ(layer.count("Disconnect"), 1);
    // Detached: a read event reaches no handler.
    const int reads = layer.count("Read");
    deliver(hid::HIDEventRead, 7);
    EXPECT_EQ(layer.count("Read"), reads);

    QTest::mouseClick(ui().btnHID_Connect, Qt::LeftButton);
    EXPECT_EQ(layer.count("Connect"), 2);
    EXPECT_FALSE(ui().btnHID_Connect->isEnabled());
    for (QPushButton* button : DeviceButtons(ui()))
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    EXPECT_EQ(form->windowTitle(), "Offline, Click HID Connect"); // only a plug event changes it
}

TEST_F(Connection, ExitDisconnectsThreeTimesAndClosesTheWindow) {
    QTest::mouseClick(ui().btnExit, Qt::LeftButton);
    EXPECT_EQ(layer.count("Disconnect"), 3);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Connection, CloseBoxDisconnectsTwice) {
    form->close();
    EXPECT_EQ(layer.count("Disconnect"), 2);
    EXPECT_FALSE(form->isVisible());
}

} // namespace
