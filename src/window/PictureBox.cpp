// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/PictureBox.h"

#include <QMouseEvent>

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        // Like a button: letting go outside the picture cancels the click.
        if (rect().contains(event->position().toPoint()) && isEnabled())
            emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}
