// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/MediaButtonBar.h"

#include <QStyle>
#include <QToolButton>

MediaButtonBar::MediaButtonBar(QWidget* parent) : QWidget(parent) {
    m_play = makeButton(QStringLiteral("Play"), QStyle::SP_MediaPlay);
    m_pause = makeButton(QStringLiteral("Pause"), QStyle::SP_MediaPause);
    m_stop = makeButton(QStringLiteral("Stop"), QStyle::SP_MediaStop);
    connect(m_play, &QToolButton::clicked, this, &MediaButtonBar::playClicked);
    connect(m_pause, &QToolButton::clicked, this, &MediaButtonBar::pauseClicked);
    connect(m_stop, &QToolButton::clicked, this, &MediaButtonBar::stopClicked);
    // All three start disabled; only the program enables them.
    setPlayEnabled(false);
    setPauseEnabled(false);
    setStopEnabled(false);
    placeButtons();
}

QToolButton* MediaButtonBar::makeButton(const QString& name, int standardIcon) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon)));
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::TabFocus);
    // The buttons carry no tooltip of their own, so the bar's tooltip shows over each of them.
    button->setAccessibleName(name);
    return button;
}

void MediaButtonBar::setPlayEnabled(bool enabled) {
    m_play->setEnabled(enabled);
}

void MediaButtonBar::setPauseEnabled(bool enabled) {
    m_pause->setEnabled(enabled);
}

void MediaButtonBar::setStopEnabled(bool enabled) {
    m_stop->setEnabled(enabled);
}

bool MediaButtonBar::isPlayEnabled() const {
    return m_play->isEnabled();
}

bool MediaButtonBar::isPauseEnabled() const {
    return m_pause->isEnabled();
}

bool MediaButtonBar::isStopEnabled() const {
    return m_stop->isEnabled();
}

void MediaButtonBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeButtons();
}

void MediaButtonBar::placeButtons() {
    // Three equal buttons side by side; the last one takes the odd pixels.
    const int w = width() / 3;
    const int h = height();
    m_play->setGeometry(0, 0, w, h);
    m_pause->setGeometry(w, 0, w, h);
    m_stop->setGeometry(2 * w, 0, width() - 2 * w, h);
    const int side = qMax(8, qMin(w, h) - 6);
    for (QToolButton* button : {m_play, m_pause, m_stop})
        button->setIconSize(QSize(side, side));
}
