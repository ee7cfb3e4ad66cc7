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
    void withoutAWindow_data();
    void withoutAWindow();
};

namespace {
// A run of the web source over a fresh work folder, reporting to a fake window; `ready` once the
// folder and the source holding `source` are in place.
struct WebRun {
    explicit WebRun(const QByteArray& source) : ready(dir.isValid() && writeFile(SourcePath, source)) {}
    WorkDir dir;
    FakeRunHost host;
    UdpSink udp;
    GenerationRun run{&host, &udp};
    const bool ready;
};

// Puts a failure of the output in place, once the source is written; false when it could not.
using OutputSetup = bool (*)();

// The folder error comes before the source is opened: the source goes too.
bool removeOutputFolder() {
    return QDir().rmdir(GenerationRun::outputFolder()) && QFile::remove(SourcePath);
}
bool outputPathIsAFolder() {
    return QDir().mkdir(OutputPath);
}
bool readOnlyOutputFile() {
    return writeFile(OutputPath, "kept\r\n") && QFile::setPermissions(OutputPath, QFileDevice::ReadOwner);
}
bool readOnlyOutputFolder() {
    return QFile::setPermissions(GenerationRun::outputFolder(),
                                 QFileDevice::ReadOwner | QFileDevice::ExeOwner);
}
bool outputToAFullDisk() {
    return QFile::link(QStringLiteral("/dev/full"), OutputPath);
}
bool outputToAFifo() {
    return ::mkfifo(QFile::encodeName(OutputPath).constData(), 0600) == 0;
}
// The output file is the source by another way: the whole output folder a link to the sources'.
bool outputFolderLinksToSources() {
    const QString folder = GenerationRun::outputFolder();
    return QDir().rmdir(folder) && QFile::link(GenerationRun::sourceFolder(), folder);
}
bool outputIsHardLinkToSource() {
    return ::link(QFile::encodeName(SourcePath).constData(), QFile::encodeName(OutputPath).constData()) == 0;
}
} // namespace

