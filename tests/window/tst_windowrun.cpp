// SPDX-License-Identifier: GPL-3.0-or-later
#include "OddBytesSource.h"
#include "TalvexFRMTestAccess.h"
#include "UdpReceiver.h"
#include "WindowTestKit.h"
#include "engine/GenerationRun.h"
#include "settings/Settings.h"
#include "window/EchoPane.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/PictureBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace WindowTestKit;

// The whole road of a line in the real window: initialisation, Play, the echo and count, the
// datagram or the file line, Pause and Stop with the states of the window's controls.
class TestWindowRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void udpRunBytesAndCompletion();
    void destinationIsTheInitialisedOne();
    void runLocksAndStates();
    void stopDuringPauseThenPlay();
    void failureHaltsUntilStop();
    void languageSwitchDuringRun();
    void bannerDuringRun();
    void echoKeepsCountingPastThePaneCap();

private:
    void writeIni(const QByteArray& body) { QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), body)); }

    std::unique_ptr<TestWorkDir> m_dir;
};

void TestWindowRun::initTestCase() {
    MessageBox::setScripted(true);
}

void TestWindowRun::init() {
    m_dir = WindowTestKit::freshRunFolder();
    QVERIFY(m_dir);
}

void TestWindowRun::cleanup() {
    m_dir.reset();
}

void TestWindowRun::udpRunBytesAndCompletion() {
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    const QByteArray syslog37 = OddBytesSource::syslog37();
    QCOMPARE(syslog37.size(), 37);
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/mix.txt"), OddBytesSource::file()));
    writeIni("[Source 1]\r\nDelay=0.01\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\nUDP_Port_Syslog=" +
             QByteArray::number(receiver.port()) + "\r\nSourceFile=mix\r\n");
    TalvexFRM window;
    window.show();
    initialise(window);
    QVERIFY(mediaButton(window, "Play")->isEnabled());
    mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);

    const QList<QByteArray> expected = OddBytesSource::lines();
    QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), expected.size(), 5000);
    QCOMPARE(receiver.take(), expected);

    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 5"));
    QCOMPARE(window.run()->lineCounter(), 0);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().title, QStringLiteral("Fichier"));
    QCOMPARE(MessageBox::shown().first().text,
             QStringLiteral("La génération du fichier mix.txt est terminée.\r\n\r\n"));
    // The echo shows every line, the empty one included.
    const QStringList echoed = TalvexFRMTestAccess::echoText(window).split(QLatin1Char('\n'));
    QVERIFY(echoed.contains(QString::fromLatin1(syslog37)));
    QVERIFY(echoed.contains(QStringLiteral("last without end")));
    // A line that is not UTF-8 shows as Windows-1252; only the display decodes it.
    QVERIFY(echoed.contains(QStringLiteral("<13>Dec  7 caf\u00e9 \u20ac\u00ff\u00fe end")));
    // Idle after a normal end: the source list stays locked until the next initialisation.
    QVERIFY(mediaButton(window, "Play")->isEnabled());
    QVERIFY(!mediaButton(window, "Pause")->isEnabled());
    QVERIFY(!mediaButton(window, "Stop")->isEnabled());
    QVERIFY(window.FRM_Lecture->isEnabled());
    QVERIFY(window.CMD_SRC1->isEnabled());
    QVERIFY(!window.Combo_SRC1->isEnabled());
}

void TestWindowRun::destinationIsTheInitialisedOne() {
    UdpReceiver first(32000);
    UdpReceiver second(32000);
    QVERIFY(first.isValid() && second.isValid());
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/one.txt"), "only line\r\n"));
    writeIni("[Source 1]\r\nDelay=0.01\r\nSyslogFile=1\r\nUDP_Port_Syslog=" +
             QByteArray::number(first.port()) + "\r\nSourceFile=one\r\n");
    TalvexFRM window;
    showAndPlay(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);

    // Edited between two runs without a new initialisation: stored at once, used only later.
    window.TXT_Port1->setText(QString::number(second.port()));
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("UDP_Port_Syslog")),
             QString::number(second.port()));
    mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(first.take().size(), 2, 5000);
    QTest::qWait(50);
    QVERIFY(second.take().isEmpty());

    // The next initialisation takes the new port.
    initialise(window);
    mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(second.take().size(), 1, 5000);
}

