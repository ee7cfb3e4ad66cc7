// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How lines are told apart on a TCP or TLS stream (RFC 6587): octet counting ("LEN SP MSG", the
// only framing RFC 5425 allows over TLS, and safe for any bytes) or a line feed after each line.
enum class Framing { OctetCounting, LineFeed };

namespace FramingName {
// "octet" or "lf"; false for anything else.
bool parse(const QString& text, Framing* framing);
QString of(Framing framing);
} // namespace FramingName
