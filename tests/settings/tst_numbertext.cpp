// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/NumberText.h"

#include <QtTest>

#include <cfloat>
#include <clocale>
#include <cmath>

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void textToNumber_data();
    void textToNumber();
    void overflowSaturates_data();
    void overflowSaturates();
    void longDigitRuns();
    void ignoresLocale();
    void numberToText_data();
    void numberToText();
    void roundTrip_data();
    void roundTrip();
    void alwaysFinite();
};

void TestNumberText::textToNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("digits then letters") << " 12abc" << 12.0;
    QTest::newRow("negative") << "-1" << -1.0;
    QTest::newRow("decimal zero") << "2.0" << 2.0;
    QTest::newRow("leading zero") << "02" << 2.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("upper exponent") << "1E3" << 1000.0;
    QTest::newRow("signed exponent") << "25e-1" << 2.5;
    QTest::newRow("plus exponent") << "1e+2" << 100.0;
    QTest::newRow("bare fraction") << ".5" << 0.5;
    QTest::newRow("trailing point") << "2." << 2.0;
    QTest::newRow("point then exponent") << "2.e2" << 200.0;
    QTest::newRow("negative fraction") << "-.25" << -0.25;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks only") << "  \t " << 0.0;
    QTest::newRow("plus") << "+5" << 5.0;
    QTest::newRow("sign then blank") << "- 5" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("point exponent") << ".e3" << 0.0;
    QTest::newRow("double sign") << "+-5" << 0.0;
    QTest::newRow("suffix") << "2abc" << 2.0;
    QTest::newRow("hex") << "0x10" << 0.0;
    QTest::newRow("tab and space") << " \t7" << 7.0;
    QTest::newRow("seconds") << "5s" << 5.0;
    QTest::newRow("address") << "10.0.0.5" << 10.0;
    QTest::newRow("address with fraction") << "256.1.1.1" << 256.1;
    QTest::newRow("dangling exponent") << "1e" << 1.0;
    QTest::newRow("dangling signed exponent") << "1e-" << 1.0;
    QTest::newRow("exponent then blank") << "1e 3" << 1.0;
    QTest::newRow("inner blank") << "1 2" << 1.0;
    QTest::newRow("comma is not a point") << "1,5" << 1.0;
    QTest::newRow("newline is not a blank") << "\n5" << 0.0;
    QTest::newRow("negative zero") << "-0" << 0.0;
    QTest::newRow("yes") << "yes" << 0.0;
    QTest::newRow("two") << "2" << 2.0;
    QTest::newRow("port") << "32001" << 32001.0;
    QTest::newRow("many zeros") << "000000000000000000000000000007" << 7.0;
    QTest::newRow("small") << "1e-6" << 1e-6;
    QTest::newRow("fraction zeros") << "0.000123000" << 0.000123;
    QTest::newRow("underflow") << "1e-999" << 0.0;
    // Exactly halfway between 1 and the next double, with a non-zero digit far past the digits
    // kept: not a tie, so it rounds up.
    QTest::newRow("halfway broken past 800 digits")
        << QStringLiteral("1.00000000000000011102230246251565404236316680908203125") +
               QString(746, QLatin1Char('0')) + QStringLiteral("1")
        << 0x1.0000000000001p+0;
    QTest::newRow("non-ascii digit") << QString::fromUtf8("\xd9\xa3") << 0.0; // Arabic-Indic three
    QTest::newRow("full-width digit") << QString::fromUtf8("\xef\xbc\x95") << 0.0;
}

void TestNumberText::textToNumber() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double value = TextToNumber(text);
    QCOMPARE(value, expected);
    QVERIFY2(!std::signbit(value) || value != 0, "no negative zero");
    QCOMPARE(TextToNumber(text.toUtf8()), expected);
}

void TestNumberText::overflowSaturates_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("1e999") << "1e999" << DBL_MAX;
    QTest::newRow("-1e999") << "-1e999" << -DBL_MAX;
    QTest::newRow("just past max") << "1.8e308" << DBL_MAX;
    QTest::newRow("max itself") << "1.7976931348623157e308" << DBL_MAX;
    QTest::newRow("huge exponent digits") << "5e99999999999999999999999999" << DBL_MAX;
    QTest::newRow("huge negative exponent") << "5e-99999999999999999999999999" << 0.0;
    QTest::newRow("400 digits") << QString(400, QLatin1Char('9')) << DBL_MAX;
    QTest::newRow("fraction scaled up") << "0.0001e312" << 1e308;
}

