// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

// Tells that a write to Talvex.ini could not be made, so the window can warn the operator that
// changes are not being kept. Settings owns the one instance; receivers connect to it and are
// disconnected when they go away.
class SettingsWriteNotifier : public QObject {
    Q_OBJECT
signals:
    void writeFailed();
};

// Talvex.ini in the current directory. The path is rebuilt for every access, so a change of
// the working directory is followed at once. Values are UTF-8 text (the system encoding).
class Settings {
public:
    static constexpr const char* FileName = "Talvex.ini";

    static QString path();
    // The stored value (at most 99 bytes, never a split UTF-8 sequence), or "" when missing.
    static QString read(const QString& section, const QString& key);
    // Result deliberately ignorable: a failed write changes nothing; only the notifier's
    // writeFailed() says so.
    static bool write(const QString& section, const QString& key, const QString& value);

    static SettingsWriteNotifier* notifier();
};
