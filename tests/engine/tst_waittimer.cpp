// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WaitTimer.h"

#include <QtTest>

#include <ctime>

// The run's wait timer: one timeout per start, never one left over from an earlier start.
class TestWaitTimer : public QObject {
    Q_OBJECT

private slots:
    void expiryOfAnEarlierStartIsNotTaken_data();
    void expiryOfAnEarlierStartIsNotTaken();
    void firesOncePerStart();
};

namespace {
// Sleeps without turning the event loop, so an expiry waits untaken.
void sleepMs(long ms) {
    const timespec pause{0, ms * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
}
} // namespace

void TestWaitTimer::expiryOfAnEarlierStartIsNotTaken_data() {
    QTest::addColumn<bool>("restart");
    QTest::newRow("started again") << true;
    QTest::newRow("stopped") << false;
}

void TestWaitTimer::expiryOfAnEarlierStartIsNotTaken() {
    QFETCH(bool, restart);
    WaitTimer timer;
    int timeouts = 0;
    connect(&timer, &WaitTimer::timeout, this, [&] { ++timeouts; });
    timer.start(1000 * 1000); // 1 ms
    sleepMs(20);
    if (restart)
        timer.start(3600LL * 1000 * 1000 * 1000);
    else
        timer.stop();
    QTest::qWait(100);
    QCOMPARE(timeouts, 0);
    QCOMPARE(timer.isActive(), restart);
}

void TestWaitTimer::firesOncePerStart() {
    WaitTimer timer;
    int timeouts = 0;
    connect(&timer, &WaitTimer::timeout, this, [&] { ++timeouts; });
    // A long start replaced by an immediate one: one timeout, and none when the first was due.
    timer.start(30 * 1000 * 1000);
    timer.start(0);
    QTRY_COMPARE(timeouts, 1);
    QTest::qWait(100);
    QCOMPARE(timeouts, 1);
    timer.start(2 * 1000 * 1000);
    QTRY_COMPARE(timeouts, 2);
    QVERIFY(!timer.isActive());
}

QTEST_GUILESS_MAIN(TestWaitTimer)
#include "tst_waittimer.moc"
