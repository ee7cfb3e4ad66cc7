// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/InstalledData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& folderOverride() {
    static QString folder;
    return folder;
}
} // namespace

QString InstalledData::folder() {
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/talvex"));
}

QString InstalledData::examplesFolder() {
    return folder() + QStringLiteral("/examples");
}

QString InstalledData::manualFile(int languageOffset) {
    const QString path = folder() + (languageOffset == 1 ? QStringLiteral("/manual/talvex.en.html")
                                                         : QStringLiteral("/manual/talvex.fr.html"));
    return QFileInfo(path).isFile() ? path : QString();
}

void InstalledData::setFolder(const QString& folder) {
    folderOverride() = folder;
}
