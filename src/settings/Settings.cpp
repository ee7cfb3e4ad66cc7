// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/Settings.h"

#include "settings/ProfileFile.h"

#include <QDir>

namespace {
constexpr int MaxValueBytes = 99;

Q_GLOBAL_STATIC(SettingsWriteNotifier, writeNotifier)
} // namespace

QString Settings::path() {
    // A working directory that has been removed has no path: then there is no settings file
    // at all, rather than one at "/Talvex.ini".
    const QString folder = QDir::currentPath();
    if (folder.isEmpty())
        return {};
    return folder + QLatin1Char('/') + QLatin1String(FileName);
}

QString Settings::read(const QString& section, const QString& key) {
    // One byte more than is kept shows whether the cut falls inside a UTF-8 sequence.
    QByteArray value = ProfileFile::read(path(), section.toUtf8(), key.toUtf8(), MaxValueBytes + 2);
    if (value.size() > MaxValueBytes) {
        qsizetype cut = MaxValueBytes;
        // Back off over continuation bytes (10xxxxxx) to the start of the cut sequence; at most
        // three, as no UTF-8 sequence is longer than four bytes.
        for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80; ++i)
            --cut;
        if (cut < MaxValueBytes && (static_cast<unsigned char>(value[cut]) & 0xC0) != 0xC0)
            cut = MaxValueBytes; // no lead byte found: not UTF-8 anyway, keep the plain byte limit
        value.truncate(cut);
    }
    return QString::fromUtf8(value);
}

bool Settings::write(const QString& section, const QString& key, const QString& value) {
    const bool written = ProfileFile::write(path(), section.toUtf8(), key.toUtf8(), value.toUtf8());
    if (!written && !writeNotifier.isDestroyed())
        emit writeNotifier()->writeFailed();
    return written;
}

SettingsWriteNotifier* Settings::notifier() {
    return writeNotifier();
}
