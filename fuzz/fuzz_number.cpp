// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the number text rules: TextToNumber must be total and correctly rounded on any
// bytes, and NumberToText must always give a text that reads back to the very same number.
#include "settings/NumberText.h"

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_number: %s\n%s\n", what, detail.c_str());
    std::abort();
}

std::string show(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g (%a)", v, v);
    return buffer;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool sameValue(double a, double b) {
    return a == b; // +0 and -0 count as one: "0" stands for both
}

// The number the text begins with, by the reading rules, worked out independently: the
// matching prefix is cut out and handed to the C library's strtod, which rounds correctly
// however many digits there are. Overflow saturates, and zero has no sign.
double referenceNumber(const QByteArray& text) {
    const char* p = text.constData();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    std::string clean;
    if (p < end && (*p == '+' || *p == '-'))
        clean += *p++;
    qsizetype digits = 0;
    while (p < end && isDigit(*p)) {
        clean += *p++;
        ++digits;
    }
    if (p < end && *p == '.') {
        clean += *p++;
        while (p < end && isDigit(*p)) {
            clean += *p++;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        std::string exponent = "e";
        if (q < end && (*q == '+' || *q == '-'))
            exponent += *q++;
        bool any = false;
        while (q < end && isDigit(*q)) {
            exponent += *q++;
            any = true;
        }
        if (any)
            clean += exponent;
    }
    errno = 0;
    double value = std::strtod(clean.c_str(), nullptr);
    if (std::isinf(value))
        value = value > 0 ? DBL_MAX : -DBL_MAX;
    if (value == 0.0)
        value = 0.0;
    return value;
}

void checkReadsBack(double x) {
    if (!std::isfinite(x))
        return;
    const QString text = NumberToText(x);
    for (const QChar c : text) {
        const char a = c.toLatin1();
        if (!(isDigit(a) || a == '-' || a == '.' || a == 'e'))
            fail("NumberToText gave a character outside [-0-9.e]", text.toStdString());
    }
    const double back = TextToNumber(text);
    if (!sameValue(back, x))
        fail("NumberToText does not read back",
             show(x) + " -> \"" + text.toStdString() + "\" -> " + show(back));
}

std::uint64_t bits64(const uint8_t* data) {
    std::uint64_t v;
    std::memcpy(&v, data, sizeof v);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // Total and correctly rounded on any bytes.
    const double value = TextToNumber(bytes);
    if (!std::isfinite(value))
        fail("TextToNumber is not finite", bytes.left(200).toStdString());
    if (value == 0.0 && std::signbit(value))
        fail("TextToNumber gave a negative zero", bytes.left(200).toStdString());
    const double expected = referenceNumber(bytes);
    if (!sameValue(value, expected))
        fail("TextToNumber differs from the correctly rounded value",
             "input: " + bytes.left(200).toStdString() + "\ngot " + show(value) + ", expected " +
                 show(expected));

    // The text overload reads the same number: nothing outside ASCII can be part of one.
    if (!sameValue(TextToNumber(QString::fromLatin1(bytes)), value))
        fail("TextToNumber(QString Latin-1) differs from the bytes", bytes.left(200).toStdString());
    if (!sameValue(TextToNumber(QString::fromUtf8(bytes)), value))
        fail("TextToNumber(QString UTF-8) differs from the bytes", bytes.left(200).toStdString());

    // What was read is written back to a text that reads the same.
    checkReadsBack(value);

    // Any double spelled by the input's first eight bytes.
    if (size >= 8) {
        double x;
        const std::uint64_t raw = bits64(data);
        std::memcpy(&x, &raw, sizeof x);
        checkReadsBack(x);

        // Whole numbers below 1e15 are plain integers in text and read back exactly.
        const std::int64_t whole =
            static_cast<std::int64_t>(raw % 1000000000000000ULL) * ((raw >> 63) ? -1 : 1);
        const double v = static_cast<double>(whole);
        const QString text = NumberToText(v);
        const QString plain = QString::number(static_cast<qlonglong>(whole));
        if (text != plain)
            fail("whole number not written as a plain integer",
                 plain.toStdString() + " -> " + text.toStdString());
        if (TextToNumber(text) != v)
            fail("whole number does not read back", plain.toStdString());
    }
    return 0;
}