Q_DECLARE_METATYPE(OutputSetup)

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
    WebRun web("a\r\nb\r\nc\r\n");
    QVERIFY(web.ready);
    web.host.language = language;
    QSignalSpy produced(&web.run, &GenerationRun::lineProduced);

    web.run.play(Source, Delay);
    QVERIFY(web.run.isRunning());
    QCOMPARE(web.host.buttons(), QStringLiteral("011"));
    QCOMPARE(web.host.enabledControls, 0);
    QCOMPARE(web.host.clearCount, 1);
    QVERIFY(web.host.echo.isEmpty()); // the first line comes one delay after the press
    QVERIFY(waitForEnd(web.run));

    QCOMPARE(web.host.echo, (QList<QByteArray>{"a", "b", "c"}));
    QCOMPARE(web.host.lineCountCaptions, (QStringList{label + "1", label + "2", label + "3"}));
    QCOMPARE(produced.size(), 3);
    QCOMPARE(produced.at(2).at(0).toLongLong(), qint64(3));
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\nb\r\nc\r\n"));
    QVERIFY(!isOpenInProcess(OutputPath));
    QVERIFY(!isOpenInProcess(SourcePath));

    QVERIFY(web.host.boxesOfKind(QStringLiteral("question")).isEmpty()); // a new file asks nothing
    const QList<FakeRunHost::Box> info = web.host.boxesOfKind(QStringLiteral("information"));
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.first().title, title);
    QCOMPARE(info.first().text, message);

    // Idle after a normal end: the source list stays locked until the next initialisation.
    QCOMPARE(web.host.buttons(), QStringLiteral("100"));
    QVERIFY(web.host.controlEnabled(RunHost::FrmLecture));
    QVERIFY(web.host.controlEnabled(RunHost::FrmSyslog));
    QVERIFY(web.host.controlEnabled(RunHost::CmdSrc));
    QVERIFY(!web.host.controlEnabled(RunHost::ComboSrc));
    QCOMPARE(web.host.restoreCount, 1);
    QCOMPARE(web.run.lineCounter(), qint64(0));
    QCOMPARE(web.host.lineCountCaption, label + "3");
    QCOMPARE(web.run.stopRequested(), false);
    QCOMPARE(web.run.isPaused(), false);
    QCOMPARE(web.host.errorCount, 0);
    QVERIFY(!web.run.isRunning());

    // The end, in order: message, unlock, normal window, buttons back.
    const QStringList tail =
        web.host.calls.mid(web.host.calls.lastIndexOf(QStringLiteral("showInformation")));
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
    WebRun web("x\r\ny");
    QVERIFY(web.ready);
    QVERIFY(writeFile(OutputPath, "old 1\r\nold 2\r\n"));
    web.host.answerYes = yes;

    QVERIFY(playAndWait(web.run, Source, Delay));
    QCOMPARE(readFile(OutputPath), expected);
    const QList<FakeRunHost::Box> questions = web.host.boxesOfKind(QStringLiteral("question"));
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().title, QStringLiteral("Fichier"));
    QCOMPARE(questions.first().text,
             QStringLiteral("Le fichier web.txt existe.\r\n\r\nVoulez vous ajouter des logs (Oui). "
                            "Si Non, un nouveau fichier sera cr\u00e9e."));
    // Asked before the source is opened, hence before any line.
    QVERIFY(web.host.calls.indexOf(QStringLiteral("askYesNo")) <
            web.host.calls.indexOf(QStringLiteral("echoLine")));

    // The next run asks again, the file now existing.
    web.host.language = 1;
    QVERIFY(playAndWait(web.run, Source, Delay));
    QCOMPARE(web.host.boxesOfKind(QStringLiteral("question")).size(), 2);
    QCOMPARE(
        web.host.boxesOfKind(QStringLiteral("question")).last().text,
        QStringLiteral(
            "File web.txt exists.\r\n\r\nDo you want add Logs (Yes). If No, a new file will be create."));
    QCOMPARE(readFile(OutputPath), yes ? expected + "x\r\ny\r\n" : QByteArray("x\r\ny\r\n"));
}

void TestRunFile::loopUntilStop() {
    WebRun web("a\r\nb\r\nc\r\n");
    QVERIFY(web.ready);
    web.run.setLoop(true);
    connect(&web.run, &GenerationRun::lineProduced, this, [&web](qint64 count) {
        if (count == 7)
            QTimer::singleShot(0, &web.run, [&web] { web.run.stop(); }); // Stop during the next wait
    });

    QVERIFY(playAndWait(web.run, Source, Delay));
    const QList<QByteArray> expected{"a", "b", "c", "a", "b", "c", "a"};
    QCOMPARE(web.host.echo, expected);
    QCOMPARE(web.host.lineCountCaption, QStringLiteral("Lignes: 7"));
    QCOMPARE(readFile(OutputPath), crlfLines(expected));
    QVERIFY(!isOpenInProcess(OutputPath));
    QVERIFY(!isOpenInProcess(SourcePath));
    QVERIFY(web.host.boxes.isEmpty()); // no completion message after Stop
    QCOMPARE(web.host.errorCount, 0);
    QCOMPARE(web.host.buttons(), QStringLiteral("100"));
    QCOMPARE(web.host.enabledControls, int(RunHost::AllLocked));
    // Stop leaves the counter; the request stays until the next fresh start.
    QCOMPARE(web.run.lineCounter(), qint64(7));
    QCOMPARE(web.run.stopRequested(), true);

    QTest::qWait(50); // several delays: a stopped run never produces again
    QCOMPARE(web.host.echo.size(), 7);
}

