// The program's pictures, painted in code so that no image file has to ship with it.
#pragma once

#include <QIcon>
#include <QImage>

namespace kesh {

// The application icon, `size` x `size` pixels (drawn for 16 and 32): a wedge-shaped ship
// over a starry tile, with its wireframe outline.
QImage PaintAppIcon(int size);

// The application icon in both sizes, for the window and the About box.
QIcon AppIcon();

inline constexpr int kAboutPictureWidth = 64;
inline constexpr int kAboutPictureHeight = 44;

// The About box picture, 64 x 44 pixels: a ship model in wireframe above a planet's rim.
QImage PaintAboutPicture();

}  // namespace kesh
