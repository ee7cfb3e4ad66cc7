// SPDX-License-Identifier: GPL-3.0-or-later
#include "OddBytesSource.h"
#include "TalvexFRMTestAccess.h"
#include "UdpReceiver.h"
#include "WindowTestKit.h"
#include "receiverwindow/ReceiverWindow.h"
#include "window/LogView.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

using namespace WindowTestKit;

namespace {
ListenAddress udp(quint16 port) {
    ListenAddress a;
    a.address = QHostAddress(QHostAddress::LocalHost);
    a.port = port;
    return a;
}
} // namespace

class TestCompanion : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setScripted(true); }
    void init();
    void cleanup();

    void quenbyButton_data();
    void quenbyButton();
    void receivesTheMainWindowsRun_data();
    void receivesTheMainWindowsRun();
    void portInUseOffersAnother();
    void viewHoldsStillForAReader();

private:
    void writeIni(const QByteArray& body) { QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), body)); }
    std::unique_ptr<TestWorkDir> m_dir;
    QByteArray m_path;
};

void TestCompanion::init() {
    m_dir = freshRunFolder();
    QVERIFY(m_dir);
    m_path = qgetenv("PATH");
}

void TestCompanion::cleanup() {
    qputenv("PATH", m_path);
    m_dir.reset();
}

void TestCompanion::quenbyButton_data() {
    QTest::addColumn<bool>("quenbyInPath");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    const QString self = QCoreApplication::applicationFilePath();
    const QStringList receiver{QStringLiteral("--receiver"), QStringLiteral("--listen")};
    QTest::newRow("Quenby.exe found")
        << true << QStringLiteral("127.0.0.1") << QStringLiteral("Quenby.exe") << QStringList();
    QTest::newRow("fallback with the slot's port")
        << false << QStringLiteral("127.0.0.1") << self
        << receiver + QStringList{QStringLiteral("udp://127.0.0.1:5514")};
    // TEST-NET-1: never an address of this machine; the companion cannot listen there.
    QTest::newRow("another machine's host: loopback")
        << false << QStringLiteral("192.0.2.7") << self
        << receiver + QStringList{QStringLiteral("udp://127.0.0.1:5514")};
}

void TestCompanion::quenbyButton() {
    QFETCH(bool, quenbyInPath);
    QFETCH(QString, host);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    // A folder of its own on the program search path, with or without an executable Quenby.exe.
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("bin")));
    if (quenbyInPath) {
        QVERIFY(m_dir->write(QStringLiteral("bin/Quenby.exe"), "#!/bin/sh\n"));
        QVERIFY(QFile::setPermissions(m_dir->filePath(QStringLiteral("bin/Quenby.exe")),
                                      QFile::ReadOwner | QFile::ExeOwner));
    }
    qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("bin"))));
    writeIni("[Source 1]\r\nDelay=1\r\nSyslogFile=1\r\nUDP_Port_Syslog=5514\r\nSourceFile=web\r\n");
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\n"));

    TalvexFRM window;
    window.show();
    initialise(window);
    window.TXT_HoteIP1->setText(host);
    QList<QPair<QString, QStringList>> started;
    TalvexFRMTestAccess::setProgramStarter(window, [&started](const QString& p, const QStringList& a) {
        started << qMakePair(p, a);
        return true;
    });
    QVERIFY(window.CMD_Quenby->isEnabled());
    window.CMD_Quenby->click();
    window.CMD_Quenby->click(); // one more each click
    QCOMPARE(started.size(), 2);
    QCOMPARE(started[0].first, program);
    QCOMPARE(started[0].second, arguments);
    QCOMPARE(started[1], started[0]);
    QCOMPARE(boxTexts(), QStringList());
}

void TestCompanion::receivesTheMainWindowsRun_data() {
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("listeningCaption");
    QTest::newRow("French") << QByteArray("1") << QStringLiteral("En écoute sur udp://127.0.0.1:");
    QTest::newRow("English") << QByteArray("2") << QStringLiteral("Listening on udp://127.0.0.1:");
}

