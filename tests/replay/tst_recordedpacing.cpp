// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalZone.h"
#include "replay/HeadTimestamp.h"
#include "replay/RecordedPacing.h"

#include <QDateTime>
#include <QTimeZone>
#include <QtTest>

#include <memory>

// When each line of a recorded log is due: the gaps between timestamps, divided by the speed,
// capped, summed without drift; no wait for a line without a timestamp or out of order.
class TestRecordedPacing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void schedule_data();
    void schedule();
    void noDriftOverALongLog();
    void newRunStartsAnew();
    void samplesHaveARhythm_data();
    void samplesHaveARhythm();

private:
    std::unique_ptr<LocalZone> m_zone;
};

namespace {
constexpr qint64 Second = 1000000000;

// Now, for placing times without a year: a Sunday in January.
WallTime reference() {
    return {QDateTime(QDate(2027, 1, 3), QTime(9, 0), QTimeZone::utc()).toSecsSinceEpoch(), 0};
}

QList<qint64> dues(RecordedPacing& pacing, const QByteArrayList& lines) {
    QList<qint64> due;
    for (const QByteArray& line : lines)
        due << pacing.dueNs(due.size(), line);
    return due;
}
} // namespace

void TestRecordedPacing::initTestCase() {
    // Without the zone's rules, TZ would silently mean UTC and the local rows would prove nothing.
    QVERIFY2(QTimeZone(QByteArrayLiteral("Europe/Paris")).isValid(), "no time zone data: install tzdata");
    m_zone = std::make_unique<LocalZone>("Europe/Paris");
}

void TestRecordedPacing::cleanupTestCase() {
    m_zone.reset();
}

void TestRecordedPacing::schedule_data() {
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<double>("speed");
    QTest::addColumn<double>("maxGap"); // seconds; negative for none
    QTest::addColumn<QList<qint64>>("due");

    const QByteArrayList bsd = {"<38>Dec  7 08:00:00 h a", "<38>Dec  7 08:00:01 h b",
                                "<38>Dec  7 08:00:01 h c", "<38>Dec  7 08:00:05 h d",
                                "<38>Dec  7 09:00:05 h e"};
    QTest::newRow("recorded gaps") << bsd << 1.0 << -1.0
                                   << QList<qint64>{0, Second, Second, 5 * Second, 3605 * Second};
    QTest::newRow("twice as fast") << bsd << 2.0 << -1.0
                                   << QList<qint64>{0, Second / 2, Second / 2, 5 * Second / 2,
                                                    3605 * Second / 2};
    QTest::newRow("half speed") << bsd << 0.5 << -1.0
                                << QList<qint64>{0, 2 * Second, 2 * Second, 10 * Second, 7210 * Second};
    QTest::newRow("a gap capped") << bsd << 1.0 << 10.0
                                  << QList<qint64>{0, Second, Second, 5 * Second, 15 * Second};
    QTest::newRow("capped after the speed")
        << bsd << 60.0 << 30.0
        << QList<qint64>{0, Second / 60, Second / 60, Second / 12, Second / 12 + 30 * Second};
    QTest::newRow("no wait at all") << bsd << 1.0 << 0.0 << QList<qint64>{0, 0, 0, 0, 0};

    QTest::newRow("lines without a timestamp") << QByteArrayList{"no time yet", "<38>Dec  7 08:00:00 h a",
                                                                 "  continued", "", "<38>Dec  7 08:00:02 h b"}
                                               << 1.0 << -1.0 << QList<qint64>{0, 0, 0, 0, 2 * Second};
    QTest::newRow("unsorted") << QByteArrayList{"2026-12-07T10:00:00Z a", "2026-12-07T10:00:05Z b",
                                                "2026-12-07T10:00:02Z c", "2026-12-07T10:00:04Z d"}
                              << 1.0 << -1.0 << QList<qint64>{0, 5 * Second, 5 * Second, 7 * Second};
    QTest::newRow("year rollover") << QByteArrayList{"<38>Dec 31 23:59:58 h a", "<38>Jan  1 00:00:01 h b",
                                                     "<38>Jan  1 00:00:02 h c"}
                                   << 1.0 << -1.0 << QList<qint64>{0, 3 * Second, 4 * Second};
    QTest::newRow("late December line after the new year")
        << QByteArrayList{"<38>Dec 31 23:59:58 h a", "<38>Jan  1 00:00:01 h b", "<38>Dec 31 23:59:59 h c",
                          "<38>Jan  1 00:00:03 h d"}
        << 1.0 << -1.0 << QList<qint64>{0, 3 * Second, 3 * Second, 7 * Second};
    QTest::newRow("29 February in a common year")
        << QByteArrayList{"<38>Feb 28 23:59:59 h a", "<38>Feb 29 00:00:01 h b", "<38>Mar  1 00:00:01 h c"}
        << 1.0 << -1.0 << QList<qint64>{0, 0, 2 * Second};
    // The nearest 29 February is a year away: not a gap to wait.
    QTest::newRow("29 February a year away")
        << QByteArrayList{"<38>Jan  1 00:00:00 h a", "<38>Feb 28 23:59:59 h b", "<38>Feb 29 00:00:01 h c",
                          "<38>Mar  1 00:00:01 h d"}
        << 1.0 << 10.0 << QList<qint64>{0, 10 * Second, 10 * Second, 12 * Second};
    QTest::newRow("fractions, speed 60")
        << QByteArrayList{"<190>1 2026-12-07T08:30:01.120Z a", "<190>1 2026-12-07T08:30:01.512Z b",
                          "<190>1 2026-12-07T08:31:01.512Z c"}
        << 60.0 << -1.0 << QList<qint64>{0, 6533333, 6533333 + Second};
    QTest::newRow("zones compared as moments")
        << QByteArrayList{"2026-12-07T08:00:00Z a", "<1>1 2026-12-07T09:00:02+01:00 b",
                          "2026-12-07 09:00:03 c", "Dec  7 09:00:04 d"}
        << 1.0 << -1.0 << QList<qint64>{0, 2 * Second, 3 * Second, 4 * Second};
    QTest::newRow("local time over the autumn change")
        << QByteArrayList{"2026-10-25 01:59:59 a", "2026-10-25 03:00:00 b"} << 1.0 << -1.0
        << QList<qint64>{0, 7201 * Second};
}

