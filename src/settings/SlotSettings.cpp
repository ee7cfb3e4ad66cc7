// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SlotSettings.h"

#include "settings/NumberText.h"
#include "settings/SettingKeys.h"
#include "settings/SettingValues.h"
#include "settings/Settings.h"
#include "settings/SlotRules.h"

#include <cmath>

QString SlotSettings::section(int slot) {
    return SettingKeys::slotSection(slot);
}

SlotSettings SlotSettings::read(int slot) {
    const QString name = section(slot);
    auto number = [&name](QLatin1String key) { return TextToNumber(Settings::read(name, key)); };

    SlotSettings s;
    // A value that was there and is not used is worth a word; a missing one simply takes its default.
    auto replaced = [&s, &name](QLatin1String key, const QString& used) {
        const QString stored = Settings::read(name, key);
        if (!stored.trimmed().isEmpty())
            s.replacements.append({QString(key), stored, used});
    };
    const double delay = number(SettingKeys::Delay);
    s.delay = SlotRules::DelayRange.accepts(delay) ? delay : SlotRules::DelayRange.replacement;
    if (!SlotRules::DelayRange.accepts(delay))
        replaced(SettingKeys::Delay, SlotRules::DelayRange.replacementText());
    s.loop = SettingValues::flag(Settings::read(name, SettingKeys::Loop));
    s.order = SettingValues::generationOrder(Settings::read(name, SettingKeys::GenerationType));
    s.output = SettingValues::output(Settings::read(name, SettingKeys::SyslogFile));
    const double port = number(SettingKeys::Port);
    s.port =
        SlotRules::storedPortUsable(port) ? static_cast<int>(std::nearbyint(port)) : SlotRules::DefaultPort;
    if (!SlotRules::storedPortUsable(port))
        replaced(SettingKeys::Port, QString::number(SlotRules::DefaultPort));
    const QString host = SlotRules::hostWithoutTrailingBlanks(Settings::read(name, SettingKeys::Host));
    s.host = SlotRules::hostUsable(host) ? host : SlotRules::defaultHost();
    if (!SlotRules::hostUsable(host))
        replaced(SettingKeys::Host, SlotRules::defaultHost());
    s.sourceFile = Settings::read(name, SettingKeys::SourceFile);
    return s;
}
