// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunError.h"

#include <QByteArray>

// Where the lines of a run go: one implementation per transport (a file, UDP datagrams, and for
// the command line TCP, TLS and RELP). The run hands lines over in order and never needs to know
// which transport it feeds.
class LineOutput {
public:
    virtual ~LineOutput() = default;

    // Hands one line over, its bytes exactly as they are. A transport may keep it in a buffer
    // until flush(); it must not grow that buffer without bound.
    virtual RunError write(const QByteArray& line) = 0;
    // Pushes out whatever write() kept. The run flushes before every wait and when it ends, so a
    // paced line never sits in a buffer.
    virtual RunError flush() { return RunError::none(); }
    // Lets go of the destination (Stop, the end of a run).
    virtual void close() = 0;
};