void TestWindowRun::runLocksAndStates() {
    QByteArray source;
    for (int i = 0; i < 50; ++i)
        source += "l" + QByteArray::number(i) + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), source));
    writeIni("[Source 1]\r\nDelay=0.05\r\nSourceFile=web\r\n");
    TalvexFRM window;
    showAndPlay(window);
    // Running.
    QVERIFY(window.run()->isRunning());
    QVERIFY(!mediaButton(window, "Play")->isEnabled());
    QVERIFY(mediaButton(window, "Pause")->isEnabled());
    QVERIFY(mediaButton(window, "Stop")->isEnabled());
    QVERIFY(lockedForRun(window));
    QTRY_VERIFY_WITH_TIMEOUT(window.run()->lineCounter() >= 2, 10000);

    // Paused: nothing is produced while the flag is up.
    mediaButton(window, "Pause")->click();
    QCOMPARE(window.run()->isPaused(), true);
    QTest::qWait(60); // a line due within the pause's first wait may still have been produced
    const qint64 paused = window.run()->lineCounter();
    QTest::qWait(200);
    QCOMPARE(window.run()->lineCounter(), paused);
    QVERIFY(lockedForRun(window));
    mediaButton(window, "Pause")->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.run()->lineCounter() > paused, 10000);

    // Stop: idle after Stop, every lock released, no message.
    mediaButton(window, "Stop")->click();
    QVERIFY(!window.run()->isRunning());
    QVERIFY(mediaButton(window, "Play")->isEnabled());
    QVERIFY(!mediaButton(window, "Pause")->isEnabled());
    QVERIFY(!mediaButton(window, "Stop")->isEnabled());
    QVERIFY(window.FRM_Lecture->isEnabled());
    QVERIFY(window.Combo_SRC1->isEnabled());
    QVERIFY(window.CMD_SRC1->isEnabled());
    // File output: Logs Générés/web.txt holds exactly the lines produced, each with CRLF.
    const QList<QByteArray> lines = m_dir->read(QStringLiteral("Logs Générés/web.txt")).split('\n');
    QVERIFY(lines.size() > 3);
    QCOMPARE(lines.first(), QByteArray("l0\r"));
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestWindowRun::stopDuringPauseThenPlay() {
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\nb\r\nc\r\n"));
    writeIni("[Source 1]\r\nDelay=0.05\r\nSourceFile=web\r\n");
    TalvexFRM window;
    showAndPlay(window);
    mediaButton(window, "Pause")->click();
    mediaButton(window, "Stop")->click();
    QCOMPARE(window.run()->isPaused(), true);

    // This press starts nothing and leaves the locks on.
    mediaButton(window, "Play")->click();
    QVERIFY(!window.run()->isRunning());
    QCOMPARE(window.run()->isPaused(), false);
    QVERIFY(mediaButton(window, "Play")->isEnabled());
    QVERIFY(lockedForRun(window));
    QTest::qWait(150);
    QCOMPARE(window.run()->lineCounter(), 0);

    // The next one starts a fresh run that counts from 1.
    MessageBox::queueAnswer(MessageBox::Answer::No);
    mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 3"));
    QCOMPARE(m_dir->read(QStringLiteral("Logs Générés/web.txt")), QByteArray("a\r\nb\r\nc\r\n"));
}

void TestWindowRun::failureHaltsUntilStop() {
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\n"));
    writeIni("[Source 1]\r\nDelay=0.01\r\nSourceFile=web\r\n");
    TalvexFRM window;
    window.show();
    initialise(window);
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("Logs Source/web.txt"))));
    mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.LBL_Err->isVisible(), 5000);
    QVERIFY(window.LBL_Err->text().startsWith(QStringLiteral("Err: ")));
    QVERIFY(window.LBL_Err->text().contains(QStringLiteral("web.txt")));
    QCOMPARE(window.LBL_Titre->text(), QStringLiteral("Erreur Inconnue"));
    // Halted: the buttons keep their running state.
    QVERIFY(!mediaButton(window, "Play")->isEnabled());
    QVERIFY(mediaButton(window, "Pause")->isEnabled());
    QVERIFY(mediaButton(window, "Stop")->isEnabled());
    QVERIFY(lockedForRun(window));

    mediaButton(window, "Stop")->click();
    QVERIFY(mediaButton(window, "Play")->isEnabled());
    QVERIFY(!lockedForRun(window));
    // A later good action works: the source is back, Play produces it.
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "back\r\n"));
    mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 1"));
    QVERIFY(window.LBL_Err->isVisible()); // the last failure stays on show
}

void TestWindowRun::languageSwitchDuringRun() {
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\nb\r\nc\r\nd\r\n"));
    writeIni("[Source 1]\r\nDelay=0.1\r\nSourceFile=web\r\n");
    TalvexFRM window;
    showAndPlay(window);
    QTRY_COMPARE_WITH_TIMEOUT(window.LBL_LineCount->text(), QStringLiteral("Lignes: 1"), 5000);
    QTest::mouseClick(window.PICT_UK, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lines: 4"));
    QCOMPARE(MessageBox::shown().last().title, QStringLiteral("File"));
    QCOMPARE(MessageBox::shown().last().text,
             QStringLiteral("The file generation of web.txt is done.\r\n\r\n"));
}

void TestWindowRun::bannerDuringRun() {
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\nb\r\nc\r\n"));
    writeIni("[Source 1]\r\nDelay=0.1\r\nSourceFile=web\r\n");
    TalvexFRM window;
    showAndPlay(window);
    QTRY_COMPARE_WITH_TIMEOUT(window.LBL_LineCount->text(), QStringLiteral("Lignes: 1"), 5000);
    QTest::mouseClick(window.Picture1, Qt::LeftButton);
    QVERIFY(TalvexFRMTestAccess::echoText(window).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    // The run went on appending to the emptied pane.
    QCOMPARE(TalvexFRMTestAccess::echoText(window), QStringLiteral("b\nc\n"));
}

void TestWindowRun::echoKeepsCountingPastThePaneCap() {
    // More lines than the pane keeps: the count is whole, the pane holds the most recent ones.
    const int lines = EchoPane::MaxLines + 500;
    QByteArray source;
    source.reserve(lines * 8);
    for (int i = 1; i <= lines; ++i)
        source += QByteArray::number(i) + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/many.txt"), source));
    UdpReceiver receiver(32000);
    writeIni("[Source 1]\r\nDelay=0.000001\r\nSyslogFile=1\r\nUDP_Port_Syslog=" +
             QByteArray::number(receiver.port()) + "\r\nSourceFile=many\r\n");
    TalvexFRM window;
    showAndPlay(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 120000);
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: %1").arg(lines));
    const QStringList echoed =
        TalvexFRMTestAccess::echoText(window).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(echoed.size(), EchoPane::MaxLines);
    QCOMPARE(echoed.last(), QString::number(lines));
    QCOMPARE(echoed.first(), QString::number(lines - EchoPane::MaxLines + 1));
}

QTEST_MAIN(TestWindowRun)
#include "tst_windowrun.moc"
