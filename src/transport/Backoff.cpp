// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/Backoff.h"

#include <QtGlobal>

Backoff::Backoff(qint64 retryMs) : m_deadline(qMax<qint64>(0, retryMs)) {}

qint64 Backoff::nextPauseMs() {
    const qint64 left = m_deadline.remainingTime();
    if (left <= 0)
        return -1;
    const qint64 pause = qMin(m_pauseMs, left);
    m_pauseMs = qMin(m_pauseMs * 2, LongestPauseMs);
    return pause;
}
