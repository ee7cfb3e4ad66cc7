// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The folder that Talvex works in: the one holding Talvex.ini, "Logs Source", "Logs Générés" and
// Talvex.chm. The window and the run take every path relative to the current directory, so
// working in a folder means entering it before the window exists.
class WorkingFolder {
public:
    // Makes dir the current directory. False, with the reason in error, when it is missing, is
    // not a folder, or cannot be entered or listed.
    static bool enter(const QString& dir, QString* error);

    // "Talvex" in the user's documents folder (which follows xdg-user-dir).
    static QString userFolder();

    // Creates folder when nothing of that name exists: an empty "Logs Générés" and a "Logs Source"
    // holding copies of the files of examples/"Logs Source". The folder appears complete or not
    // at all, so a second copy started at the same moment never sees it half filled. An existing
    // folder is used as it is; nothing in it is touched.
    static bool prepare(const QString& folder, const QString& examples, QString* error);
};