void TestCompanion::receivesTheMainWindowsRun() {
    QFETCH(QByteArray, language);
    QFETCH(QString, listeningCaption);
    // A slot keeps ports up to 32000 only: one found free there, then left to the companion.
    quint16 port = 0;
    {
        const UdpReceiver probe(32000);
        QVERIFY(probe.isValid());
        port = probe.port();
    }
    writeIni("[Settings]\r\nLanguage=" + language +
             "\r\n[Source 1]\r\nDelay=0.01\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\nSourceFile=mix\r\n"
             "UDP_Port_Syslog=" +
             QByteArray::number(port) + "\r\n");
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/mix.txt"), OddBytesSource::file()));

    ReceiverWindow companion;
    companion.show();
    QVERIFY(companion.listen(udp(port)));
    QCOMPARE(companion.listening(), QStringList{QStringLiteral("udp://127.0.0.1:%1").arg(port)});
    QVERIFY(companion.findChild<QLabel*>() &&
            companion.findChild<QLabel*>()->text().startsWith(listeningCaption));

    QPushButton* pause = companion.findChild<QPushButton*>();
    QVERIFY(pause);
    pause->click();
    QVERIFY(companion.paused());

    TalvexFRM window;
    window.show();
    initialise(window);
    mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);

    const QList<QByteArray> lines = OddBytesSource::lines();
    // Paused, the view stays as it is while every message is still received and counted.
    QTRY_COMPARE_WITH_TIMEOUT(companion.messages(), qint64(lines.size()), 5000);
    QTest::qWait(250); // a few of the view's frames
    QCOMPARE(companion.viewText(), QString());
    pause->click();
    QVERIFY(!companion.paused());
    // One line of the view per message; the line feed inside a message drawn as its symbol.
    QTRY_COMPARE_WITH_TIMEOUT(companion.viewText().split(QLatin1Char('\n')).size(), lines.size(), 5000);
    QVERIFY(companion.viewText().contains(QStringLiteral("first half\u240asecond half")));

    QString error;
    QVERIFY(companion.saveTo(m_dir->filePath(QStringLiteral("saved.txt")), &error));
    QByteArray crlf;
    for (const QByteArray& line : lines)
        crlf += line + "\r\n";
    QCOMPARE(m_dir->read(QStringLiteral("saved.txt")), crlf);
}

void TestCompanion::portInUseOffersAnother() {
    QUdpSocket taken;
    QVERIFY(taken.bind(QHostAddress::LocalHost, 0));
    ReceiverWindow companion;
    companion.show();
    QVERIFY(!companion.listen(udp(taken.localPort())));
    QVERIFY(companion.listening().isEmpty());
    const QString said = QStringLiteral("Le port %1 est déjà utilisé").arg(taken.localPort());
    bool shown = false;
    for (const QLabel* label : companion.findChildren<QLabel*>())
        shown = shown || (label->isVisible() && label->text().startsWith(said));
    QVERIFY(shown);
    // Another port is offered; taking it listens there.
    auto* other = companion.findChild<QSpinBox*>();
    QVERIFY(other && other->isVisible());
    QVERIFY(other->value() != taken.localPort());
    QPushButton* listen = nullptr;
    for (QPushButton* b : companion.findChildren<QPushButton*>())
        listen = b->text() == QStringLiteral("É&couter") ? b : listen;
    QVERIFY(listen);
    listen->click();
    QCOMPARE(companion.listening(), QStringList{QStringLiteral("udp://127.0.0.1:%1").arg(other->value())});
    QVERIFY(!other->isVisible());
}

void TestCompanion::viewHoldsStillForAReader() {
    ReceiverWindow companion;
    companion.show();
    QVERIFY(companion.listen(udp(0)));
    const quint16 port = quint16(companion.listening().value(0).section(QLatin1Char(':'), -1).toUInt());
    auto* view = companion.findChild<LogView*>();
    QVERIFY(view && port != 0);
    QUdpSocket sender;
    qint64 sent = 0;
    const auto send = [&](int count) {
        for (int i = 0; i < count; ++i, ++sent) {
            sender.writeDatagram("message " + QByteArray::number(sent), QHostAddress::LocalHost, port);
            if (i % 100 == 99)
                QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(companion.messages(), sent, 5000);
        QTest::qWait(250); // a few of the view's frames
    };
    const auto topLine = [view] { return view->rowText(view->rowAt(QPoint(2, 2))); };

    send(ReceiverWindow::MaxKept + 200);
    QCOMPARE(view->lineCount(), ReceiverWindow::MaxKept);
    QScrollBar* bar = view->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    const QString read = topLine();
    send(50);
    // Past its cap the view drops its oldest lines, not the reader's.
    QCOMPARE(topLine(), read);
    QCOMPARE(view->lineCount(), ReceiverWindow::MaxKept);
    bar->setValue(bar->maximum());
    send(5);
    QCOMPARE(view->lineText(view->lineCount() - 1), QStringLiteral("message %1").arg(sent - 1));
    QCOMPARE(bar->value(), bar->maximum());
}

QTEST_MAIN(TestCompanion)
#include "tst_companion.moc"
