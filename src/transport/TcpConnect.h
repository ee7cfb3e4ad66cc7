// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunError.h"
#include "transport/WaitLimits.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>

// Opens a TCP connection on a non-blocking socket, trying each address in turn, waiting in
// poll() beside the run's limits so that a receiver that never answers cannot hold a stop.
namespace TcpConnect {
// The connected descriptor in `*fd`, or an error naming `peer` (then `*fd` is -1).
RunError open(const QList<QHostAddress>& addresses, quint16 port, const QString& peer,
              const WaitLimits& limits, QDeadlineTimer timeout, int* fd);
} // namespace TcpConnect
