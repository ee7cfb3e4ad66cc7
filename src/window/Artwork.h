// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

// The window's images. The flags and the banner are drawn at run time; the icon is the desktop
// menu's own picture (packaging/icons).
namespace Artwork {
// Logo banner, 192 x 29.
QPixmap logoBanner();
// French flag, 19 x 15.
QPixmap frenchFlag();
// Union flag, 21 x 15.
QPixmap unitedKingdomFlag();
// The window icon: the icon theme's "talvex", else the same picture built into the program.
QIcon windowIcon();
} // namespace Artwork
