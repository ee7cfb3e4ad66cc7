// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QString>

// The section and key names of Talvex.ini, in one place: every reader and writer of the file,
// the window and talvex-send alike, names them from here.
namespace SettingKeys {

// The section of the values shared by every copy.
inline constexpr QLatin1String SettingsSection{"Settings"};
inline constexpr QLatin1String Language{"Language"}; // 2 English, 1 French

// The keys of a slot's section ("Source 1" .. "Source 20").
inline constexpr QLatin1String Memory{"Memory"};       // 1 while a copy holds the slot, 0 once it is free
inline constexpr QLatin1String PositionX{"PositionX"}; // left edge of the frame, in twips
inline constexpr QLatin1String PositionY{"PositionY"}; // top edge of the frame, in twips
inline constexpr QLatin1String Delay{"Delay"};         // seconds before each line
inline constexpr QLatin1String Loop{"Loop"};           // 1 to start the source again at its end
inline constexpr QLatin1String GenerationType{"GenerationType"}; // 0 in file order, -1 at random
inline constexpr QLatin1String SyslogFile{"SyslogFile"};         // 0 to a file, 1 as datagrams
inline constexpr QLatin1String Port{"UDP_Port_Syslog"};
inline constexpr QLatin1String Host{"HostIP"};
inline constexpr QLatin1String SourceFile{"SourceFile"}; // the source's name, without folder or .txt

// The section of slot N: "Source " and N in decimal, without leading zeros.
inline QString slotSection(int slot) {
    return QStringLiteral("Source ") + QString::number(slot);
}

} // namespace SettingKeys
