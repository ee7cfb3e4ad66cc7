// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the Quenby button starts: the companion program "Quenby.exe" when the program search
// finds it, otherwise Talvex's own companion receiver, as a separate program listening where the
// slot sends.
class CompanionStart {
public:
    // Starts a program without waiting for it; false when it could not be started.
    using Starter = std::function<bool(const QString& program, const QStringList& arguments)>;

    struct Choice {
        QString program;
        QStringList arguments;
        bool receiverWindow = false; // Talvex's own companion, not Quenby.exe
    };

    // For a slot sending to `host` and `port`.
    static Choice choose(const QString& host, int port);
    // Where the companion listens: UDP on the host when it is an address of this machine (it
    // could not listen on another's), else on 127.0.0.1.
    static QString listenUrl(const QString& host, int port);
    // QProcess::startDetached.
    static bool startDetached(const QString& program, const QStringList& arguments);
};
