#pragma once

#include "hid/DeviceProblem.h"
#include "hid/HIDDLLInterface.h"
#include "hid/HidLayer.h"
#include "protocol/ReportLayout.h"
#include "window/Controls.h"
#include "window/RepaintPacer.h"

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>

class QMessageBox;

namespace window {

/// The console's one window. It owns both report buffers and every control; its handlers
/// follow one pattern: write the named bytes of BufferOut, send the whole buffer, refresh
/// the output mirror. Device events arrive only through the HID router (OnPlugged,
/// OnUnplugged, OnChanged, OnRead).
///
/// The handlers live beside what they serve: window/Connection.cpp, window/InputReports.cpp
/// and window/BufferMirror.cpp; commands/DeviceCommands.cpp, commands/PollingLoop.cpp and
/// commands/DateAndTime.cpp.
class MainForm final : public QWidget, public hid::HidEventSink, public hid::DeviceProblemObserver {
    Q_OBJECT

public:
    /// Builds the window and runs Form_Load; `hid` must outlive the window.
    explicit MainForm(hid::HidLayer& hid, QWidget* parent = nullptr);
    ~MainForm() override;

    const protocol::Report& bufferIn() const { return BufferIn; }
    const protocol::Report& bufferOut() const { return BufferOut; }
    const window::Controls& controls() const { return ui; }

    // Connection
    void OnPlugged(hid::Handle pHandle) override;
    void OnUnplugged(hid::Handle pHandle) override;
    void OnChanged() override;
    void EnableButtons();
    void DisableButtons();
    void DisplayDevices();
    /// A board was found that cannot be used: says why in a message beside the window.
    void deviceProblem(const hid::DeviceProblem& problem) override;

    // Input reports
    void OnRead(hid::Handle pHandle) override;
    /// The bits of DeciValue as "0"/"1", most significant first. Widens NoOfBits in steps of
    /// 8 until the value fits and leaves the widened count in the caller's variable.
    static QString DecToBin(std::uint8_t DeciValue, std::int16_t& NoOfBits);

    // Mirrors and reset
    void ClearBuffers_Click();
    void ClearLed();

    // Commands and loop
    void DisplayADC_Click();
    void Timer2_Timer();
    /// The date, two blanks, the time, in the host's short date and long time forms, from one
    /// reading of the clock.
    QString fncDateAndTime() const;
    /// The clock fncDateAndTime reads; the system clock unless set.
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock) { clock_ = std::move(clock); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectHandlers();

    // Connection
    void Form_Load();
    void Form_Unload();
    void btnExit_Click();
    void btnHID_Connect_Click();
    void btnHID_Disconnect_Click();
    void ShowOnline(bool online);

    // Mirrors
    /// The mirror boxes and Text1 show texts laid out unshaped; what is typed into them is not.
    void ConnectUnshapedBoxes();
    void ShowBufferIn();
    void ShowBufferOut();

    // Commands
    void btnReadInput_Click();
    void btnReadText_Click();
    void btnSendText_Click();
    void btnWritePort_Click();
    void btnWritePortClear_Click();
    void Slider1_Click();
    void USB_Command_Click();
    void SendBufferOut();
    void ShowPortOutput();
    void ReportBadNumber(const QString& field);

    // Loop and clock
    void StartLoop_Click();
    void StopLoop_Click();
    void DateBut_Click();
    void TimeBut_Click();
    void SendDateTime(const QString& dateAndTime);
    void SetCommandButtonsEnabled(bool enabled);

    hid::HidLayer& hid_;
    hid::HIDDLLInterface router_;
    protocol::Report BufferIn{};
    protocol::Report BufferOut{};
    window::Controls ui;
    window::RepaintPacer repaintPacer_{*this};
    QMessageBox* numberMessage_ = nullptr;
    QMessageBox* problemMessage_ = nullptr;
    Clock clock_ = [] { return QDateTime::currentDateTime(); };
};

} // namespace window
