#pragma once

#include <QString>
#include <cstdint>

class QLabel;
class QWidget;

/// The labels the monitor's panels are built of.
namespace monitor {

/// The widest text of a figure that counts reports a second or answers in the span.
inline const QString WidestRate = QStringLiteral("00000");

/// A number's label named `name`, as wide as `widest`.
QLabel* figure(QWidget* parent, const QString& name, const QString& widest);

/// A label for text a board or a file name supplies, shown as it is and never read as markup:
/// an <img> in a product name would have the label load the file it names.
QLabel* plainLabel(QWidget* parent);

/// A command code's caption, the code and its short name: "4 A/D".
QString codeCaption(std::uint8_t code, const char* name);

/// A column's bold heading.
QLabel* heading(const QString& text, QWidget* parent);

} // namespace monitor
