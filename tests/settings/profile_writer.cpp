// SPDX-License-Identifier: GPL-3.0-or-later
// Test helper: writes one key of its own many times with increasing values, and a key shared
// with the other writers; or, with --hold, holds the settings lock until its stdin closes.
#include "settings/FileLock.h"
#include "settings/ProfileFile.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    if (args.size() == 3 && args[1] == QLatin1String("--hold")) {
        const FileLock lock(args[2]);
        if (!lock.isLocked())
            return 4;
        std::printf("held\n");
        std::fflush(stdout);
        char line[64];
        while (std::fgets(line, sizeof line, stdin)) {
        }
        return 0;
    }

    if (args.size() != 6) {
        std::fprintf(stderr, "usage: profile_writer PATH SECTION KEY COUNT ID | --hold LOCKPATH\n");
        return 1;
    }
    const QString path = args[1];
    const QByteArray section = args[2].toUtf8();
    const QByteArray key = args[3].toUtf8();
    const int count = args[4].toInt();
    const QByteArray id = args[5].toUtf8();
    for (int i = 1; i <= count; ++i) {
        if (!ProfileFile::write(path, section, key, QByteArray::number(i)))
            return 2;
        if (i % 10 == 0 && !ProfileFile::write(path, "Settings", "Shared", id + ':' + QByteArray::number(i)))
            return 3;
    }
    return 0;
}
