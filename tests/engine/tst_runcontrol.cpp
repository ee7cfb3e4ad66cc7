// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestKit.h"
#include "FakeRunHost.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"

#include <QtTest>

#include <functional>
#include <memory>

using namespace EngineTestKit;

namespace {
const QString Source = QStringLiteral("web");
const QString SourcePath = QStringLiteral("Logs Source/web.txt");
const QString OutputPath = QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s/web.txt");
// Long enough that a handler queued "now" surely runs inside the wait that follows.
constexpr int DelayMs = 50;
const QString Delay = QStringLiteral("0.05");

// Runs `action` once, from the event loop, after line `count` has been produced: that is
// during the wait that follows, where the window's handlers run.
void afterLine(GenerationRun& run, qint64 count, std::function<void()> action, int laterMs = 0) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&run, &GenerationRun::lineProduced, &run,
                                   [&run, count, action, laterMs, connection](qint64 n) {
                                       if (n != count)
                                           return;
                                       QObject::disconnect(*connection);
                                       QTimer::singleShot(laterMs, Qt::PreciseTimer, &run, action);
                                   });
}
} // namespace

// Pause, Stop, Quit and the language switch, run between two lines as the window's handlers,
// and the odd rows of the run state table.
class TestRunControl : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pauseAndResumeLosesNothing();
    void pauseDuringLastWaitEndsWithoutLastLine();
    void pauseTwiceWithinOneWaitChangesNothing();
    void stopDuringWait();
    void stopDuringPauseThenPlay();
    void failureHaltsUntilStop();
    void quitDuringWait();
    void languageSwitchDuringRun();
    void playWhileRunningIsIgnored();
    void noWaitEndsEarly();
    void emptySourceLoops_data();
    void emptySourceLoops();
    void zeroDelayLeavesRoomForStop();

private:
    std::unique_ptr<WorkDir> m_dir;
    std::unique_ptr<FakeRunHost> m_host;
    std::unique_ptr<UdpSink> m_udp;
    std::unique_ptr<GenerationRun> m_run;
};

void TestRunControl::init() {
    m_dir = std::make_unique<WorkDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(writeFile(SourcePath, "a\r\nb\r\nc\r\n"));
    m_host = std::make_unique<FakeRunHost>();
    m_udp = std::make_unique<UdpSink>();
    m_run = std::make_unique<GenerationRun>(m_host.get(), m_udp.get());
}

void TestRunControl::cleanup() {
    m_run.reset();
    m_udp.reset();
    m_host.reset();
    m_dir.reset();
}

void TestRunControl::pauseAndResumeLosesNothing() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    int echoedWhilePaused = -1;
    int echoedAtResume = -1;
    afterLine(run, 1, [&] {
        run.pause();
        QCOMPARE(run.isPaused(), true);
        QCOMPARE(host.buttons(), QStringLiteral("011")); // nothing visible changes
    });
    // Half-way through the second paused wait, and then (resuming) two and a half waits in.
    afterLine(
        run, 1, [&] { echoedWhilePaused = host.echo.size(); }, DelayMs * 3 / 2);
    afterLine(
        run, 1,
        [&] {
            echoedAtResume = host.echo.size();
            run.pause();
        },
        DelayMs * 5 / 2);

    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(echoedWhilePaused, 1);
    QCOMPARE(echoedAtResume, 1);
    QCOMPARE(host.echo, (QList<QByteArray>{"a", "b", "c"}));
    QCOMPARE(host.lineCountCaptions, (QStringList{"Lignes: 1", "Lignes: 2", "Lignes: 3"}));
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\nb\r\nc\r\n"));
    QCOMPARE(host.boxesOfKind(QStringLiteral("information")).size(), 1);
    QCOMPARE(run.isPaused(), false);
}

void TestRunControl::pauseDuringLastWaitEndsWithoutLastLine() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    afterLine(run, 2, [&] { run.pause(); }); // c has been read; its wait is under way
    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(host.echo, (QList<QByteArray>{"a", "b"}));
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\nb\r\n"));
    QCOMPARE(host.boxesOfKind(QStringLiteral("information")).size(), 1);
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QCOMPARE(run.isPaused(), false); // the final reset clears it
}

void TestRunControl::pauseTwiceWithinOneWaitChangesNothing() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    int echoedAfterOneWait = -1;
    afterLine(run, 1, [&] {
        run.pause();
        run.pause();
    });
    // Between the end of that wait and the end of the next one.
    afterLine(
        run, 1, [&] { echoedAfterOneWait = host.echo.size(); }, DelayMs * 3 / 2);
    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(echoedAfterOneWait, 2); // b came at the end of that same wait
    QCOMPARE(host.echo, (QList<QByteArray>{"a", "b", "c"}));
    QCOMPARE(run.isPaused(), false);
}

