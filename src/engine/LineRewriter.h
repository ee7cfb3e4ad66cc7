// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Changes each line on its way out (a fresh timestamp, say). It runs right before the line is
// handed to its output; what it leaves in `line` is what is sent, written and echoed.
class LineRewriter {
public:
    virtual ~LineRewriter() = default;
    virtual void rewrite(QByteArray* line) = 0;
};
