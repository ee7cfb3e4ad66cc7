#pragma once

#include <QByteArray>
#include <QList>

// The yardstick for pacing: a plain sender that sleeps on clock_nanosleep until one delay after
// its previous datagram, then sends the next line to 127.0.0.1:`port`. Whatever spacing error a
// receiver sees from it is what the machine and its scheduler add; a sender of ours is judged
// beside it, measured in the same run.
namespace ReferenceSender {
// Blocks until every line was sent; the first one a delay after the call. A delay of 0 sends
// back to back: the most this machine's loopback takes from one sender. False if no socket.
bool send(quint16 port, const QList<QByteArray>& lines, double delaySeconds);
} // namespace ReferenceSender