void TestRunControl::stopDuringWait() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    afterLine(run, 1, [&] { run.stop(); });
    QVERIFY(playAndWait(run, Source, Delay));
    QVERIFY(!run.isRunning());
    QTest::qWait(DelayMs * 3);
    QCOMPARE(host.echo, QList<QByteArray>{"a"});
    QCOMPARE(host.lineCountCaptions.size(), 1);
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\n"));
    QVERIFY(!isOpenInProcess(OutputPath));
    QVERIFY(!isOpenInProcess(SourcePath));
    QVERIFY(host.boxes.isEmpty());
    QCOMPARE(host.errorCount, 0);
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QCOMPARE(host.enabledControls, int(RunHost::AllLocked)); // idle after Stop: all usable
    QCOMPARE(run.isPaused(), false);
}

void TestRunControl::stopDuringPauseThenPlay() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    afterLine(run, 1, [&] { run.pause(); });
    afterLine(
        run, 1, [&] { run.stop(); }, DelayMs * 5 / 2);
    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(host.echo, QList<QByteArray>{"a"});
    QCOMPARE(run.isPaused(), true); // Stop leaves the pause flag
    QCOMPARE(run.stopRequested(), true);
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QCOMPARE(host.enabledControls, int(RunHost::AllLocked));

    // This press starts nothing and leaves the locks on.
    host.calls.clear();
    run.play(Source, Delay);
    QVERIFY(!run.isRunning());
    QCOMPARE(host.calls, (QStringList{"setRunButtons(011)", "setControlsEnabled(15,0)", "setRunButtons(100)",
                                      "setRunButtons(100)"}));
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QCOMPARE(host.enabledControls, 0);
    QCOMPARE(run.isPaused(), false);
    QCOMPARE(run.stopRequested(), false);
    QCOMPARE(run.lineCounter(), qint64(0));
    QCOMPARE(host.echo, QList<QByteArray>{"a"}); // not emptied: no fresh start
    QTest::qWait(DelayMs * 2);
    QCOMPARE(host.echo.size(), 1);

    // The next press is a fresh start: the pane emptied, counting from 1.
    host.answerYes = false;
    QVERIFY(playAndWait(run, Source, QStringLiteral("0.01")));
    QCOMPARE(host.clearCount, 2);
    QCOMPARE(host.echo, (QList<QByteArray>{"a", "b", "c"}));
    QCOMPARE(host.lineCountCaptions.mid(1), (QStringList{"Lignes: 1", "Lignes: 2", "Lignes: 3"}));
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\nb\r\nc\r\n"));
}

void TestRunControl::failureHaltsUntilStop() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    QVERIFY(QFile::remove(SourcePath));
    run.play(Source, Delay);
    QVERIFY(!run.isRunning());
    QCOMPARE(host.errorCaption, QStringLiteral("Err: 52 : Source file not open: Logs Source/web.txt"));
    QCOMPARE(host.titleCaption, QStringLiteral("Erreur Inconnue"));
    QCOMPARE(host.buttons(), QStringLiteral("011"));
    QCOMPARE(host.enabledControls, 0);

    // Pause while halted toggles the flag and nothing else.
    run.pause();
    QCOMPARE(run.isPaused(), true);
    QCOMPARE(host.buttons(), QStringLiteral("011"));
    QCOMPARE(host.enabledControls, 0);
    QVERIFY(!run.isRunning());
    QTest::qWait(DelayMs * 2);
    QVERIFY(host.echo.isEmpty());

    run.stop();
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QCOMPARE(host.enabledControls, int(RunHost::AllLocked));
    QCOMPARE(run.isPaused(), true); // as it was

    // With the flag left at 1, the next press only clears it; the one after runs.
    QVERIFY(writeFile(SourcePath, "z\r\n"));
    run.play(Source, Delay);
    QVERIFY(!run.isRunning());
    QVERIFY(host.echo.isEmpty());
    QVERIFY(playAndWait(run, Source, QStringLiteral("0.01")));
    QCOMPARE(host.echo, QList<QByteArray>{"z"});
    QCOMPARE(host.errorCount, 1);
}

