#pragma once

#include <QColor>

class QPushButton;

/// The colours the window uses, by what they mean.
namespace window::colours {

inline const QColor Green{0, 255, 0};    ///< on, active, online
inline const QColor Red{255, 0, 0};      ///< off, stopped, offline
inline const QColor Grey{192, 192, 192}; ///< the data-strobe lamp before its first event
inline const QColor Black{0, 0, 0};
inline const QColor Blue{0, 0, 255};
/// The platform colours the layout names: button face and scroll-bar grey.
inline const QColor ButtonFace{240, 240, 240};
inline const QColor ScrollBars{200, 200, 200};

/// Sets the back colour of a graphical button; it shows at once.
void SetBackColour(QPushButton* button, const QColor& colour);
/// The back colour a graphical button shows now.
QColor BackColour(const QPushButton* button);

} // namespace window::colours
