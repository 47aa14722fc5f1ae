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

/// Every control of the main window, once: SINGLE(class, name) for a single control,
/// ARRAY(class, name, length) for a control array, the class being the one the handlers reach
/// it as. It declares the members of Controls and ForEachControl visits them; LayoutTable.cpp
/// checks at compile time that the layout table builds exactly these controls.
#define ZOV_MAIN_FORM_CONTROLS(SINGLE, ARRAY)                                                      \
    /* Status band */                                                                              \
    SINGLE(QLabel, DateTime)                                                                       \
    SINGLE(LampShape, LED1)                                                                        \
    SINGLE(QLabel, Label6)                                                                         \
    SINGLE(QLabel, Label3)                                                                         \
    SINGLE(QLabel, Label2)                                                                         \
    SINGLE(LampShape, LED2)                                                                        \
    SINGLE(QPushButton, USB_Command)                                                               \
    SINGLE(QLineEdit, cmdUSB)                                                                      \
    SINGLE(QPushButton, btnSendText)                                                               \
    SINGLE(QLineEdit, WriteText)                                                                   \
    SINGLE(QTimer, Timer2)                                                                         \
    /* Device details */                                                                           \
    SINGLE(QGroupBox, Frame1)                                                                      \
    SINGLE(QListWidget, ListBox)                                                                   \
    SINGLE(QListWidget, ListBox2)                                                                  \
    /* Manual control */                                                                           \
    SINGLE(QGroupBox, Frame2)                                                                      \
    SINGLE(QPushButton, DisplayADC)                                                                \
    SINGLE(QPushButton, btnReadText)                                                               \
    SINGLE(QPushButton, btnReadInput)                                                              \
    SINGLE(QPushButton, btnWritePort)                                                              \
    SINGLE(QPushButton, btnWritePortClear)                                                         \
    SINGLE(QPushButton, btnHID_Disconnect)                                                         \
    SINGLE(QPushButton, btnHID_Connect)                                                            \
    SINGLE(QPushButton, btnExit)                                                                   \
    SINGLE(QLineEdit, txtWritePort)                                                                \
    /* Input status */                                                                             \
    SINGLE(QLabel, Label4)                                                                         \
    SINGLE(QLineEdit, Text1)                                                                       \
    ARRAY(QLabel, PORTA1OFF, InputLamps)                                                           \
    ARRAY(QLabel, PORTA1ON, InputLamps)                                                            \
    SINGLE(QFrame, Skinner1)                                                                       \
    /* Output, loop and clock */                                                                   \
    SINGLE(QPushButton, DateBut)                                                                   \
    SINGLE(QPushButton, TimeBut)                                                                   \
    SINGLE(QLabel, Label5)                                                                         \
    SINGLE(QPushButton, StartLoop)                                                                 \
    SINGLE(QPushButton, StopLoop)                                                                  \
    SINGLE(ClickSlider, Slider1)                                                                   \
    SINGLE(QLabel, Label1)                                                                         \
    SINGLE(QProgressBar, ProgressBar1)                                                             \
    SINGLE(QLabel, Label7)                                                                         \
    SINGLE(QPushButton, ClearBuffers)                                                              \
    /* Buffer table; N holds the row legends */                                                    \
    SINGLE(QLabel, Label8)                                                                         \
    SINGLE(QLabel, Label9)                                                                         \
    ARRAY(QLineEdit, BufferInBox, BufferRows)                                                      \
    ARRAY(QLineEdit, BufferOutBox, BufferRows)                                                     \
    ARRAY(QLabel, N, BufferRows)

/// Every control of the main window by name, as the handlers reach them. Filled by
/// BuildMainFormLayout; every pointer is set once it returns, and each control is also
/// a child of the window with the same objectName (arrays as `Name_i`).
struct Controls {
#define ZOV_SINGLE_MEMBER(Class, name) Class* name = nullptr;
#define ZOV_ARRAY_MEMBER(Class, name, length) std::array<Class*, length> name{};
    ZOV_MAIN_FORM_CONTROLS(ZOV_SINGLE_MEMBER, ZOV_ARRAY_MEMBER)
#undef ZOV_SINGLE_MEMBER
#undef ZOV_ARRAY_MEMBER
};

/// Calls `visit(name, member)` for every control of `controls` in the list's order; `member`
/// is the control's pointer, or for a control array the std::array of its elements.
template <class Visit> constexpr void ForEachControl(Controls& controls, Visit&& visit) {
#define ZOV_VISIT(Class, name, ...) visit(#name, controls.name);
    ZOV_MAIN_FORM_CONTROLS(ZOV_VISIT, ZOV_VISIT)
#undef ZOV_VISIT
}

#undef ZOV_MAIN_FORM_CONTROLS

/// Creates every control of the layout table on `form`, sets the window's own settings
/// (caption, fixed client size, back colour, font, icon) and the tab order, and answers the
/// controls by name. The table builds every control of Controls (checked at compile time);
/// it aborts with a message naming the control if one is not of the class Controls holds it
/// as, so a handler can never reach a missing control.
Controls BuildMainFormLayout(QWidget& form);

} // namespace window
