#pragma once

namespace app {

/// Whether Qt has somewhere to show windows, as far as can be told before starting it: a
/// platform named by QT_QPA_PLATFORM or a -platform argument, or a display named by DISPLAY
/// or WAYLAND_DISPLAY. Without any, QApplication aborts; with one, whether it can be reached
/// is for Qt to find out.
bool DisplayNamed(int argc, const char* const* argv);

/// What the program says, on one line, instead of aborting where DisplayNamed is false.
inline constexpr const char* NoDisplayLine =
    "zov-usb-test: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
    "set); run it in a desktop session, or set QT_QPA_PLATFORM=offscreen to run it without one";

} // namespace app
