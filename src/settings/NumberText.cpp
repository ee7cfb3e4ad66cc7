// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/NumberText.h"

#include <QByteArray>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal exponents far beyond what a double can hold; anything past these has already
// overflowed or underflowed, so the exact figure no longer matters.
constexpr std::int64_t ExponentCap = 1000000000;

double parseNumber(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;

    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }

    const char* intBegin = p;
    while (p < end && isDigit(*p))
        ++p;
    const char* intEnd = p;
    const char* fracBegin = p;
    const char* fracEnd = p;
    if (p < end && *p == '.') {
        fracBegin = fracEnd = ++p;
        while (fracEnd < end && isDigit(*fracEnd))
            ++fracEnd;
        p = fracEnd;
    }
    if (intBegin == intEnd && fracBegin == fracEnd)
        return 0.0; // no digit at all: "", "abc", "- 5", "."

    std::int64_t exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool expNegative = false;
        if (q < end && (*q == '+' || *q == '-')) {
            expNegative = *q == '-';
            ++q;
        }
        // "1e" or "1e+" without digits: the exponent is simply not there.
        while (q < end && isDigit(*q)) {
            if (exponent < ExponentCap)
                exponent = exponent * 10 + (*q - '0');
            ++q;
        }
        if (expNegative)
            exponent = -exponent;
    }

    // Significant digits only (leading and trailing zeros folded into the exponent), so a long
    // run of digits costs one pass and never an oversized conversion.
    std::string digits;
    auto digitAt = [&](std::int64_t i) {
        const std::int64_t intCount = intEnd - intBegin;
        return i < intCount ? intBegin[i] : fracBegin[i - intCount];
    };
    const std::int64_t total = (intEnd - intBegin) + (fracEnd - fracBegin);
    std::int64_t first = 0;
    while (first < total && digitAt(first) == '0')
        ++first;
    std::int64_t last = total;
    while (last > first && digitAt(last - 1) == '0')
        --last;
    if (first == last)
        return 0.0;
    // value = digits[first, last) * 10^scale
    std::int64_t scale = exponent - (fracEnd - fracBegin) + (total - last);
    // Beyond 800 significant digits only one fact still counts: some later digit is non-zero (the
    // last one is), which tips a value sitting exactly on a halfway point. A '1' stands for them.
    const std::int64_t kept = std::min<std::int64_t>(last - first, 800);
    scale += (last - first) - kept;
    digits.reserve(static_cast<std::size_t>(kept) + 1);
    for (std::int64_t i = first; i < first + kept; ++i)
        digits.push_back(digitAt(i));
    if (kept < last - first) {
        digits.push_back('1');
        --scale;
    }

    // Order of magnitude of the leading digit decides overflow and underflow up front.
    const std::int64_t order = static_cast<std::int64_t>(digits.size()) + scale;
    if (order > 310)
        return negative ? -DBL_MAX : DBL_MAX;
    if (order < -330)
        return 0.0;

    std::string text = digits;
    text.push_back('e');
    text += std::to_string(scale);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        value = order > 0 ? DBL_MAX : 0.0;
    if (value == 0.0)
        return 0.0; // never a negative zero
    return negative ? -value : value;
}

} // namespace

double TextToNumber(const QByteArray& text) {
    return parseNumber(text.constData(), text.constData() + text.size());
}

double TextToNumber(const QString& text) {
    // Only ASCII can be part of a number; anything else ends it, whatever the conversion gives.
    return TextToNumber(text.toLatin1());
}

QString NumberToText(double value) {
    if (std::isnan(value))
        return QStringLiteral("0");
    if (std::isinf(value))
        value = value > 0 ? DBL_MAX : -DBL_MAX;
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0

    char buffer[400];
    const double magnitude = std::fabs(value);
    // Plain decimal notation over the range people type (whole numbers up to 1e21 among them);
    // outside it the shortest exponent form keeps the text short.
    if (magnitude >= 1e-7 && magnitude < 1e21) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
    }
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    // "1e-07" → "1e-7", "1.5e+300" → "1.5e300".
    QByteArray text(buffer, static_cast<int>(result.ptr - buffer));
    const int e = text.indexOf('e');
    QByteArray mantissa = text.left(e);
    QByteArray exponent = text.mid(e + 1);
    QByteArray sign;
    if (exponent.startsWith('+') || exponent.startsWith('-')) {
        if (exponent.startsWith('-'))
            sign = "-";
        exponent.remove(0, 1);
    }
    while (exponent.size() > 1 && exponent.startsWith('0'))
        exponent.remove(0, 1);
    return QString::fromLatin1(mantissa + 'e' + sign + exponent);
}

double DecimalSum(double a, double b) {
    const double sum = a + b;
    if (!std::isfinite(sum) || sum == 0.0)
        return sum;
    // A double holds 15 significant decimal digits exactly; what lies beyond is the binary
    // remainder of the operands.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, sum, std::chars_format::general, 15);
    double rounded = sum;
    std::from_chars(buffer, written.ptr, rounded);
    return rounded;
}
