// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SteadyScrollBar.h"

#include <QStyleOptionSlider>

#include <algorithm>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

SteadyScrollBar::Hold::Hold(QScrollBar* bar) : m_bar(qobject_cast<SteadyScrollBar*>(bar)) {
    if (m_bar)
        ++m_bar->m_holds;
}

SteadyScrollBar::Hold::~Hold() {
    if (!m_bar || --m_bar->m_holds > 0 || !m_bar->m_changedWhileHeld)
        return;
    m_bar->m_changedWhileHeld = false;
    if (m_bar->showsChange())
        m_bar->update(); // what QAbstractSlider does for a change
}

bool SteadyScrollBar::Look::operator==(const Look& other) const {
    return std::equal(std::begin(parts), std::end(parts), std::begin(other.parts)) && state == other.state &&
           atMinimum == other.atMinimum && atMaximum == other.atMaximum;
}

SteadyScrollBar::Look SteadyScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look look;
    const QStyle::SubControl parts[] = {QStyle::SC_ScrollBarSlider, QStyle::SC_ScrollBarAddPage,
                                        QStyle::SC_ScrollBarSubPage, QStyle::SC_ScrollBarAddLine,
                                        QStyle::SC_ScrollBarSubLine};
    for (int i = 0; i < 5; ++i)
        look.parts[i] = style()->subControlRect(QStyle::CC_ScrollBar, &option, parts[i], this);
    look.state = option.state;
    look.atMinimum = option.sliderPosition <= option.minimum;
    look.atMaximum = option.sliderPosition >= option.maximum;
    return look;
}

bool SteadyScrollBar::showsChange() const {
    // An update already asked for still comes, and paints the bar as it is by then.
    return !m_hasPainted || !(look() == m_painted);
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    if (change != SliderOrientationChange) {
        if (m_holds > 0) {
            m_changedWhileHeld = true;
            return;
        }
        if (!showsChange())
            return;
    }
    QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    m_painted = look();
    m_hasPainted = true;
    QScrollBar::paintEvent(event);
}
