// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestKit.h"
#include "FakeRunHost.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace EngineTestKit;

namespace {
const QString Source = QStringLiteral("web");
const QString SourcePath = QStringLiteral("Logs Source/web.txt");
const QString OutputPath = QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s/web.txt");
const QString Delay = QStringLiteral("0.01");
} // namespace

// Sequential runs with file output: what the window is told, what the file holds, and how
// failures of the output file end a run.
class TestRunFile : public QObject {
    Q_OBJECT

private slots:
    void threeLines_data();
    void threeLines();
    void existingFile_data();
    void existingFile();
    void loopUntilStop();
    void emptySourceEndsAtOnce();
    void emptyAndUnterminatedLines();
    void outputFailure_data();
    void outputFailure();
    void quitDuringCompletionMessage();
};

void TestRunFile::threeLines_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::newRow("French") << 0 << QStringLiteral("Lignes: ") << QStringLiteral("Fichier")
                            << QStringLiteral(
                                   "La g\u00e9n\u00e9ration du fichier web.txt est termin\u00e9e.\r\n\r\n");
    QTest::newRow("English") << 1 << QStringLiteral("Lines: ") << QStringLiteral("File")
                             << QStringLiteral("The file generation of web.txt is done.\r\n\r\n");
}

void TestRunFile::threeLines() {
    QFETCH(int, language);
    QFETCH(QString, label);
    QFETCH(QString, title);
    QFETCH(QString, message);
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(SourcePath, "a\r\nb\r\nc\r\n"));
    FakeRunHost host;
    host.language = language;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    QSignalSpy produced(&run, &GenerationRun::lineProduced);

    run.play(Source, Delay);
    QVERIFY(run.isRunning());
    QCOMPARE(host.buttons(), QStringLiteral("011"));
    QCOMPARE(host.enabledControls, 0);
    QCOMPARE(host.clearCount, 1);
    QVERIFY(host.echo.isEmpty()); // the first line comes one delay after the press
    QVERIFY(waitForEnd(run));

    QCOMPARE(host.echo, (QList<QByteArray>{"a", "b", "c"}));
    QCOMPARE(host.lineCountCaptions, (QStringList{label + "1", label + "2", label + "3"}));
    QCOMPARE(produced.size(), 3);
    QCOMPARE(produced.at(2).at(0).toLongLong(), qint64(3));
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\nb\r\nc\r\n"));
    QVERIFY(!isOpenInProcess(OutputPath));
    QVERIFY(!isOpenInProcess(SourcePath));

    QVERIFY(host.boxesOfKind(QStringLiteral("question")).isEmpty()); // a new file asks nothing
    const QList<FakeRunHost::Box> info = host.boxesOfKind(QStringLiteral("information"));
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first().title, title);
    QCOMPARE(info.first().text, message);

    // Idle after a normal end: the source list stays locked until the next initialisation.
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QVERIFY(host.controlEnabled(RunHost::FrmLecture));
    QVERIFY(host.controlEnabled(RunHost::FrmSyslog));
    QVERIFY(host.controlEnabled(RunHost::CmdSrc));
    QVERIFY(!host.controlEnabled(RunHost::ComboSrc));
    QCOMPARE(host.restoreCount, 1);
    QCOMPARE(run.lineCounter(), qint64(0));
    QCOMPARE(host.lineCountCaption, label + "3");
    QCOMPARE(run.stopRequested(), false);
    QCOMPARE(run.isPaused(), false);
    QCOMPARE(host.errorCount, 0);
    QVERIFY(!run.isRunning());

    // The end, in order: message, unlock, normal window, buttons back.
    const QStringList tail = host.calls.mid(host.calls.lastIndexOf(QStringLiteral("showInformation")));
    QCOMPARE(tail,
             (QStringList{QStringLiteral("showInformation"), QStringLiteral("setControlsEnabled(11,1)"),
                          QStringLiteral("restoreNormalWindow"), QStringLiteral("setRunButtons(100)")}));
}

