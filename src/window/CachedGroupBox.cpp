// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/CachedGroupBox.h"

#include <QStyleOptionGroupBox>

void CachedGroupBox::paintEvent(QPaintEvent* event) {
    if (!title().isEmpty() || isCheckable()) {
        QGroupBox::paintEvent(event);
        return;
    }
    // What QGroupBox::paintEvent draws.
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    m_frame.paint(this, option, QRect(), 0,
                  [&](QStylePainter& painter) { painter.drawComplexControl(QStyle::CC_GroupBox, option); });
}
