// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "window/StylePicture.h"

#include <QScrollBar>

// A scroll bar that keeps the picture of itself between paints. The echo pane's range grows with
// every frame of a run, and each change repaints the bar, which a style may draw with gradients
// at some cost (Fusion's are even filled by worker threads), although the bar mostly looks the
// same. Under the mouse, or while a button is held, it is painted as usual, since what the mouse
// hovers or presses is known to the bar alone.
class CachedScrollBar : public QScrollBar {
    Q_OBJECT
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StylePicture m_bar;
};