void TestRunFile::existingFile_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Yes adds") << true << QByteArray("old 1\r\nold 2\r\nx\r\ny\r\n");
    QTest::newRow("No replaces") << false << QByteArray("x\r\ny\r\n");
}

void TestRunFile::existingFile() {
    QFETCH(bool, yes);
    QFETCH(QByteArray, expected);
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(SourcePath, "x\r\ny"));
    QVERIFY(writeFile(OutputPath, "old 1\r\nold 2\r\n"));
    FakeRunHost host;
    host.answerYes = yes;
    UdpSink udp;
    GenerationRun run(&host, &udp);

    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(readFile(OutputPath), expected);
    const QList<FakeRunHost::Box> questions = host.boxesOfKind(QStringLiteral("question"));
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().title, QStringLiteral("Fichier"));
    QCOMPARE(questions.first().text,
             QStringLiteral("Le fichier web.txt existe.\r\n\r\nVoulez vous ajouter des logs (Oui). "
                            "Si Non, un nouveau fichier sera cr\u00e9e."));
    // Asked before the source is opened, hence before any line.
    QVERIFY(host.calls.indexOf(QStringLiteral("askYesNo")) < host.calls.indexOf(QStringLiteral("echoLine")));

    // The next run asks again, the file now existing.
    host.language = 1;
    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(host.boxesOfKind(QStringLiteral("question")).size(), 2);
    QCOMPARE(
        host.boxesOfKind(QStringLiteral("question")).last().text,
        QStringLiteral(
            "File web.txt exists.\r\n\r\nDo you want add Logs (Yes). If No, a new file will be create."));
    QCOMPARE(readFile(OutputPath), yes ? expected + "x\r\ny\r\n" : QByteArray("x\r\ny\r\n"));
}

void TestRunFile::loopUntilStop() {
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(SourcePath, "a\r\nb\r\nc\r\n"));
    FakeRunHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    run.setLoop(true);
    connect(&run, &GenerationRun::lineProduced, this, [&run](qint64 count) {
        if (count == 7)
            QTimer::singleShot(0, &run, [&run] { run.stop(); }); // Stop during the next wait
    });

    QVERIFY(playAndWait(run, Source, Delay));
    const QList<QByteArray> expected{"a", "b", "c", "a", "b", "c", "a"};
    QCOMPARE(host.echo, expected);
    QCOMPARE(host.lineCountCaption, QStringLiteral("Lignes: 7"));
    QCOMPARE(readFile(OutputPath), crlfLines(expected));
    QVERIFY(!isOpenInProcess(OutputPath));
    QVERIFY(!isOpenInProcess(SourcePath));
    QVERIFY(host.boxes.isEmpty()); // no completion message after Stop
    QCOMPARE(host.errorCount, 0);
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QCOMPARE(host.enabledControls, int(RunHost::AllLocked));
    // Stop leaves the counter; the request stays until the next fresh start.
    QCOMPARE(run.lineCounter(), qint64(7));
    QCOMPARE(run.stopRequested(), true);

    QTest::qWait(50); // several delays: a stopped run never produces again
    QCOMPARE(host.echo.size(), 7);
}

void TestRunFile::emptySourceEndsAtOnce() {
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(SourcePath, QByteArray()));
    FakeRunHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    run.play(Source, QStringLiteral("100")); // a long delay: the run must not wait it
    QVERIFY(!run.isRunning());
    QVERIFY(host.echo.isEmpty());
    QCOMPARE(host.boxesOfKind(QStringLiteral("information")).size(), 1);
    QVERIFY(QFileInfo::exists(OutputPath));
    QCOMPARE(readFile(OutputPath), QByteArray());
    QCOMPARE(host.buttons(), QStringLiteral("100"));
}

void TestRunFile::emptyAndUnterminatedLines() {
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(SourcePath, "a\r\n\r\nb\nc\rlast"));
    FakeRunHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    QVERIFY(playAndWait(run, Source, Delay));
    const QList<QByteArray> expected{"a", "", "b\nc", "last"};
    QCOMPARE(host.echo, expected);
    QCOMPARE(host.lineCountCaption, QStringLiteral("Lignes: 4"));
    QCOMPARE(readFile(OutputPath), crlfLines(expected));
}