void TestRunControl::quitDuringWait() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    int callsAtQuit = -1;
    afterLine(run, 1, [&] {
        run.requestQuit();
        callsAtQuit = host.calls.size();
    });
    QVERIFY(playAndWait(run, Source, Delay));
    QVERIFY(!run.isRunning());
    QCOMPARE(run.quitRequested(), true);
    QTest::qWait(DelayMs * 3);
    QCOMPARE(host.calls.size(), callsAtQuit);
    QCOMPARE(host.echo, QList<QByteArray>{"a"});
    QVERIFY(host.boxes.isEmpty());
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\n"));
    QVERIFY(!isOpenInProcess(OutputPath));
    QVERIFY(!isOpenInProcess(SourcePath));

    // A quitting program starts nothing more.
    run.play(Source, Delay);
    QVERIFY(!run.isRunning());
    QCOMPARE(host.calls.size(), callsAtQuit);
}

void TestRunControl::languageSwitchDuringRun() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    afterLine(run, 1, [&] { host.language = 1; });
    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(host.lineCountCaptions, (QStringList{"Lignes: 1", "Lines: 2", "Lines: 3"}));
    const QList<FakeRunHost::Box> info = host.boxesOfKind(QStringLiteral("information"));
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first().title, QStringLiteral("File"));
    QCOMPARE(info.first().text, QStringLiteral("The file generation of web.txt is done.\r\n\r\n"));
}

void TestRunControl::playWhileRunningIsIgnored() {
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    afterLine(run, 1, [&] { run.play(Source, QStringLiteral("0.001")); });
    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(host.clearCount, 1);
    QCOMPARE(host.echo, (QList<QByteArray>{"a", "b", "c"}));
    QCOMPARE(host.boxesOfKind(QStringLiteral("information")).size(), 1);
}

void TestRunControl::noWaitEndsEarly() {
    // Each wait starts when the previous line went out, a little before the run says so (the
    // window is shown the line in between): so the k-th line is said at least k delays after the
    // press, though two of them may be said closer than a delay apart when the first was said
    // late. (A lower bound only: never flaky.)
    GenerationRun& run = *m_run;
    QElapsedTimer clock;
    QList<qint64> at;
    connect(&run, &GenerationRun::lineProduced, this, [&] { at << clock.nsecsElapsed(); });
    clock.start();
    QVERIFY(playAndWait(run, Source, QStringLiteral("0.0125")));
    QCOMPARE(at.size(), 3);
    const qint64 delayNs = 12500000;
    for (int k = 0; k < at.size(); ++k)
        QVERIFY2(at[k] >= (k + 1) * delayNs,
                 qPrintable(QStringLiteral("line %1 at %2 ns").arg(k + 1).arg(at[k])));
}

void TestRunControl::emptySourceLoops_data() {
    QTest::addColumn<GenerationOrder>("order");
    QTest::newRow("sequential") << GenerationOrder::Sequential;
    QTest::newRow("random") << GenerationOrder::Random;
}

void TestRunControl::emptySourceLoops() {
    QFETCH(GenerationOrder, order);
    GenerationRun& run = *m_run;
    FakeRunHost& host = *m_host;
    QVERIFY(writeFile(SourcePath, QByteArray()));
    run.setLoop(true);
    run.setGenerationOrder(order);
    run.play(Source, QStringLiteral("0.01"));
    // The window stays live (this wait returns) and the run goes on.
    QTest::qWait(150);
    QVERIFY(run.isRunning());
    QVERIFY(host.echo.isEmpty());
    QVERIFY(host.boxes.isEmpty());
    QCOMPARE(host.errorCount, 0);

    // Lines that appear in the source are picked up at the next pass.
    QVERIFY(writeFile(SourcePath, "late\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(!host.echo.isEmpty(), 5000);
    QCOMPARE(host.echo.first(), QByteArray("late"));

    run.stop();
    QVERIFY(!run.isRunning());
    QCOMPARE(host.buttons(), QStringLiteral("100"));
}

void TestRunControl::zeroDelayLeavesRoomForStop() {
    // Without any wait the lines come in bursts; between two of them the event loop still runs
    // the other handlers, so a Stop from a timer ends an endless run, and its file is whole.
    m_run->setLoop(true);
    QTimer::singleShot(100, m_run.get(), [this] { m_run->stop(); });
    m_run->playFile(SourcePath, QStringLiteral("out.txt"), 0);
    QVERIFY(waitForEnd(*m_run, 10000));
    QCOMPARE(m_host->errorCount, 0);
    const QByteArray out = readFile(QStringLiteral("out.txt"));
    QVERIFY(out.size() > 3 * 3);
    QVERIFY(out.startsWith("a\r\nb\r\nc\r\na\r\n"));
    QVERIFY(out.endsWith("\r\n"));
}

QTEST_GUILESS_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
