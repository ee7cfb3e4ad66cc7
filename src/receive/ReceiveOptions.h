// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineEnds.h"
#include "receive/ListenAddress.h"
#include "receive/TlsServerOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What talvex-receive was asked to do: its command line, checked.
struct ReceiveOptions {
    enum class Action { Run, Help, Version, Error };
    enum class Summary { Text, Json };

    QList<ListenAddress> listen;
    TlsServerOptions tls; // for the tls:// addresses
    bool echo = false;
    QString outputPath; // empty for none
    bool append = false;
    QByteArray lineEnd = QByteArrayLiteral("\r\n");
    bool quiet = false;
    Summary summary = Summary::Text;
    qint64 count = 0;                  // end after this many messages; 0 for no limit
    double idle = 0;                   // end after this many seconds without a message; 0 for never
    double duration = 0;               // end after this many seconds; 0 for no limit
    double timeout = 0;                // with count: fail when fewer arrived within this many seconds
    QString expectPath;                // the lines that should arrive; empty for no check
    LineEnds lineEnds = LineEnds::Any; // as talvex-send reads its source
    bool inOrder = false;

    // Parses `arguments` (the program name first). For Help and Version, `text` is what to print
    // on standard output; for Error, the message for standard error.
    static Action parse(const QStringList& arguments, ReceiveOptions* options, QString* text);
};