void TestNumberText::overflowSaturates() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double value = TextToNumber(text);
    QVERIFY(std::isfinite(value));
    QCOMPARE(value, expected);
}

void TestNumberText::longDigitRuns() {
    // A million digits: handled in one pass, the value is right.
    QByteArray digits = "1" + QByteArray(1000000, '0');
    QCOMPARE(TextToNumber(digits + "e-1000000"), 1.0);
    QCOMPARE(TextToNumber("0." + QByteArray(1000000, '0') + "1e1000001"), 1.0);
    QCOMPARE(TextToNumber(digits), DBL_MAX);
    // Many significant digits: more than a double holds, still correctly rounded.
    QCOMPARE(TextToNumber("3.14159265358979323846264338327950288419716939937510582097494459"), M_PI);
    QCOMPARE(TextToNumber("0." + QByteArray(2000, '3')), 1.0 / 3.0);
}

void TestNumberText::ignoresLocale() {
    // A desktop session may run with a comma as decimal separator; the file's "." must still read.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray saved = old ? QByteArray(old) : QByteArray("C");
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        QSKIP("no locale with a decimal comma installed");
    const double value = TextToNumber(QStringLiteral("7200.5"));
    const QString text = NumberToText(0.5);
    std::setlocale(LC_NUMERIC, saved.constData());
    QCOMPARE(value, 7200.5);
    QCOMPARE(text, QStringLiteral("0.5"));
}

void TestNumberText::numberToText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("10") << 10.0 << "10";
    QTest::newRow("-1") << -1.0 << "-1";
    QTest::newRow("0.5") << 0.5 << "0.5";
    QTest::newRow("7200.5") << 7200.5 << "7200.5";
    QTest::newRow("514") << 514.0 << "514";
    QTest::newRow("0.1") << 0.1 << "0.1";
    QTest::newRow("7200") << 7200.0 << "7200";
    QTest::newRow("65534") << 65534.0 << "65534";
    QTest::newRow("1e15") << 1e15 << "1000000000000000";
    QTest::newRow("2^53") << 9007199254740992.0 << "9007199254740992";
    QTest::newRow("1e20") << 1e20 << "100000000000000000000";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("negative fraction") << -0.25 << "-0.25";
    QTest::newRow("twips") << 4320.0 << "4320";
    QTest::newRow("third") << 1.0 / 3.0 << "0.3333333333333333";
    QTest::newRow("tiny") << 1e-10 << "1e-10";
    QTest::newRow("huge") << 1.5e300 << "1.5e300";
    QTest::newRow("max") << DBL_MAX << "1.7976931348623157e308";
    QTest::newRow("infinity") << qInf() << "1.7976931348623157e308";
    QTest::newRow("nan") << qQNaN() << "0";
}

void TestNumberText::numberToText() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(NumberToText(value), expected);
}

void TestNumberText::roundTrip_data() {
    QTest::addColumn<double>("value");
    QTest::newRow("1e-6") << 1e-6;
    QTest::newRow("1e-7") << 1e-7;
    QTest::newRow("5e-324") << 5e-324;
    QTest::newRow("0.1+0.2") << 0.1 + 0.2;
    QTest::newRow("pi") << M_PI;
    QTest::newRow("-123456.789") << -123456.789;
    QTest::newRow("1e21") << 1e21;
    QTest::newRow("DBL_MIN") << DBL_MIN;
    QTest::newRow("-DBL_MAX") << -DBL_MAX;
    QTest::newRow("2^60+") << 1152921504606846976.0;
}

void TestNumberText::roundTrip() {
    QFETCH(double, value);
    const QString text = NumberToText(value);
    QCOMPARE(TextToNumber(text), value);
    QVERIFY2(!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char(' ')), qPrintable(text));
}

void TestNumberText::alwaysFinite() {
    // Random texts made of number characters: never NaN or infinity, never a crash.
    QRandomGenerator rng(12345);
    const char alphabet[] = "0123456789.eE+- \t9x";
    for (int i = 0; i < 20000; ++i) {
        QByteArray text;
        const int length = rng.bounded(1, 40);
        for (int j = 0; j < length; ++j)
            text += alphabet[rng.bounded(int(sizeof alphabet - 1))];
        const double value = TextToNumber(text);
        QVERIFY2(std::isfinite(value), text.constData());
        // What a number reads as, written back, reads as the same number.
        QCOMPARE(TextToNumber(NumberToText(value)), value);
    }
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