void TestRunFile::emptySourceEndsAtOnce() {
    WebRun web{QByteArray()};
    QVERIFY(web.ready);
    web.run.play(Source, QStringLiteral("100")); // a long delay: the run must not wait it
    QVERIFY(!web.run.isRunning());
    QVERIFY(web.host.echo.isEmpty());
    QCOMPARE(web.host.boxesOfKind(QStringLiteral("information")).size(), 1);
    QVERIFY(QFileInfo::exists(OutputPath));
    QCOMPARE(readFile(OutputPath), QByteArray());
    QCOMPARE(web.host.buttons(), QStringLiteral("100"));
}

void TestRunFile::emptyAndUnterminatedLines() {
    WebRun web("a\r\n\r\nb\nc\rlast");
    QVERIFY(web.ready);
    QVERIFY(playAndWait(web.run, Source, Delay));
    const QList<QByteArray> expected{"a", "", "b\nc", "last"};
    QCOMPARE(web.host.echo, expected);
    QCOMPARE(web.host.lineCountCaption, QStringLiteral("Lignes: 4"));
    QCOMPARE(readFile(OutputPath), crlfLines(expected));
}

void TestRunFile::outputFailure_data() {
    // `setup` puts the failure in place once the source is written; `kept` is what the output
    // file must still hold afterwards, when it held something before.
    QTest::addColumn<OutputSetup>("setup");
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("linesEchoed");
    QTest::addColumn<bool>("needsNonRoot");
    QTest::addColumn<QString>("device"); // one the case needs, when it needs one
    QTest::newRow("output folder missing")
        << &removeOutputFolder << QByteArray() << int(RunError::PathNotFound) << 0 << false << QString();
    QTest::newRow("output path is a folder")
        << &outputPathIsAFolder << QByteArray() << int(RunError::PathFileAccess) << 0 << false << QString();
    QTest::newRow("read-only file") << &readOnlyOutputFile << QByteArray("kept\r\n")
                                    << int(RunError::PermissionDenied) << 0 << true << QString();
    QTest::newRow("read-only folder")
        << &readOnlyOutputFolder << QByteArray() << int(RunError::PermissionDenied) << 0 << true << QString();
    QTest::newRow("disk full") << &outputToAFullDisk << QByteArray() << int(RunError::DiskFull) << 1 << false
                               << QStringLiteral("/dev/full");
    QTest::newRow("FIFO without reader")
        << &outputToAFifo << QByteArray() << int(RunError::PathFileAccess) << 0 << false << QString();
    // The source stays as it was, and nothing is written into it.
    QTest::newRow("output folder a link to the sources")
        << &outputFolderLinksToSources << QByteArray("a\r\nb\r\n") << int(RunError::PathFileAccess) << 0
        << false << QString();
    QTest::newRow("output a hard link to the source")
        << &outputIsHardLinkToSource << QByteArray("a\r\nb\r\n") << int(RunError::PathFileAccess) << 0
        << false << QString();
}

void TestRunFile::outputFailure() {
    QFETCH(OutputSetup, setup);
    QFETCH(QByteArray, kept);
    QFETCH(int, number);
    QFETCH(int, linesEchoed);
    QFETCH(bool, needsNonRoot);
    QFETCH(QString, device);
    if (needsNonRoot && ::geteuid() == 0)
        QSKIP("running as root: file permissions do not apply");
    if (!device.isEmpty() && !QFileInfo::exists(device))
        QSKIP("the device this case needs is not on this system");
    WebRun web("a\r\nb\r\n");
    QVERIFY(web.ready);
    const QString folder = GenerationRun::outputFolder();
    QVERIFY(setup());
    web.run.play(Source, Delay);
    QVERIFY(waitForEnd(web.run));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(web.host.errorCount, 1);
    QVERIFY2(web.host.errorCaption.startsWith(QStringLiteral("Err: %1 : ").arg(number)),
             qPrintable(web.host.errorCaption));
    QVERIFY2(web.host.errorCaption.contains(QStringLiteral("web.txt")), qPrintable(web.host.errorCaption));
    QCOMPARE(web.host.titleCaption, QStringLiteral("Erreur Inconnue"));
    QCOMPARE(web.host.echo.size(), linesEchoed);
    // Halted: the buttons keep the running state, the locks stay on, nothing runs.
    QCOMPARE(web.host.buttons(), QStringLiteral("011"));
    QCOMPARE(web.host.enabledControls, 0);
    QVERIFY(!web.run.isRunning());
    QVERIFY(web.host.boxesOfKind(QStringLiteral("information")).isEmpty());
    if (!kept.isNull())
        QCOMPARE(readFile(OutputPath), kept);

    // Stop brings the window back to idle and lets go of every file.
    web.run.stop();
    QCOMPARE(web.host.buttons(), QStringLiteral("100"));
    QCOMPARE(web.host.enabledControls, int(RunHost::AllLocked));
    QVERIFY(!isOpenInProcess(SourcePath));
}

