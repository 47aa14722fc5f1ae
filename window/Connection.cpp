// Start-up, the board coming and going, Connect/Disconnect/Exit, the device details, and
// boards found that cannot be used.
#include "hid/CodePage1252.h"
#include "hid/HidLayer.h"
#include "protocol/Send.h"
#include "window/Colours.h"
#include "window/LampShape.h"
#include "window/MainForm.h"
#include "window/NoticeBox.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <array>
#include <cstring>

namespace window {

namespace {

constexpr std::size_t NameBufferLength = 255;

bool IsTheBoard(hid::HidLayer& hid, hid::Handle handle) {
    // Both ids are always asked, the product id even when the vendor id already differs.
    const int vendorId = hid.GetVendorID(handle);
    const int productId = hid.GetProductID(handle);
    return vendorId == protocol::DeviceVendorID && productId == protocol::DeviceProductID;
}

/// The name up to its first NUL, at most the buffer's length, read as Windows-1252 like the
/// reports' text.
QString NameText(const std::array<char, NameBufferLength>& buffer) {
    return hid::fromWindows1252(
        std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size())));
}

} // namespace

void MainForm::Form_Load() {
    router_.AttachHID(this);
    ui.btnHID_Connect->setEnabled(false);
    if (hid_.Read(0, BufferIn)) {
        ShowOnline(true);
    } else {
        setWindowTitle("No HID Device Present");
        ShowOnline(false);
        ui.ListBox->clear();
    }
    ClearBuffers_Click();
    ClearLed();
    ui.DateTime->setText(fncDateAndTime());
    ui.DateBut->setText("Clock Off");
    // The start-up report goes out without a mirror refresh: BufferOutBox(1) shows 0 until
    // the next sender.
    BufferOut[protocol::CommandIndex] = protocol::Code::Reset;
    protocol::Send(hid_, BufferOut);
}

void MainForm::Form_Unload() {
    btnHID_Disconnect_Click();
    router_.DetachHID();
}

void MainForm::btnExit_Click() {
    btnHID_Disconnect_Click();
    close();
}

void MainForm::btnHID_Connect_Click() {
    router_.AttachHID(this);
    ui.btnHID_Connect->setEnabled(false);
    EnableButtons();
}

void MainForm::btnHID_Disconnect_Click() {
    ui.btnHID_Connect->setEnabled(true);
    setWindowTitle("Offline, Click HID Connect");
    // The status text before the lamp here; plug, unplug and start-up set the lamp first.
    ui.Label6->setText("OFFLINE");
    ui.LED1->setFillColour(colours::Red);
    router_.DetachHID();
    DisableButtons();
    ClearLed();
}

void MainForm::OnPlugged(hid::Handle pHandle) {
    if (!IsTheBoard(hid_, pHandle)) return;
    setWindowTitle("HID Device Online");
    ShowOnline(true);
    ui.btnHID_Connect->setEnabled(false);
    EnableButtons();
    DisplayDevices();
}

void MainForm::OnUnplugged(hid::Handle pHandle) {
    if (!IsTheBoard(hid_, pHandle)) return;
    // Another board with the same ids is still attached, and the layer already answers with
    // it: the window goes on with that one rather than showing OFFLINE while it is polled.
    const hid::Handle remaining =
        hid_.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
    if (remaining != 0 && remaining != pHandle) {
        OnPlugged(remaining);
        return;
    }
    setWindowTitle("HID Device Unplugged");
    ui.ListBox->clear();
    ShowOnline(false);
    DisableButtons();
    ui.btnHID_Connect->setEnabled(false);
}

void MainForm::OnChanged() {
    const hid::Handle handle = hid_.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
    hid_.SetReadNotify(handle, true);
}

void MainForm::EnableButtons() {
    for (QPushButton* button : {ui.btnWritePort, ui.btnWritePortClear, ui.btnHID_Disconnect,
                                ui.btnReadInput, ui.btnReadText})
        button->setEnabled(true);
}

void MainForm::DisableButtons() {
    for (QPushButton* button : {ui.btnWritePort, ui.btnWritePortClear, ui.btnHID_Disconnect,
                                ui.btnReadInput, ui.btnReadText})
        button->setEnabled(false);
}

void MainForm::DisplayDevices() {
    ui.ListBox->clear();
    if (hid_.GetItemCount() == 0) {
        ui.ListBox->addItem("No HID device found");
        return;
    }
    const hid::Handle handle = hid_.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
    ui.Label3->setText("HID Handle # " + QString::number(handle));
    std::array<char, NameBufferLength> vendorName{};
    std::array<char, NameBufferLength> productName{};
    hid_.GetVendorName(handle, vendorName);
    hid_.GetProductName(handle, productName);
    // Asked one after the other: the operands of one expression may be asked in any order.
    const int vendorId = hid_.GetVendorID(handle);
    const int productId = hid_.GetProductID(handle);
    ui.Frame1->setTitle("VID #" + QString::number(vendorId) + " /  PID #" +
                        QString::number(productId));
    setWindowTitle(windowTitle() +
                   " | HID Devices Found = " + QString::number(hid_.GetItemCount()));
    ui.ListBox->addItem(" MFG: " + NameText(vendorName));
    ui.ListBox->addItem(" Product: " + NameText(productName));
}

void MainForm::ShowOnline(bool online) {
    ui.LED1->setFillColour(online ? colours::Green : colours::Red);
    ui.Label6->setText(online ? "ONLINE" : "OFFLINE");
}

void MainForm::deviceProblem(const hid::DeviceProblem& problem) {
    // The board stays OFFLINE; the message names the node and what fixes it.
    window::ShowNotice(problemMessage_, this, "DeviceProblemMessage",
                       QString::fromStdString(problem.message));
}

} // namespace window
