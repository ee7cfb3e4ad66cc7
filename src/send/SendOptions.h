// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineEnds.h"
#include "transport/Destination.h"
#include "transport/Framing.h"
#include "transport/TlsOptions.h"

#include <QString>
#include <QStringList>

// What talvex-send was asked to do: its command line checked and, with --slot, completed from
// that slot of ./Talvex.ini. Options given on the command line win over the slot's values.
struct SendOptions {
    enum class Action { Run, Help, Version, Error };

    QString source;                           // a path, or "-" for standard input
    QString outputPath;                       // empty for UDP output
    bool append = false;                      // add to the output file instead of starting it anew
    Destination destination;                  // UDP to 127.0.0.1:514 unless -t
    Framing framing = Framing::OctetCounting; // tcp:// and tls://
    TlsOptions tls;                           // tls://
    double retry = 30; // seconds to keep trying to reach a receiver again (tcp, tls, relp)
    double delay = 1;  // seconds before each line; 0 for none
    double rate = 0;   // lines per second on an absolute schedule; 0 for the delay instead
    bool random = false;
    quint64 seed = 0;          // the window's sequence unless --seed
    bool recordedPace = false; // --pace recorded: the gaps between the lines' timestamps
    double speed = 1;          // those gaps divided by this
    double maxGapSeconds = -1; // and capped at this after the division; negative for no cap
    bool retime = false;       // each line's head timestamp replaced by the time it is sent
    bool loop = false;
    qint64 count = 0;    // stop after this many lines; 0 for no limit
    double duration = 0; // stop after this many seconds; 0 for no limit
    int slot = 0;
    bool quiet = false;
    bool echo = false;
    bool jsonSummary = false;
    LineEnds lineEnds = LineEnds::Any;
    // What --slot found stored but could not use, one line each, for standard error.
    QStringList notices;

    bool toFile() const { return !outputPath.isEmpty(); }
    bool overStream() const { return !toFile() && destination.transport != Destination::Transport::Udp; }
    bool fromStandardInput() const { return source == QLatin1String("-"); }

    // Parses `arguments` (the program name first). For Help and Version, `text` is what to print
    // on standard output; for Error, the message for standard error.
    static Action parse(const QStringList& arguments, SendOptions* options, QString* text);

    // The statuses the program ends with, as the help and the manual list them.
    static QString statusTable();
};
