// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The run state that a slot keeps, and the numbers Talvex.ini stores for it. Every reading and
// writing of these keys converts here, so the stored numbers have one home.

// GenerationType: "0" sequential, "-1" random.
enum class GenerationOrder { Sequential, Random };
// SyslogFile: "0" to a file, "1" as syslog datagrams.
enum class Output { File, Syslog };

namespace SettingValues {

// A stored value that reads as the number 0 (missing, empty or not a number included) is the
// first choice; anything else the second.
GenerationOrder generationOrder(const QString& stored);
Output output(const QString& stored);
// Loop and Memory: on for any number other than 0.
bool flag(const QString& stored);
// Language: English only for the number 2 exactly.
bool english(const QString& stored);

QString text(GenerationOrder order);
QString text(Output output);
QString flagText(bool on);
QString languageText(bool english);

} // namespace SettingValues
