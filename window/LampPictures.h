#pragma once

#include <QPixmap>

namespace window {

/// Side of a lamp picture in pixels: the 420 twips of the lamp images.
inline constexpr int LampPictureSize = 28;

/// A lit input lamp: a bright green glass bulb in a grey ring, transparent around it.
QPixmap LitLampPicture();
/// The same lamp unlit: a dark green bulb.
QPixmap UnlitLampPicture();

} // namespace window
