#include "window/LayoutTable.h"

#include "window/LayoutMatchesControls.h"

#include <array>

namespace window::layout {

namespace {

// clang-format off
const WindowSettings Window{
    .caption = "ZOV-USB Test Interface",
    .clientWidth = 12270,
    .clientHeight = 12525,
    .back = Colour::ScrollBars,
    .font = WindowFont,
};

// Rows run down the window's columns: status band, device details, manual control, input
// status, output/loop/clock, buffer table. Within the windowless controls the table order is
// also their stacking order, so every PORTA1ON row follows its PORTA1OFF row.
constexpr auto Rows = std::to_array<ControlRow>({
    // Status band
    {.kind = Kind::Label, .name = "DateTime", .left = 120, .top = 240, .width = 6015, .height = 495,
     .tabIndex = 26, .text = "DateTime", .font = DateFont, .fore = Colour::Black},
    {.kind = Kind::Shape, .name = "LED1", .left = 240, .top = 720, .width = 255, .height = 615,
     .fill = Colour::Red},
    {.kind = Kind::Label, .name = "Label6", .left = 720, .top = 960, .width = 855, .height = 255,
     .tabIndex = 12, .text = "HID ", .font = NormalFont, .align = Align::Centre},
    {.kind = Kind::Label, .name = "Label3", .left = 1800, .top = 960, .width = 2055, .height = 375,
     .tabIndex = 13, .text = "USB Handle", .font = NormalFont, .fore = Colour::Black},
    {.kind = Kind::Label, .name = "Label2", .left = 4080, .top = 1200, .width = 855, .height = 255,
     .tabIndex = 19, .text = "Data Strobe", .font = NormalFont, .align = Align::Centre},
    {.kind = Kind::Shape, .name = "LED2", .left = 5280, .top = 1080, .width = 255, .height = 615,
     .fill = Colour::Grey},
    {.kind = Kind::Button, .name = "USB_Command", .left = 120, .top = 1560, .width = 1815,
     .height = 375, .tabIndex = 15, .text = "Send USB Command", .font = NormalFont},
    {.kind = Kind::TextBox, .name = "cmdUSB", .left = 2040, .top = 1560, .width = 495,
     .height = 315, .tabIndex = 16, .text = "4", .font = NormalFont},
    {.kind = Kind::Button, .name = "btnSendText", .left = 120, .top = 2160, .width = 1455,
     .height = 375, .tabIndex = 21, .text = "Send Text", .font = NormalFont},
    {.kind = Kind::TextBox, .name = "WriteText", .left = 120, .top = 2520, .width = 1935,
     .height = 375, .tabIndex = 20, .text = "Midi Char Test!!", .font = NormalFont},
    {.kind = Kind::Timer, .name = "Timer2", .left = 2400, .top = 2880},

    // Device details
    {.kind = Kind::Frame, .name = "Frame1", .left = 3000, .top = 1800, .width = 3255,
     .height = 855, .tabIndex = 8, .text = "USB Device Details", .font = NormalFont},
    {.kind = Kind::ListBox, .name = "ListBox", .left = 3240, .top = 2040, .width = 2775,
     .height = 480, .tabIndex = 7, .font = DeviceListFont, .fore = Colour::Green,
     .back = Colour::Black, .tabStop = false},
    {.kind = Kind::ListBox, .name = "ListBox2", .left = 3240, .top = 3000, .width = 2895,
     .height = 1620, .tabIndex = 17, .fore = Colour::Green, .back = Colour::Black},

    // Manual control: two buttons inside Frame2, six of the window's own above it
    {.kind = Kind::Frame, .name = "Frame2", .left = 120, .top = 3000, .width = 1815,
     .height = 3375, .tabIndex = 9, .text = "Manual Control", .font = NormalFont},
    {.kind = Kind::Button, .name = "DisplayADC", .container = "Frame2", .left = 120, .top = 240,
     .width = 1575, .height = 375, .tabIndex = 22, .text = "Display ADC", .font = NormalFont},
    {.kind = Kind::Button, .name = "btnReadText", .container = "Frame2", .left = 120, .top = 600,
     .width = 1575, .height = 375, .tabIndex = 18, .text = "Read Text", .font = NormalFont},
    {.kind = Kind::Button, .name = "btnReadInput", .left = 240, .top = 3960, .width = 1575,
     .height = 375, .tabIndex = 6, .text = "Read Input", .font = NormalFont, .tabStop = false},
    {.kind = Kind::Button, .name = "btnWritePort", .left = 240, .top = 4335, .width = 1575,
     .height = 375, .tabIndex = 0, .text = "PORTD Write", .font = NormalFont, .tabStop = false},
    {.kind = Kind::Button, .name = "btnWritePortClear", .left = 240, .top = 4710, .width = 1575,
     .height = 375, .tabIndex = 1, .text = "PORTD OFF", .font = NormalFont, .tabStop = false},
    {.kind = Kind::Button, .name = "btnHID_Disconnect", .left = 240, .top = 5085, .width = 1575,
     .height = 375, .tabIndex = 4, .text = "HID Disconnect", .font = NormalFont,
     .tabStop = false},
    {.kind = Kind::Button, .name = "btnHID_Connect", .left = 240, .top = 5460, .width = 1575,
     .height = 375, .tabIndex = 2, .text = "HID Connect", .font = NormalFont, .tabStop = false},
    {.kind = Kind::Button, .name = "btnExit", .left = 240, .top = 5835, .width = 1575,
     .height = 375, .tabIndex = 3, .text = "Exit", .font = NormalFont, .tabStop = false},
    {.kind = Kind::TextBox, .name = "txtWritePort", .left = 2040, .top = 4320, .width = 495,
     .height = 405, .tabIndex = 14, .text = "255", .font = NormalFont},

    // Input status
    {.kind = Kind::Label, .name = "Label4", .left = 2520, .top = 4920, .width = 2295,
     .height = 255, .tabIndex = 10, .text = "PIC Input Status", .font = NormalFont,
     .fore = Colour::Black},
    {.kind = Kind::TextBox, .name = "Text1", .left = 2520, .top = 5280, .width = 2295,
     .height = 375, .tabIndex = 25, .text = "Text1", .font = NormalFont},
    {.kind = Kind::Image, .name = "PORTA1OFF", .index = 0, .count = 8, .left = 2160, .top = 5760,
     .width = 420, .height = 420, .stepLeft = 360, .picture = Picture::LampUnlit},
    {.kind = Kind::Image, .name = "PORTA1ON", .index = 0, .count = 8, .left = 2160, .top = 5760,
     .width = 420, .height = 420, .stepLeft = 360, .picture = Picture::LampLit},
    {.kind = Kind::PictureBox, .name = "Skinner1", .left = 5280, .top = 4800, .width = 1200,
     .height = 480, .tabIndex = 110},

    // Output, loop and clock
    {.kind = Kind::Button, .name = "DateBut", .left = 5520, .top = 6120, .width = 855,
     .height = 735, .tabIndex = 80, .text = "Clock ", .back = Colour::ButtonFace,
     .graphical = true},
    {.kind = Kind::Button, .name = "TimeBut", .left = 5520, .top = 7080, .width = 855,
     .height = 735, .tabIndex = 81, .text = "Off", .back = Colour::ButtonFace,
     .graphical = true},
    {.kind = Kind::Label, .name = "Label5", .left = 1320, .top = 6360, .width = 3615,
     .height = 375, .tabIndex = 11, .text = "PIC Output Status", .font = NormalFont,
     .fore = Colour::Black},
    {.kind = Kind::Button, .name = "StartLoop", .left = 240, .top = 6480, .width = 735,
     .height = 615, .tabIndex = 28, .text = "Start Loop", .back = Colour::ScrollBars,
     .graphical = true},
    {.kind = Kind::Button, .name = "StopLoop", .left = 240, .top = 7200, .width = 735,
     .height = 615, .tabIndex = 29, .text = "Stop Loop", .back = Colour::Red,
     .graphical = true},
    {.kind = Kind::Slider, .name = "Slider1", .left = 1200, .top = 6720, .width = 3975,
     .height = 375, .tabIndex = 23, .minimum = 0, .maximum = 255},
    {.kind = Kind::Label, .name = "Label1", .left = 1200, .top = 7200, .width = 2415,
     .height = 255, .tabIndex = 5, .text = "A to D = RA2", .font = NormalFont,
     .fore = Colour::Black},
    {.kind = Kind::ProgressBar, .name = "ProgressBar1", .left = 1200, .top = 7560, .width = 3735,
     .height = 255, .tabIndex = 24, .minimum = 0, .maximum = 255},
    {.kind = Kind::Label, .name = "Label7", .left = 120, .top = 8040, .width = 3495,
     .height = 855, .tabIndex = 27, .text = "ZOV USB Test Interface", .font = TitleFont,
     .fore = Colour::Blue},
    {.kind = Kind::Button, .name = "ClearBuffers", .left = 4200, .top = 8160, .width = 855,
     .height = 615, .tabIndex = 107, .text = "Clear Buffer"},

    // Buffer table: row i mirrors byte i of both buffers, its legend N(i) at the left
    {.kind = Kind::Label, .name = "Label8", .left = 9120, .top = 120, .width = 1335,
     .height = 255, .tabIndex = 108, .text = "BufferInBox"},
    {.kind = Kind::Label, .name = "Label9", .left = 10560, .top = 120, .width = 1335,
     .height = 375, .tabIndex = 109, .text = "BufferOutBox"},
    {.kind = Kind::TextBox, .name = "BufferInBox", .index = 0, .count = 25, .left = 9120,
     .top = 480, .width = 1215, .height = 375, .stepTop = 480, .tabIndex = 30,
     .text = "BufferInBox0"},
    {.kind = Kind::TextBox, .name = "BufferOutBox", .index = 0, .count = 25, .left = 10560,
     .top = 480, .width = 1215, .height = 375, .stepTop = 480, .tabIndex = 55,
     .text = "BufferOutBox"},
    {.kind = Kind::Label, .name = "N", .index = 0, .left = 6720, .top = 600, .width = 1575,
     .height = 255, .tabIndex = 82, .text = "0 - USB Start Byte"},
    {.kind = Kind::Label, .name = "N", .index = 1, .left = 6720, .top = 1080, .width = 2055,
     .height = 255, .tabIndex = 83, .text = "1 - USB Command Byte"},
    {.kind = Kind::Label, .name = "N", .index = 2, .count = 17, .left = 8040, .top = 1560,
     .width = 255, .height = 255, .stepTop = 480, .tabIndex = 84, .text = "%1"},
    {.kind = Kind::Label, .name = "N", .index = 19, .left = 6960, .top = 9720, .width = 1695,
     .height = 255, .tabIndex = 101, .text = "19 - A to D Value"},
    {.kind = Kind::Label, .name = "N", .index = 20, .left = 6840, .top = 10200, .width = 1815,
     .height = 255, .tabIndex = 102, .text = "20 - Port Input Value"},
    {.kind = Kind::Label, .name = "N", .index = 21, .left = 6840, .top = 10680, .width = 2055,
     .height = 255, .tabIndex = 103, .text = "21 - PORT Write Value"},
    {.kind = Kind::Label, .name = "N", .index = 22, .count = 3, .left = 8040, .top = 11160,
     .width = 255, .height = 255, .stepTop = 480, .tabIndex = 104, .text = "%1"},
});
// clang-format on

static_assert(BuildsExactlyTheControls(Rows),
              "the layout table must build exactly the controls of window::Controls: each "
              "single control in one row, each array element once, no control besides");

std::string ElementText(const char* text, int index) {
    std::string result = text;
    const auto at = result.find("%1");
    if (at != std::string::npos) result.replace(at, 2, std::to_string(index));
    return result;
}

} // namespace

const WindowSettings& MainFormWindow() {
    return Window;
}

std::span<const ControlRow> MainFormRows() {
    return Rows;
}

std::vector<ControlSpec> MainFormControls() {
    std::vector<ControlSpec> controls;
    for (const ControlRow& row : Rows) {
        for (int k = 0; k < row.count; ++k) {
            ControlRow element = row;
            element.count = 1;
            element.stepLeft = element.stepTop = 0;
            element.left = row.left + row.stepLeft * k;
            element.top = row.top + row.stepTop * k;
            if (row.index >= 0) element.index = row.index + k;
            if (row.tabIndex != NoTabIndex) element.tabIndex = row.tabIndex + k;
            controls.push_back({element, ElementText(row.text, element.index)});
        }
    }
    return controls;
}

} // namespace window::layout
