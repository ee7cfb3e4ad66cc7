// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "window/StylePicture.h"

#include <QGroupBox>

// A group box that keeps the picture of its frame between paints. A control inside that does not
// fill its own background, such as a label whose text changes every line, repaints the group box
// behind it each time, and a style may draw the frame at some cost (Fusion loads and stretches
// a bitmap). A group box with a title or a check box is painted as usual.
class CachedGroupBox : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StylePicture m_frame;
};
