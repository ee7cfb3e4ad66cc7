// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The files that an installation puts beside the program: the sample sources and the manual.
// They are found from the executable (<prefix>/bin/talvex -> <prefix>/share/talvex), so any
// installation prefix works and nothing is looked up in the environment.
class InstalledData {
public:
    // <prefix>/share/talvex, or the folder set for tests.
    static QString folder();
    // The folder holding the installed "Logs Source" samples.
    static QString examplesFolder();
    // The HTML manual in the interface language (0 French, 1 English); empty when not installed.
    static QString manualFile(int languageOffset);

    // Test hook: look in this folder instead of the installed one (empty: back to the default).
    static void setFolder(const QString& folder);
};
