#pragma once

#include <QString>

class QLineEdit;

namespace window {

/// Sets a box's text and lays it out without shaping (no kerning, no ligatures). Only for
/// texts that shaping leaves as they are in the box's font: single characters, and digits
/// with angle brackets in the window's fonts (tests/test_mirror.cpp draws every one both
/// ways). Half of what a new text costs a box is its shaping.
void SetUnshapedText(QLineEdit& box, const QString& text);

/// Lays out what the operator types into a box that SetUnshapedText writes with shaping, as
/// in any other box: typed text can be anything. SetUnshapedText takes the box back.
void ShapeTypedText(QLineEdit& box);

} // namespace window