void TestRunFile::quitDuringCompletionMessage() {
    WebRun web("a\r\n");
    QVERIFY(web.ready);
    int callsAtQuit = -1;
    web.host.onInformation = [&] {
        web.run.requestQuit();
        callsAtQuit = web.host.calls.size();
    };
    QVERIFY(playAndWait(web.run, Source, Delay));
    QVERIFY(callsAtQuit > 0);
    QCOMPARE(web.host.calls.size(), callsAtQuit); // nothing touches the window after the quit
    QCOMPARE(readFile(OutputPath), QByteArray("a\r\n"));
    QVERIFY(!isOpenInProcess(OutputPath));
}

void TestRunFile::withoutAWindow_data() {
    // A front end without a window: no question about the existing file, the answer set beforehand,
    // and everything learnt from the run's signals.
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("removeFolder");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("error");
    QTest::newRow("appended") << int(GenerationRun::ExistingFile::Append) << false
                              << QByteArray("old\r\na\r\nb\r\n") << int(GenerationRun::EndReason::EndOfSource)
                              << 0;
    QTest::newRow("replaced") << int(GenerationRun::ExistingFile::Replace) << false
                              << QByteArray("a\r\nb\r\n") << int(GenerationRun::EndReason::EndOfSource) << 0;
    QTest::newRow("failed") << int(GenerationRun::ExistingFile::Replace) << true << QByteArray()
                            << int(GenerationRun::EndReason::Failed) << int(RunError::PathNotFound);
}

void TestRunFile::withoutAWindow() {
    QFETCH(int, answer);
    QFETCH(bool, removeFolder);
    QFETCH(QByteArray, file);
    QFETCH(int, reason);
    QFETCH(int, error);
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(SourcePath, "a\r\nb\r\n"));
    QVERIFY(removeFolder ? removeOutputFolder() && writeFile(SourcePath, "a\r\n")
                         : writeFile(OutputPath, "old\r\n"));
    UdpSink udp;
    GenerationRun run(nullptr, &udp);
    run.setExistingFile(GenerationRun::ExistingFile(answer));
    QList<QByteArray> produced;
    int failedWith = 0;
    QList<GenerationRun::EndReason> ends;
    connect(&run, &GenerationRun::lineProduced, this,
            [&](qint64, const QByteArray& line) { produced << line; });
    connect(&run, &GenerationRun::failed, this, [&](const RunError& e) {
        failedWith = e.number;
        QVERIFY(ends.isEmpty()); // the failure is told before the end
    });
    connect(&run, &GenerationRun::runEnded, this, [&](GenerationRun::EndReason r) { ends << r; });
    run.play(Source, Delay);
    QVERIFY(waitForEnd(run));
    QCOMPARE(ends, QList<GenerationRun::EndReason>{GenerationRun::EndReason(reason)});
    QCOMPARE(failedWith, error);
    if (!file.isNull()) {
        QCOMPARE(readFile(OutputPath), file);
        QCOMPARE(produced, (QList<QByteArray>{"a", "b"}));
    }
}

QTEST_GUILESS_MAIN(TestRunFile)
#include "tst_runfile.moc"
