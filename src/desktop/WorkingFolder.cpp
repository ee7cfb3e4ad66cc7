// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/WorkingFolder.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const QString SourceFolder = QStringLiteral("Logs Source");
const QString OutputFolder = QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s");

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Publishes the filled temporary folder under its final name unless something took that name in
// the meantime (then that one is used and ours dropped).
bool publish(const QString& from, const QString& to, QString* error) {
    const int failure = platform::FileSystem::renameNoReplace(QFile::encodeName(from), QFile::encodeName(to));
    if (failure == 0)
        return true;
    QDir(from).removeRecursively();
    if (failure == EEXIST && QFileInfo(to).isDir())
        return true;
    *error = QStringLiteral("cannot create %1: %2").arg(to, reason(failure));
    return false;
}
} // namespace

bool WorkingFolder::enter(const QString& dir, QString* error) {
    const QFileInfo info(dir);
    if (!info.exists()) {
        *error = QStringLiteral("%1: no such folder").arg(dir);
        return false;
    }
    if (!info.isDir()) {
        *error = QStringLiteral("%1: not a folder").arg(dir);
        return false;
    }
    // Listing is what the source list needs; entering is what every relative path needs.
    if (!info.isReadable() || !QDir::setCurrent(info.absoluteFilePath())) {
        *error = QStringLiteral("%1: permission denied").arg(dir);
        return false;
    }
    return true;
}

QString WorkingFolder::userFolder() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return QDir(documents).filePath(QStringLiteral("Talvex"));
}

bool WorkingFolder::prepare(const QString& folder, const QString& examples, QString* error) {
    const QFileInfo target(folder);
    if (target.exists() || target.isSymLink()) {
        if (target.isDir())
            return true;
        *error = QStringLiteral("%1: exists and is not a folder").arg(folder);
        return false;
    }
    const QString parent = target.absolutePath();
    if (!QDir().mkpath(parent)) {
        *error = QStringLiteral("cannot create %1").arg(parent);
        return false;
    }
    // mkdir never follows a symlink and fails on any existing name, so the temporary folder is
    // ours alone.
    const QString temp =
        QStringLiteral("%1/.%2.%3").arg(parent, target.fileName()).arg(QCoreApplication::applicationPid());
    if (const int failure = platform::FileSystem::makeFolder(QFile::encodeName(temp)); failure != 0) {
        *error = QStringLiteral("cannot create %1: %2").arg(temp, reason(failure));
        return false;
    }
    const QDir dir(temp);
    bool ok = dir.mkdir(OutputFolder) && dir.mkdir(SourceFolder);
    const QDir samples(QDir(examples).filePath(SourceFolder));
    const QStringList names = samples.entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (!ok)
            break;
        ok = QFile::copy(samples.filePath(name), dir.filePath(SourceFolder + QLatin1Char('/') + name));
    }
    if (!ok) {
        QDir(temp).removeRecursively();
        *error = QStringLiteral("cannot fill %1 with the sample sources").arg(folder);
        return false;
    }
    return publish(temp, target.absoluteFilePath(), error);
}
