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
    const double delay = number(SettingKeys::Delay);
    s.delay = SlotRules::DelayRange.accepts(delay) ? delay : SlotRules::DelayRange.replacement;
    s.loop = SettingValues::flag(Settings::read(name, SettingKeys::Loop));
    s.order = SettingValues::generationOrder(Settings::read(name, SettingKeys::GenerationType));
    s.output = SettingValues::output(Settings::read(name, SettingKeys::SyslogFile));
    const double port = number(SettingKeys::Port);
    s.port =
        SlotRules::storedPortUsable(port) ? static_cast<int>(std::nearbyint(port)) : SlotRules::DefaultPort;
    const QString host = SlotRules::hostWithoutTrailingBlanks(Settings::read(name, SettingKeys::Host));
    s.host = SlotRules::hostUsable(host) ? host : SlotRules::defaultHost();
    s.sourceFile = Settings::read(name, SettingKeys::SourceFile);
    return s;
}
