// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// What a stream transport can say about the lines it was given, for the run's summary.
struct DeliveryCounts {
    // Lines handed to a connection (TCP, TLS) or sent in a RELP session.
    qint64 written = 0;
    // TCP and TLS: lines written to a connection that later broke. TCP cannot tell which of them
    // the receiver took, so they may be lost.
    qint64 atRisk = 0;
    // RELP: lines the receiver acknowledged. Exact once the session has closed in order; while it
    // is open (or after it broke for good) a lower bound, since librelp keeps its window to itself.
    qint64 acknowledged = 0;
    bool acknowledgedExact = false;
    // Lines taken but never handed to a connection (the run was stopped, or the receiver stayed
    // away past the retry time).
    qint64 unsent = 0;
    int reconnects = 0;
};
