// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window's design is measured in twips, as are the position and height it stores; at 96 dpi a
// pixel is 15 twips.
namespace Twips {
constexpr int PerPixel = 15;
constexpr int toPixels(int twips) {
    return twips / PerPixel;
}
} // namespace Twips
