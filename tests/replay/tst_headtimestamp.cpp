// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalZone.h"
#include "replay/HeadTimestamp.h"
#include "replay/Retimer.h"

#include <QDateTime>
#include <QTimeZone>
#include <QtTest>

#include <memory>

// The timestamp at the head of a line: which lines have one, the moment it names, and a line
// stamped anew that differs from the old one in the timestamp's fields only.
class TestHeadTimestamp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void retime_data();
    void retime();
    void moment_data();
    void moment();
    void yearBeyondTheFormLeavesTheLine();

private:
    std::unique_ptr<LocalZone> m_zone;
};

namespace {
// "2027-01-03T09:08:07Z" and nanoseconds as a moment.
WallTime utc(const char* text, qint32 nanoseconds = 0) {
    QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    t.setTimeZone(QTimeZone::utc());
    return {t.toSecsSinceEpoch(), nanoseconds};
}
// The send time of every row: a Sunday in January, 10:08:07 in Paris.
const WallTime SendTime = utc("2027-01-03T09:08:07", 123456789);
} // namespace

void TestHeadTimestamp::initTestCase() {
    // Without the zone's rules, TZ would silently mean UTC and the local rows would prove nothing.
    QVERIFY2(QTimeZone(QByteArrayLiteral("Europe/Paris")).isValid(), "no time zone data: install tzdata");
    m_zone = std::make_unique<LocalZone>("Europe/Paris");
}

void TestHeadTimestamp::cleanupTestCase() {
    m_zone.reset();
}

void TestHeadTimestamp::retime_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("sent"); // the line as sent; the same bytes when it has no timestamp

    // RFC 3164: local time, the day's padding kept.
    QTest::newRow("3164 space-padded day") << QByteArray("<38>Dec 17 08:14:02 bastion sshd[4121]: Accepted")
                                           << QByteArray("<38>Jan  3 10:08:07 bastion sshd[4121]: Accepted");
    QTest::newRow("3164 zero-padded day")
        << QByteArray("<38>Dec 07 08:14:02 h x") << QByteArray("<38>Jan 03 10:08:07 h x");
    QTest::newRow("3164 without PRI") << QByteArray("Dec  7 08:14:02 bastion sshd[1]: x\tz\n\xff")
                                      << QByteArray("Jan  3 10:08:07 bastion sshd[1]: x\tz\n\xff");
    QTest::newRow("3164 alone") << QByteArray("<0>Feb 29 23:59:59") << QByteArray("<0>Jan  3 10:08:07");
    // RFC 5424: fraction digits and zone form kept, the time expressed in the line's offset.
    QTest::newRow("5424 Z, milliseconds")
        << QByteArray("<190>1 2026-12-07T08:30:01.120Z www01 nginx 2231 access - \"GET / HTTP/1.1\" 200")
        << QByteArray("<190>1 2027-01-03T09:08:07.123Z www01 nginx 2231 access - \"GET / HTTP/1.1\" 200");
    QTest::newRow("5424 +05:30, microseconds")
        << QByteArray("<165>1 2026-12-07T08:30:01.000001+05:30 h a - - - m")
        << QByteArray("<165>1 2027-01-03T14:38:07.123456+05:30 h a - - - m");
    QTest::newRow("5424 -08:00 is the day before")
        << QByteArray("<34>1 2003-10-11T22:14:15-08:00 mymachine.example.com su - ID47 - 'su root' failed")
        << QByteArray("<34>1 2027-01-03T01:08:07-08:00 mymachine.example.com su - ID47 - 'su root' failed");
    QTest::newRow("5424 nanoseconds") << QByteArray("<14>1 2026-12-07T08:30:01.000000001Z - - - - -")
                                      << QByteArray("<14>1 2027-01-03T09:08:07.123456789Z - - - - -");
    QTest::newRow("5424 twelve fraction digits") << QByteArray("<14>1 2026-12-07T08:30:01.999999999999Z h")
                                                 << QByteArray("<14>1 2027-01-03T09:08:07.123456789000Z h");
    QTest::newRow("5424 one fraction digit, three-digit version")
        << QByteArray("<14>101 2026-12-07T08:30:01.9-00:00 h")
        << QByteArray("<14>101 2027-01-03T09:08:07.1-00:00 h");
    QTest::newRow("5424 time ends the line")
        << QByteArray("<14>1 2026-12-07T08:30:01Z") << QByteArray("<14>1 2027-01-03T09:08:07Z");
    QTest::newRow("PRI then RFC 3339, no version") << QByteArray("<13>2026-12-07T08:30:01.5+01:00 h t: m")
                                                   << QByteArray("<13>2027-01-03T10:08:07.1+01:00 h t: m");
    // ISO 8601 at the start of a line.
    QTest::newRow("ISO space, comma, local") << QByteArray("2026-12-07 08:30:01,120 INFO [main] started")
                                             << QByteArray("2027-01-03 10:08:07,123 INFO [main] started");
    QTest::newRow("ISO +hhmm") << QByteArray("2026-06-07T08:30:01+0100 app: x")
                               << QByteArray("2027-01-03T10:08:07+0100 app: x");
    QTest::newRow("ISO lower-case t and z")
        << QByteArray("2026-12-07t08:30:01.5z x") << QByteArray("2027-01-03t09:08:07.1z x");
    QTest::newRow("ISO summer time read, winter time written")
        << QByteArray("2026-07-14T12:00:00 bastille") << QByteArray("2027-01-03T10:08:07 bastille");

    // No timestamp that can be read: the line goes as it was.
    const QByteArray none[] = {
        "",
        "no timestamp here",
        " Dec  7 08:14:02 leading space",
        "<190>1 - www01 nginx - - - no time (NILVALUE)",
        "<38>1 Dec  7 08:14:02 version, then an RFC 3164 time",
        "<1234>Dec  7 08:14:02 four-digit PRI",
        "<38 Dec  7 08:14:02 unclosed PRI",
        "<38>Dex  7 08:14:02 month",
        "<38>dec  7 08:14:02 month case",
        "<38>Dec  0 08:14:02 day 0",
        "<38>Dec 32 08:14:02 day 32",
        "<38>Feb 30 08:14:02 day 30 of February",
        "<38>Dec  7 24:14:02 hour",
        "<38>Dec  7 08:60:02 minute",
        "<38>Dec  7 08:14:60 leap second in RFC 3164",
        "<38>Dec 7 08:14:02 unpadded day",
        "<38>Dec  7 08:14:02.123 fraction in RFC 3164",
        "<38>Dec  7 08:14:0299 longer seconds",
        "2026-12-07T08:30:01. fraction without digits",
        "2026-12-07T08:30:01+01 zone hours alone",
        "2026-12-07T08:30:01+24:00 zone hour",
        "2026-12-07T08:30:01+01:60 zone minute",
        "2026-12-07T08:30:01Zulu zone run on",
        "2026-13-07T08:30:01Z month 13",
        "2026-02-29T08:30:01Z February 29 in a common year",
        "2026-12-07_08:30:01Z separator",
        "2026-12-07T08:30Z no seconds",
        "26-12-07T08:30:01Z two-digit year",
        "2026-12-07T08:30:01:00 extra field",
    };
    for (const QByteArray& line : none)
        QTest::newRow(line.isEmpty() ? "empty" : line.constData()) << line << line;
    QTest::newRow("3164 cut short") << QByteArray("<38>Dec  7 08:14") << QByteArray("<38>Dec  7 08:14");
}

