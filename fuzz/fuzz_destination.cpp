// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the destinations of -t: Destination::parse must be total on any text, give a
// usable destination or an error, and what it shows of a destination must read back the same.
#include "transport/Destination.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "fuzz_destination: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Destination d;
    d.port = 7;
    QString error;
    if (!Destination::parse(text, &d, &error)) {
        if (error.isEmpty())
            fail("refused without a message", text);
        if (d.port != 7)
            fail("a refused text changed the destination", text);
        return 0;
    }
    if (d.port < 1 || d.port > 65535)
        fail("port out of range", text);
    if (d.host.trimmed().isEmpty())
        fail("no host", text);
    if (!text.contains(QLatin1String("://")) && d.transport != Destination::Transport::Udp)
        fail("a bare destination that is not UDP", text);
    Destination back;
    if (!Destination::parse(d.toString(), &back, &error))
        fail("the shown destination does not read back", text + QStringLiteral(" -> ") + d.toString());
    if (back.transport != d.transport || back.host != d.host || back.port != d.port)
        fail("the shown destination reads back to another", text + QStringLiteral(" -> ") + d.toString());
    return 0;
}