void TestRecordedPacing::schedule() {
    QFETCH(QByteArrayList, lines);
    QFETCH(double, speed);
    QFETCH(double, maxGap);
    QFETCH(QList<qint64>, due);
    RecordedPacing pacing(speed, maxGap < 0 ? RecordedPacing::NoGapLimit : qint64(maxGap * Second),
                          reference());
    QCOMPARE(dues(pacing, lines), due);
}

void TestRecordedPacing::noDriftOverALongLog() {
    // A line a second for a day at speed 3: each due time is the exact third of the recorded
    // time, not the sum of rounded thirds (which would lose about 29 µs by the end).
    RecordedPacing pacing(3, RecordedPacing::NoGapLimit, reference());
    const QDateTime start(QDate(2026, 12, 7), QTime(0, 0), QTimeZone::utc());
    for (qint64 k = 0; k < 86400; ++k) {
        const QByteArray line = start.addSecs(k).toString(Qt::ISODate).toLatin1() + " tick";
        const qint64 due = pacing.dueNs(k, line);
        if (due != k * Second / 3)
            QFAIL(qPrintable(
                QStringLiteral("line %1 due at %2 ns, not %3").arg(k).arg(due).arg(k * Second / 3)));
    }
}

void TestRecordedPacing::newRunStartsAnew() {
    RecordedPacing pacing(1, RecordedPacing::NoGapLimit, reference());
    const QByteArrayList lines = {"2026-12-07T08:00:00Z a", "2026-12-07T08:00:04Z b"};
    QCOMPARE(dues(pacing, lines), (QList<qint64>{0, 4 * Second}));
    QCOMPARE(dues(pacing, lines), (QList<qint64>{0, 4 * Second}));
}

void TestRecordedPacing::samplesHaveARhythm_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minutes"); // from the first line to the last, about
    QTest::newRow("auth, across the new year") << "auth.txt" << 62;
    QTest::newRow("web access") << "access.txt" << 31;
}

void TestRecordedPacing::samplesHaveARhythm() {
    QFETCH(QString, name);
    QFETCH(int, minutes);
    QFile file(QStringLiteral(TALVEX_EXAMPLES "/") + name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.endsWith("\r\n"));
    QByteArrayList lines = content.split('\n');
    lines.removeLast(); // after the last line end
    QVERIFY(lines.size() >= 1500);
    RecordedPacing pacing(1, RecordedPacing::NoGapLimit, reference());
    qint64 previous = 0;
    qint64 longest = 0;
    qint64 together = 0; // lines due within 0.1 s of the one before: bursts
    for (qint64 k = 0; k < lines.size(); ++k) {
        const QByteArray line = lines.at(k).chopped(1);
        QVERIFY2(lines.at(k).endsWith('\r') && HeadTimestamp::find(line).isValid(), line.constData());
        const qint64 due = pacing.dueNs(k, line);
        longest = qMax(longest, due - previous);
        together += k > 0 && due - previous < Second / 10;
        previous = due;
    }
    QVERIFY2(qAbs(previous - minutes * 60 * Second) < 60 * Second,
             qPrintable(QString::number(previous / Second)));
    QVERIFY(longest >= 30 * Second);
    QVERIFY(together >= lines.size() / 10);
}

QTEST_GUILESS_MAIN(TestRecordedPacing)
#include "tst_recordedpacing.moc"