void TestHeadTimestamp::retime() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, sent);
    Retimer retimer([] { return SendTime; });
    QByteArray out = line;
    retimer.rewrite(&out);
    QCOMPARE(out, sent);
    const bool retimed = sent != line;
    QCOMPARE(retimer.retimed(), retimed ? 1 : 0);
    QCOMPARE(retimer.unchanged(), retimed ? 0 : 1);
}

void TestHeadTimestamp::moment_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("year"); // for a time without one
    QTest::addColumn<QString>("utc");
    QTest::addColumn<int>("nanoseconds");

    QTest::newRow("3164 winter") << QByteArray("<38>Dec  7 08:14:02 h") << 2026 << "2026-12-07T07:14:02" << 0;
    QTest::newRow("3164 summer") << QByteArray("Jul 14 08:14:02 h") << 2026 << "2026-07-14T06:14:02" << 0;
    QTest::newRow("3164 29 February") << QByteArray("Feb 29 00:00:00") << 2028 << "2028-02-28T23:00:00" << 0;
    QTest::newRow("5424 offset") << QByteArray("<1>1 2026-12-07T08:30:01.25+05:30 h") << 0
                                 << "2026-12-07T03:00:01" << 250000000;
    QTest::newRow("ISO west of UTC") << QByteArray("2026-12-31T23:30:00-0100") << 0 << "2027-01-01T00:30:00"
                                     << 0;
    QTest::newRow("ISO local, fall back")
        << QByteArray("2026-10-25 03:00:00") << 0 << "2026-10-25T02:00:00" << 0;
    QTest::newRow("ISO local, in the spring gap")
        << QByteArray("2026-03-29 02:30:00") << 0 << "2026-03-29T01:30:00" << 0;
    QTest::newRow("leap second") << QByteArray("2016-12-31T23:59:60.5Z") << 0 << "2017-01-01T00:00:00"
                                 << 500000000;
    QTest::newRow("year 1") << QByteArray("0001-01-01T00:00:00Z") << 0 << "0001-01-01T00:00:00" << 0;
    QTest::newRow("year 9999") << QByteArray("9999-12-31T23:59:59.999999999Z") << 0 << "9999-12-31T23:59:59"
                               << 999999999;
}

void TestHeadTimestamp::moment() {
    QFETCH(QByteArray, line);
    QFETCH(int, year);
    QFETCH(QString, utc);
    QFETCH(int, nanoseconds);
    const HeadTimestamp stamp = HeadTimestamp::find(line);
    QVERIFY(stamp.isValid());
    WallTime time;
    QVERIFY(stamp.toWallTime(year, &time));
    QDateTime expected = QDateTime::fromString(utc, Qt::ISODate);
    expected.setTimeZone(QTimeZone::utc());
    QCOMPARE(time.seconds, expected.toSecsSinceEpoch());
    QCOMPARE(time.nanoseconds, nanoseconds);
    // 29 February has no place in a common year.
    if (!stamp.hasYear() && line.contains("Feb 29"))
        QVERIFY(!stamp.toWallTime(2027, &time));
}

void TestHeadTimestamp::yearBeyondTheFormLeavesTheLine() {
    // 01:00:01 on the first of January 10000 in Paris.
    Retimer retimer([] { return WallTime{utc("9999-12-31T23:59:59").seconds + 2, 0}; });
    QByteArray iso("<1>1 2026-12-07T08:30:01Z h");
    QByteArray bsd("<1>Dec  7 08:30:01 h");
    retimer.rewrite(&iso);
    retimer.rewrite(&bsd);
    QCOMPARE(iso, QByteArray("<1>1 2026-12-07T08:30:01Z h"));
    QCOMPARE(bsd, QByteArray("<1>Jan  1 01:00:01 h"));
    QCOMPARE(retimer.retimed(), 1);
    QCOMPARE(retimer.unchanged(), 1);
}

QTEST_GUILESS_MAIN(TestHeadTimestamp)
#include "tst_headtimestamp.moc"
