// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Whether file permission bits apply to this process. Not a uid test: the test command runs as
// root with the capabilities that bypass permissions dropped, and then they do apply.
inline bool permissionsEnforced() {
    static const bool enforced = [] {
        QTemporaryDir dir;
        if (!dir.isValid())
            return false;
        const QString path = dir.filePath(QStringLiteral("probe"));
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                return false;
        }
        QFile::setPermissions(path, QFileDevice::Permissions());
        QFile f(path);
        const bool opened = f.open(QIODevice::ReadOnly);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return !opened;
    }();
    return enforced;
}
