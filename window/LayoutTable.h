#pragma once

#include <span>
#include <string>
#include <vector>

/// The main window's layout as data: the window's own settings and one row per control (or
/// per run of array elements). LayoutBuilder turns the rows into widgets; nothing else in
/// the program places, sizes, captions or colours a control at load.
namespace window::layout {

enum class Kind {
    Label,       ///< QLabel: opaque (button face by default), no border, word-wrapped, fixed size
    Button,      ///< QPushButton
    TextBox,     ///< QLineEdit
    ListBox,     ///< QListWidget
    Frame,       ///< QGroupBox, opaque (button face by default); may contain other controls
    Shape,       ///< LampShape: a filled round lamp
    Image,       ///< QLabel showing a lamp picture, transparent around it
    PictureBox,  ///< QFrame with a sunken panel border
    ProgressBar, ///< QProgressBar without text
    Slider,      ///< ClickSlider
    Timer,       ///< QTimer: precise, not started
};

/// Colours by name; Default leaves the toolkit's colour for that kind of control.
enum class Colour { Default, Black, Blue, Green, Red, Grey, ScrollBars, ButtonFace };

enum class Align { Left, Centre };

enum class Picture { None, LampLit, LampUnlit };

/// A font as the layout names it; the builder maps the face to an installed look-alike.
struct FontSpec {
    const char* face;
    double points;
    int weight;
};

inline constexpr FontSpec WindowFont{"MS Sans Serif", 8.25, 700};
inline constexpr FontSpec NormalFont{"MS Sans Serif", 8.25, 400};
inline constexpr FontSpec DateFont{"Times New Roman", 21.75, 700};
inline constexpr FontSpec TitleFont{"Verdana", 15.75, 700};
inline constexpr FontSpec DeviceListFont{"Arial", 8.25, 700};

inline constexpr int NoTabIndex = -1;

/// One control, or `count` elements of a control array. Positions are in twips (15 per
/// pixel) from the top-left of the container's client area. Element k of an array row has
/// index `index + k`, lies `stepLeft * k` / `stepTop * k` further on, and has tab index
/// `tabIndex + k`. In the text of an array row, "%1" stands for the element's index.
struct ControlRow {
    Kind kind;
    const char* name;
    int index = -1; ///< -1: a single control; else the first array index of the row
    int count = 1;
    const char* container = nullptr; ///< nullptr: the window; else a Frame's name
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int stepLeft = 0;
    int stepTop = 0;
    int tabIndex = NoTabIndex;
    const char* text = ""; ///< caption (labels, buttons, frames) or text (text boxes)
    FontSpec font = WindowFont;
    Colour fore = Colour::Default;
    Colour back = Colour::Default; ///< graphical buttons, lists, labels, frames
    Colour fill = Colour::Default; ///< shapes
    bool tabStop = true;
    bool graphical = false; ///< buttons: paint the back colour
    Align align = Align::Left;
    Picture picture = Picture::None;
    int minimum = 0; ///< bar and slider range
    int maximum = 0;
};

/// The window's own settings.
struct WindowSettings {
    const char* caption;
    int clientWidth; ///< twips
    int clientHeight;
    Colour back;
    FontSpec font;
};

/// One control after expanding array rows: `row` carries the element's own index, place
/// and tab index (count 1, no steps); `text` is its caption with "%1" filled in.
struct ControlSpec {
    ControlRow row;
    std::string text;
};

const WindowSettings& MainFormWindow();
std::span<const ControlRow> MainFormRows();
/// Every control of the layout, arrays expanded, in table order.
std::vector<ControlSpec> MainFormControls();

inline constexpr int TwipsPerPixel = 15;

} // namespace window::layout
