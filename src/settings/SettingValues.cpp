// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingValues.h"

#include "settings/NumberText.h"

namespace SettingValues {

GenerationOrder generationOrder(const QString& stored) {
    return TextToNumber(stored) == 0 ? GenerationOrder::Sequential : GenerationOrder::Random;
}

Output output(const QString& stored) {
    return TextToNumber(stored) == 0 ? Output::File : Output::Syslog;
}

bool flag(const QString& stored) {
    return TextToNumber(stored) != 0;
}

bool english(const QString& stored) {
    return TextToNumber(stored) == 2;
}

QString text(GenerationOrder order) {
    return order == GenerationOrder::Random ? QStringLiteral("-1") : QStringLiteral("0");
}

QString text(Output output) {
    return output == Output::Syslog ? QStringLiteral("1") : QStringLiteral("0");
}

QString flagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString languageText(bool english) {
    return english ? QStringLiteral("2") : QStringLiteral("1");
}

} // namespace SettingValues
