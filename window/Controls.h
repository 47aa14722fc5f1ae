#pragma once

#include <QPointer>
#include <array>
#include <cstddef>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;

namespace window {

class ClickSlider;
class LampShape;

inline constexpr std::size_t BufferRows = 25;
inline constexpr std::size_t InputLamps = 8;

/// Every control of the main window by name, as the handlers reach them. Filled by
/// BuildMainFormLayout; every pointer is set once it returns, and each control is also
/// a child of the window with the same objectName (arrays as `Name_i`).
struct Controls {
    // Status band
    QLabel* DateTime = nullptr;
    LampShape* LED1 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    LampShape* LED2 = nullptr;
    QPushButton* USB_Command = nullptr;
    QLineEdit* cmdUSB = nullptr;
    QPushButton* btnSendText = nullptr;
    QLineEdit* WriteText = nullptr;
    QTimer* Timer2 = nullptr;

    // Device details
    QGroupBox* Frame1 = nullptr;
    QListWidget* ListBox = nullptr;
    QListWidget* ListBox2 = nullptr;

    // Manual control
    QGroupBox* Frame2 = nullptr;
    QPushButton* DisplayADC = nullptr;
    QPushButton* btnReadText = nullptr;
    QPushButton* btnReadInput = nullptr;
    QPushButton* btnWritePort = nullptr;
    QPushButton* btnWritePortClear = nullptr;
    QPushButton* btnHID_Disconnect = nullptr;
    QPushButton* btnHID_Connect = nullptr;
    QPushButton* btnExit = nullptr;
    QLineEdit* txtWritePort = nullptr;

    // Input status
    QLabel* Label4 = nullptr;
    QLineEdit* Text1 = nullptr;
    std::array<QLabel*, InputLamps> PORTA1OFF{};
    std::array<QLabel*, InputLamps> PORTA1ON{};
    QFrame* Skinner1 = nullptr;

    // Output, loop and clock
    QPushButton* DateBut = nullptr;
    QPushButton* TimeBut = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* StartLoop = nullptr;
    QPushButton* StopLoop = nullptr;
    ClickSlider* Slider1 = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* ClearBuffers = nullptr;

    // Buffer table
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    std::array<QLineEdit*, BufferRows> BufferInBox{};
    std::array<QLineEdit*, BufferRows> BufferOutBox{};
    std::array<QLabel*, BufferRows> N{}; ///< row legends
};

/// Creates every control of the layout table on `form`, sets the window's own settings
/// (caption, fixed client size, back colour, font, icon) and the tab order, and answers the
/// controls by name. Aborts with a message naming the control if the table and Controls
/// disagree, so a handler can never reach a missing control.
Controls BuildMainFormLayout(QWidget& form);

} // namespace window
