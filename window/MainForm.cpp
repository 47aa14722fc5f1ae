#include "window/MainForm.h"

#include "window/ClickSlider.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

namespace window {

MainForm::MainForm(hid::HidLayer& hid, QWidget* parent)
    : QWidget(parent), hid_(hid), router_(hid, *this), ui(window::BuildMainFormLayout(*this)) {
    connectHandlers();
    ConnectUnshapedBoxes();
    Form_Load();
}

MainForm::~MainForm() = default;

void MainForm::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void MainForm::connectHandlers() {
    const auto onClick = [this](QPushButton* button, void (MainForm::*handler)()) {
        connect(button, &QPushButton::clicked, this, handler);
    };
    onClick(ui.btnHID_Connect, &MainForm::btnHID_Connect_Click);
    onClick(ui.btnHID_Disconnect, &MainForm::btnHID_Disconnect_Click);
    onClick(ui.btnExit, &MainForm::btnExit_Click);
    onClick(ui.ClearBuffers, &MainForm::ClearBuffers_Click);
    onClick(ui.DisplayADC, &MainForm::DisplayADC_Click);
    onClick(ui.btnReadInput, &MainForm::btnReadInput_Click);
    onClick(ui.btnReadText, &MainForm::btnReadText_Click);
    onClick(ui.btnSendText, &MainForm::btnSendText_Click);
    onClick(ui.btnWritePort, &MainForm::btnWritePort_Click);
    onClick(ui.btnWritePortClear, &MainForm::btnWritePortClear_Click);
    onClick(ui.USB_Command, &MainForm::USB_Command_Click);
    onClick(ui.StartLoop, &MainForm::StartLoop_Click);
    onClick(ui.StopLoop, &MainForm::StopLoop_Click);
    onClick(ui.DateBut, &MainForm::DateBut_Click);
    onClick(ui.TimeBut, &MainForm::TimeBut_Click);
    connect(ui.Slider1, &window::ClickSlider::Click, this, &MainForm::Slider1_Click);
    connect(ui.Timer2, &QTimer::timeout, this, &MainForm::Timer2_Timer);
}

} // namespace window
