// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The number a text begins with: leading blanks skipped, optional sign, digits, optional
// "." and decimals, optional exponent. 0 when the text does not begin with a number.
// Total: never throws, never returns NaN or infinity (an overflowing exponent saturates
// to the largest finite double of the right sign).
double TextToNumber(const QString& text);
double TextToNumber(const QByteArray& text);
// A literal would be ambiguous between the two above.
inline double TextToNumber(const char* text) {
    return TextToNumber(QByteArray(text));
}

// Shortest decimal text of a number that reads back to the same value; whole numbers
// without a decimal point ("10", "-1"), "." as the decimal separator ("0.5").
QString NumberToText(double value);

// a + b as the sum of the decimal texts reads: rounded to 15 significant digits, so that
// 2.3 - 1 gives 1.3 and not the binary 1.2999999999999998.
double DecimalSum(double a, double b);
