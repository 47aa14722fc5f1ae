#pragma once

class QLabel;
class QWidget;

namespace stationwindow {

/// A word-wrapped label of `pixels` high text that shows what it is given as plain text, never
/// as markup: the station's labels carry text from boards and plans. `name` is its object name.
QLabel* PlainLabel(QWidget* parent, int pixels, bool bold, const char* name = "");

} // namespace stationwindow
