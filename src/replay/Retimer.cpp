// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/Retimer.h"

#include "replay/HeadTimestamp.h"

#include <utility>

Retimer::Retimer(Clock clock) : m_clock(std::move(clock)) {}

void Retimer::rewrite(QByteArray* line) {
    const HeadTimestamp stamp = HeadTimestamp::find(*line);
    if (stamp.isValid() && stamp.writeInto(line, m_clock()))
        ++m_retimed;
    else
        ++m_unchanged;
}
