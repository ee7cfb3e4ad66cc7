// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/Framing.h"

bool FramingName::parse(const QString& text, Framing* framing) {
    if (text == QLatin1String("octet")) {
        *framing = Framing::OctetCounting;
        return true;
    }
    if (text == QLatin1String("lf")) {
        *framing = Framing::LineFeed;
        return true;
    }
    return false;
}

QString FramingName::of(Framing framing) {
    return framing == Framing::OctetCounting ? QStringLiteral("octet") : QStringLiteral("lf");
}
