#pragma once

#include <QIcon>
#include <QPixmap>

// The window's images, drawn at run time so the program ships no image files.
namespace Artwork {
// Logo banner, 192 x 29.
QPixmap logoBanner();
// French flag, 19 x 15.
QPixmap frenchFlag();
// Union flag, 21 x 15.
QPixmap unitedKingdomFlag();
// The window icon, in the usual sizes.
QIcon windowIcon();
} // namespace Artwork
