// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/CachedScrollBar.h"

#include <QGuiApplication>
#include <QStyleOptionSlider>

void CachedScrollBar::paintEvent(QPaintEvent* event) {
    if (underMouse() || isSliderDown() || QGuiApplication::mouseButtons() != Qt::NoButton ||
        style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this)) {
        QScrollBar::paintEvent(event);
        return;
    }
    // What QScrollBar::paintEvent draws with nothing hovered or pressed. The style shows the
    // slider's place and, with some styles, whether either end is reached.
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    const QRect slider =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    const int ends =
        (option.sliderPosition <= option.minimum ? 1 : 0) | (option.sliderPosition >= option.maximum ? 2 : 0);
    m_bar.paint(this, option, slider, ends,
                [&](QStylePainter& painter) { painter.drawComplexControl(QStyle::CC_ScrollBar, option); });
}
