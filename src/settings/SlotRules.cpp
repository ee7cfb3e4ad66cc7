// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SlotRules.h"

#include "settings/NumberText.h"

namespace SlotRules {

QString FieldRange::replacementText() const {
    return NumberToText(replacement);
}

QString steppedDelay(const QString& text, int direction) {
    return NumberToText(DecimalSum(TextToNumber(text), direction < 0 ? -DelayStep : DelayStep));
}

bool storedPortUsable(double port) {
    return port > 0 && port <= MaxStoredPort;
}

QString hostWithoutTrailingBlanks(QString host) {
    qsizetype end = host.size();
    while (end > 0 && (host.at(end - 1) == QLatin1Char(' ') || host.at(end - 1) == QLatin1Char('\t')))
        --end;
    host.truncate(end);
    return host;
}

bool hostUsable(const QString& host) {
    return TextToNumber(host) > 0;
}

QString defaultHost() {
    return QStringLiteral("127.0.0.1");
}

} // namespace SlotRules
