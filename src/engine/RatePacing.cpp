// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RatePacing.h"

#include <cmath>

qint64 RatePacing::dueNs(qint64 k, const QByteArray&) {
    // Long double keeps the nanoseconds exact far beyond any run's length; rounding up keeps a
    // line from leaving before its time.
    return static_cast<qint64>(std::ceil(static_cast<long double>(k) * 1e9L / m_linesPerSecond));
}
