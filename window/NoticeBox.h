#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace window {

/// Shows `text` in the window's message box `box`, which is made on first use with
/// `objectName`; a later text replaces the one shown. The text shows as it is, never as
/// markup. Not modal: a running loop and the board's answers go on while the message is up.
/// It shows beside `parent` where the program places windows (PlaceBeside), else where the
/// compositor puts it.
void ShowNotice(QMessageBox*& box, QWidget* parent, const char* objectName, const QString& text);

} // namespace window
