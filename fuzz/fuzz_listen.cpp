// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for listening addresses (--listen and the companion window's): any text is either
// refused with a reason or gives an address whose own text reads back to the very same address
// (a tls:// address without its port included).
#include "receive/ListenAddress.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void fail(const char* what, const QString& text) {
    std::fprintf(stderr, "fuzz_listen: %s: \"%s\"\n", what, qPrintable(text));
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    ListenAddress address;
    QString error;
    if (!ListenAddress::parse(text, &address, &error)) {
        if (error.isEmpty())
            fail("refused without a reason", text);
        return 0;
    }
    if (!error.isEmpty())
        fail("accepted with a reason", text);
    if (address.address.isNull())
        fail("accepted without an address", text);
    ListenAddress again;
    if (!ListenAddress::parse(address.toString(), &again, &error))
        fail("its own text is refused", address.toString());
    if (again.transport != address.transport || again.address != address.address ||
        again.port != address.port)
        fail("its own text reads as another address", address.toString());
    return 0;
}