void TestRunFile::outputFailure_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("linesEchoed");
    QTest::addColumn<bool>("needsNonRoot");
    QTest::newRow("output folder missing") << "no folder" << int(RunError::PathNotFound) << 0 << false;
    QTest::newRow("output path is a folder") << "folder" << int(RunError::PathFileAccess) << 0 << false;
    QTest::newRow("read-only file") << "read-only file" << int(RunError::PermissionDenied) << 0 << true;
    QTest::newRow("read-only folder") << "read-only folder" << int(RunError::PermissionDenied) << 0 << true;
    QTest::newRow("disk full") << "disk full" << int(RunError::DiskFull) << 1 << false;
    QTest::newRow("FIFO without reader") << "fifo" << int(RunError::PathFileAccess) << 0 << false;
}

void TestRunFile::outputFailure() {
    QFETCH(QString, setup);
    QFETCH(int, number);
    QFETCH(int, linesEchoed);
    QFETCH(bool, needsNonRoot);
    if (needsNonRoot && ::geteuid() == 0)
        QSKIP("running as root: file permissions do not apply");
    WorkDir dir;
    QVERIFY(dir.isValid());
    const QString folder = GenerationRun::outputFolder();
    QVERIFY(writeFile(SourcePath, "a\r\nb\r\n"));
    if (setup == "no folder") {
        QVERIFY(QDir().rmdir(folder));
        QVERIFY(QFile::remove(SourcePath)); // the folder error comes before the source is opened
    } else if (setup == "folder") {
        QVERIFY(QDir().mkdir(OutputPath));
    } else if (setup == "read-only file") {
        QVERIFY(writeFile(OutputPath, "kept\r\n"));
        QVERIFY(QFile::setPermissions(OutputPath, QFileDevice::ReadOwner));
    } else if (setup == "read-only folder") {
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (setup == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(OutputPath).constData(), 0600), 0);
    } else if (setup == "disk full") {
        if (!QFileInfo(QStringLiteral("/dev/full")).exists())
            QSKIP("no /dev/full on this system");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), OutputPath));
    }
    FakeRunHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    run.play(Source, Delay);
    QVERIFY(waitForEnd(run));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(host.errorCount, 1);
    QVERIFY2(host.errorCaption.startsWith(QStringLiteral("Err: %1 : ").arg(number)),
             qPrintable(host.errorCaption));
    QVERIFY2(host.errorCaption.contains(QStringLiteral("web.txt")), qPrintable(host.errorCaption));
    QCOMPARE(host.titleCaption, QStringLiteral("Erreur Inconnue"));
    QCOMPARE(host.echo.size(), linesEchoed);
    // Halted: the buttons keep the running state, the locks stay on, nothing runs.
    QCOMPARE(host.buttons(), QStringLiteral("011"));
    QCOMPARE(host.enabledControls, 0);
    QVERIFY(!run.isRunning());
    QVERIFY(host.boxesOfKind(QStringLiteral("information")).isEmpty());
    if (setup == "read-only file")
        QCOMPARE(readFile(OutputPath), QByteArray("kept\r\n"));

    // Stop brings the window back to idle and lets go of every file.
    run.stop();
    QCOMPARE(host.buttons(), QStringLiteral("100"));
    QCOMPARE(host.enabledControls, int(RunHost::AllLocked));
    QVERIFY(!isOpenInProcess(SourcePath));
}

void TestRunFile::quitDuringCompletionMessage() {
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(SourcePath, "a\r\n"));
    FakeRunHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    int callsAtQuit = -1;
    host.onInformation = [&] {
        run.requestQuit();
        callsAtQuit = host.calls.size();
    };
    QVERIFY(playAndWait(run, Source, Delay));
    QVERIFY(callsAtQuit > 0);
    QCOMPARE(host.calls.size(), callsAtQuit); // nothing touches the window after the quit
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\n"));
    QVERIFY(!isOpenInProcess(OutputPath));
}

QTEST_GUILESS_MAIN(TestRunFile)
#include "tst_runfile.moc"
