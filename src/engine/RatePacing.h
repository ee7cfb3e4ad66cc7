// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LinePacing.h"

// A steady rate: line k is due k/N seconds after the start, never sooner, so the average holds
// over any length of run whatever each wait cost.
class RatePacing : public LinePacing {
public:
    explicit RatePacing(double linesPerSecond) : m_linesPerSecond(linesPerSecond) {}
    qint64 dueNs(qint64 k, const QByteArray& line) override;

private:
    double m_linesPerSecond;
};
