// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QString>

// The section and key names of Talvex.ini, in one place: every reader and writer of the file,
// the window and talvex-send alike, names them from here.
namespace SettingKeys {

// The section of the values shared by every copy.
inline constexpr QLatin1String SettingsSection{"Settings"};
inline constexpr QLatin1String Language{"Language"};

// The keys of a slot's section ("Source 1" .. "Source 20").
inline constexpr QLatin1String Memory{"Memory"};
inline constexpr QLatin1String PositionX{"PositionX"};
inline constexpr QLatin1String PositionY{"PositionY"};
inline constexpr QLatin1String Delay{"Delay"};
inline constexpr QLatin1String Loop{"Loop"};
inline constexpr QLatin1String GenerationType{"GenerationType"};
inline constexpr QLatin1String SyslogFile{"SyslogFile"};
inline constexpr QLatin1String Port{"UDP_Port_Syslog"};
inline constexpr QLatin1String Host{"HostIP"};
inline constexpr QLatin1String SourceFile{"SourceFile"};

// The section of slot N: "Source " and N in decimal, without leading zeros.
inline QString slotSection(int slot) {
    return QStringLiteral("Source ") + QString::number(slot);
}

} // namespace SettingKeys
