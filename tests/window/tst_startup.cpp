// SPDX-License-Identifier: GPL-3.0-or-later
#include "TalvexFRMTestAccess.h"
#include "WindowTestKit.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"
#include "settings/Settings.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace WindowTestKit;

// The initialisation that CMD_SRC1 runs, in one process: what it loads, normalises and writes.
class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void missingSettingsFile();
    void storedDelay_data();
    void storedDelay();
    void storedLoopAndOrder_data();
    void storedLoopAndOrder();
    void storedOutput_data();
    void storedOutput();
    void storedPort_data();
    void storedPort();
    void storedHost_data();
    void storedHost();
    void storedPosition_data();
    void storedPosition();
    void centredFrameDoesNotMove();
    void storedSource();
    void longSourceNameIsCut();
    void sourceListFromTheSnapshot();
    void englishStart();
    void pressAgainKeepsTheSlot();
    void pressAgainStoresSelectedOptions();
    void randomModeCountsLines_data();
    void randomModeCountsLines();
    void missingRandomSourceDoesNotStop();
    void unusableRandomSource_data();
    void unusableRandomSource();
    void limitOutcome_data();
    void limitOutcome();
    void slotsUnavailable_data();
    void slotsUnavailable();
    void socketGoesToTheStoredDestination();

private:
    std::unique_ptr<TalvexFRM> initialised(const QByteArray& ini = QByteArray());
    static QStringList items(const QComboBox* box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    }

    std::unique_ptr<TestWorkDir> m_dir;
};

void TestStartup::initTestCase() {
    MessageBox::setScripted(true);
}

void TestStartup::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Logs Source")));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\nb\r\nc\r\n"));
    MessageBox::clearShown();
    MessageBox::clearQueue();
}

void TestStartup::cleanup() {
    m_dir.reset();
}

std::unique_ptr<TalvexFRM> TestStartup::initialised(const QByteArray& ini) {
    if (!ini.isEmpty())
        m_dir->write(QStringLiteral("Talvex.ini"), ini);
    auto window = std::make_unique<TalvexFRM>();
    window->CMD_SRC1->click();
    return window;
}

void TestStartup::missingSettingsFile() {
    auto w = initialised();
    QCOMPARE(w->instanceSlot(), 1);
    QCOMPARE(TalvexFRMTestAccess::slotSection(*w), QStringLiteral("Source 1"));
    // Every key with its default, in the order the steps write them, and nothing else.
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")),
             QByteArray("[Source 1]\r\nMemory=1\r\nDelay=10\r\nLoop=0\r\nGenerationType=0\r\nSyslogFile=0\r\n"
                        "UDP_Port_Syslog=514\r\nHostIP=127.0.0.1\r\n"));
    // The empty delay is rejected, once.
    const QList<MessageBox::Record> boxes = MessageBox::shown();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).title, QStringLiteral("Information"));
    QCOMPARE(
        boxes.at(0).text,
        QStringLiteral(
            "La valeur du d\u00e9lai d'\u00e9criture doit \u00eatre comprise entre 1 et 7200 secondes."));
    QCOMPARE(boxes.at(0).icon, MessageBox::Icon::Information);

    QCOMPARE(w->TXT_delay1->text(), QStringLiteral("10"));
    QCOMPARE(w->TXT_Port1->text(), QStringLiteral("514"));
    QCOMPARE(w->TXT_HoteIP1->text(), QStringLiteral("127.0.0.1"));
    QVERIFY(w->OPT_Sequentiel->isChecked());
    QVERIFY(w->OPT_Fichier->isChecked());
    QVERIFY(!w->CHK_Boucle->isChecked());
    QVERIFY(!w->CHK_Boucle->isHidden());
    QCOMPARE(w->Combo_SRC1->currentText(), QStringLiteral("Votre Choix..."));
    QCOMPARE(items(w->Combo_SRC1), QStringList{QStringLiteral("web")});
    QVERIFY(w->Combo_SRC1->isEnabled());
    QCOMPARE(w->CMD_SRC1->text(), QStringLiteral("&Logs Source"));
    QVERIFY(w->CMD_SRC1->isEnabled());
    QVERIFY(!w->CMD_SRC1->font().bold());
    // Without a source the parameters stay locked.
    QVERIFY(!w->MMControl1->isPlayEnabled());
    for (QWidget* c :
         QList<QWidget*>{w->OPT_Sequentiel, w->OPT_Aleatoire, w->OPT_Fichier, w->OPT_Syslog, w->CHK_Boucle,
                         w->CMD_LectureSRC1, w->CMD_Plus, w->CMD_Moins, w->TXT_delay1, w->FRM_Syslog,
                         w->TXT_Port1, w->TXT_HoteIP1, w->CMD_Quenby})
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    QCOMPARE(w->run()->generationOrder(), GenerationOrder::Sequential);
    QCOMPARE(w->run()->output(), Output::File);
    QCOMPARE(w->run()->loops(), false);
    QCOMPARE(w->Winsock1->remoteHost(), QStringLiteral("127.0.0.1"));
    QCOMPARE(w->Winsock1->remotePort(), 514);
    QVERIFY(w->Winsock1->localPort() != 0);
    QCOMPARE(w->LBL_Titre->text(), QStringLiteral("Talvex"));
    QVERIFY(!QGuiApplication::overrideCursor()); // the wait pointer of the socket set-up is gone
}

void TestStartup::storedDelay_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("boxes");
    QTest::newRow("25s") << QByteArray("25s") << "25s"
                         << "25" << 0;
    QTest::newRow("fraction") << QByteArray("0.5") << "0.5"
                              << "0.5" << 0;
    QTest::newRow("7200") << QByteArray("7200") << "7200"
                          << "7200" << 0;
    QTest::newRow("7201") << QByteArray("7201") << "10"
                          << "10" << 1;
    QTest::newRow("0") << QByteArray("0") << "10"
                       << "10" << 1;
    QTest::newRow("no number") << QByteArray("abc") << "10"
                               << "10" << 1;
    QTest::newRow("same as the field") << QByteArray("10") << "10"
                                       << "10" << 0;
    QTest::newRow("exponent") << QByteArray("3e2") << "3e2"
                              << "300" << 0;
}

void TestStartup::storedDelay() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, field);
    QFETCH(QString, written);
    QFETCH(int, boxes);
    auto w = initialised("[Source 1]\r\nDelay=" + stored + "\r\nSourceFile=web\r\n");
    QCOMPARE(w->TXT_delay1->text(), field);
    QCOMPARE(key("Delay"), written);
    QCOMPARE(MessageBox::shown().size(), boxes);
}

void TestStartup::storedLoopAndOrder_data() {
    QTest::addColumn<QByteArray>("loop");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("loopKey");
    QTest::addColumn<QString>("typeKey");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<QString>("caption");
    QTest::newRow("defaults") << QByteArray() << QByteArray() << "0"
                              << "0" << false << false << "Ecriture";
    QTest::newRow("loop 2") << QByteArray("2") << QByteArray("0") << "1"
                            << "0" << true << false << "Ecriture (en boucle)";
    QTest::newRow("random 1") << QByteArray("0") << QByteArray("1") << "0"
                              << "-1" << false << true << "Ecriture";
    QTest::newRow("loop and random") << QByteArray("1") << QByteArray("-1") << "1"
                                     << "-1" << true << true << "Ecriture (en boucle)";
    QTest::newRow("no numbers") << QByteArray("yes") << QByteArray("random") << "0"
                                << "0" << false << false << "Ecriture";
}

void TestStartup::storedLoopAndOrder() {
    QFETCH(QByteArray, loop);
    QFETCH(QByteArray, type);
    QFETCH(QString, loopKey);
    QFETCH(QString, typeKey);
    QFETCH(bool, checked);
    QFETCH(bool, hidden);
    QFETCH(QString, caption);
    auto w = initialised("[Source 1]\r\nDelay=5\r\nLoop=" + loop + "\r\nGenerationType=" + type +
                         "\r\nSourceFile=web\r\n");
    QCOMPARE(key("Loop"), loopKey);
    QCOMPARE(key("GenerationType"), typeKey);
    QCOMPARE(w->CHK_Boucle->isChecked(), checked);
    QCOMPARE(w->CHK_Boucle->isHidden(), hidden);
    QCOMPARE(w->FRM_Lecture->title(), caption);
    QCOMPARE(w->OPT_Aleatoire->isChecked(), typeKey == QStringLiteral("-1"));
    QCOMPARE(w->OPT_Sequentiel->isChecked(), typeKey == QStringLiteral("0"));
    QCOMPARE(w->run()->loops(), checked);
    QCOMPARE(w->run()->generationOrder() == GenerationOrder::Random, typeKey == QStringLiteral("-1"));
}

void TestStartup::storedOutput_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("choice");
    QTest::newRow("missing") << QByteArray() << 0;
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("1") << QByteArray("1") << 1;
    QTest::newRow("5") << QByteArray("5") << 1;
    QTest::newRow("-1") << QByteArray("-1") << 1;
}

void TestStartup::storedOutput() {
    QFETCH(QByteArray, stored);
    QFETCH(int, choice);
    auto w = initialised("[Source 1]\r\nDelay=5\r\nSyslogFile=" + stored + "\r\n");
    QCOMPARE(key("SyslogFile"), QString::number(choice));
    QCOMPARE(w->OPT_Syslog->isChecked(), choice == 1);
    QCOMPARE(w->OPT_Fichier->isChecked(), choice == 0);
    QCOMPARE(w->run()->output(), choice == 1 ? Output::Syslog : Output::File);
    // The syslog frame follows the option even before a source unlocks the rest.
    for (QWidget* c : QList<QWidget*>{w->FRM_Syslog, w->TXT_Port1, w->TXT_HoteIP1, w->CMD_Quenby})
        QCOMPARE(c->isEnabled(), choice == 1);
}

void TestStartup::storedPort_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("port");
    QTest::newRow("missing") << QByteArray() << "514";
    QTest::newRow("8000") << QByteArray("8000") << "8000";
    QTest::newRow("32000") << QByteArray("32000") << "32000";
    QTest::newRow("32001") << QByteArray("32001") << "514";
    QTest::newRow("40000") << QByteArray("40000") << "514";
    QTest::newRow("0") << QByteArray("0") << "514";
    QTest::newRow("70000") << QByteArray("70000") << "514";
    QTest::newRow("negative") << QByteArray("-5") << "514";
    QTest::newRow("trailing text") << QByteArray("8000abc") << "8000";
}

void TestStartup::storedPort() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, port);
    auto w = initialised("[Source 1]\r\nDelay=5\r\nUDP_Port_Syslog=" + stored + "\r\n");
    QCOMPARE(w->TXT_Port1->text(), port);
    QCOMPARE(key("UDP_Port_Syslog"), port);
    QCOMPARE(w->Winsock1->remotePort(), port.toInt());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestStartup::storedHost_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("host");
    QTest::newRow("missing") << QByteArray() << "127.0.0.1";
    QTest::newRow("name") << QByteArray("myhost") << "127.0.0.1";
    QTest::newRow("any address") << QByteArray("0.0.0.0") << "127.0.0.1";
    QTest::newRow("address") << QByteArray("10.0.0.5") << "10.0.0.5";
    QTest::newRow("trailing blanks") << QByteArray("\"10.0.0.5  \"") << "10.0.0.5";
}

void TestStartup::storedHost() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, host);
    // Only the socket's destination is set; nothing is sent.
    auto w = initialised("[Source 1]\r\nDelay=5\r\nHostIP=" + stored + "\r\n");
    QCOMPARE(w->TXT_HoteIP1->text(), host);
    QCOMPARE(key("HostIP"), host);
    QCOMPARE(w->Winsock1->remoteHost(), host);
}

void TestStartup::storedPosition_data() {
    QTest::addColumn<QByteArray>("x");
    QTest::addColumn<QByteArray>("y");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("missing") << QByteArray() << QByteArray() << true << QPoint();
    QTest::newRow("0 0") << QByteArray("0") << QByteArray("0") << true << QPoint();
    QTest::newRow("-10 0") << QByteArray("-10") << QByteArray("0") << true << QPoint();
    QTest::newRow("0 4500") << QByteArray("0") << QByteArray("4500") << false << QPoint(0, 300);
    QTest::newRow("1500 -30") << QByteArray("1500") << QByteArray("-30") << false << QPoint(100, -2);
    QTest::newRow("3000 1500") << QByteArray("3000") << QByteArray("1500") << false << QPoint(200, 100);
    // Off every screen (a monitor since unplugged): centred, and the stored keys stay.
    QTest::newRow("huge") << QByteArray("1e300") << QByteArray("15") << true << QPoint();
    QTest::newRow("far right, far below")
        << QByteArray("90000000") << QByteArray("90000000") << true << QPoint();
    QTest::newRow("far left") << QByteArray("-90000000") << QByteArray("1500") << true << QPoint();
    QTest::newRow("just above") << QByteArray("1500") << QByteArray("-3000") << true << QPoint();
}

void TestStartup::storedPosition() {
    QFETCH(QByteArray, x);
    QFETCH(QByteArray, y);
    QFETCH(bool, centred);
    QFETCH(QPoint, position);
    TalvexFRM reference;
    TalvexFRMTestAccess::centreOnScreen(reference);
    m_dir->write(QStringLiteral("Talvex.ini"),
                 "[Source 1]\r\nDelay=5\r\nPositionX=" + x + "\r\nPositionY=" + y + "\r\n");
    TalvexFRM w;
    w.move(7, 9); // anywhere but where the initialisation puts it
    w.CMD_SRC1->click();
    QCOMPARE(w.pos(), centred ? reference.pos() : position);
    QCOMPARE(key("PositionX"), QString::fromLatin1(x));
    QCOMPARE(key("PositionY"), QString::fromLatin1(y));
}

void TestStartup::centredFrameDoesNotMove() {
    TalvexFRM w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // The whole frame, title bar and borders included, stands in the middle of the screen.
    const QPoint offset = w.frameGeometry().center() - w.screen()->geometry().center();
    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
             qPrintable(QStringLiteral("off by %1, %2").arg(offset.x()).arg(offset.y())));
    const QPoint shown = w.pos();
    w.CMD_SRC1->click();
    QCOMPARE(w.pos(), shown);
}

void TestStartup::storedSource() {
    auto w = initialised("[Source 1]\r\nDelay=5\r\nSourceFile=web\r\n");
    QCOMPARE(w->Combo_SRC1->currentText(), QStringLiteral("web"));
    QCOMPARE(w->CMD_SRC1->text(), QStringLiteral("web"));
    QCOMPARE(w->windowTitle(), QStringLiteral("web"));
    QVERIFY(w->CMD_SRC1->font().bold());
    QVERIFY(!w->CMD_SRC1->isEnabled());
    QVERIFY(w->MMControl1->isPlayEnabled());
    QVERIFY(!w->MMControl1->isPauseEnabled());
    QVERIFY(!w->MMControl1->isStopEnabled());
    for (QWidget* c :
         QList<QWidget*>{w->OPT_Sequentiel, w->OPT_Aleatoire, w->OPT_Fichier, w->OPT_Syslog, w->CHK_Boucle,
                         w->CMD_LectureSRC1, w->CMD_Plus, w->CMD_Moins, w->TXT_delay1, w->Combo_SRC1})
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
    // File output: the destination stays locked.
    QVERIFY(!w->TXT_Port1->isEnabled());
    QCOMPARE(items(w->Combo_SRC1), QStringList{QStringLiteral("web")});
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestStartup::longSourceNameIsCut() {
    const QByteArray name(120, 'n');
    auto w = initialised("[Source 1]\r\nDelay=5\r\nSourceFile=" + name + "\r\n");
    const QString cut = QString::fromLatin1(name.left(99));
    QCOMPARE(w->Combo_SRC1->currentText(), cut);
    QCOMPARE(w->CMD_SRC1->text(), cut);
    QCOMPARE(w->windowTitle(), cut);
}

void TestStartup::sourceListFromTheSnapshot() {
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/a.b.txt"), "x\r\n"));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/notes"), "x\r\n"));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/.hidden.txt"), "x\r\n"));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/Zeta.log.txt"), "x\r\n"));
    TalvexFRM w;
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/late.txt"), "x\r\n"));
    const QStringList expected = {QStringLiteral("a.b"), QString(), QStringLiteral("web"),
                                  QStringLiteral("Zeta.log")};
    w.CMD_SRC1->click();
    QCOMPARE(items(w.Combo_SRC1), expected);
    // Filling the list leaves the text alone.
    QCOMPARE(w.Combo_SRC1->currentText(), QStringLiteral("Votre Choix..."));
    w.CMD_SRC1->click();
    QCOMPARE(items(w.Combo_SRC1), expected);
}

void TestStartup::englishStart() {
    auto w = initialised("[Settings]\r\nLanguage=2\r\n");
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().at(0).text,
             QStringLiteral("Writing delay value must be between 1 and 7200 seconds."));
    QCOMPARE(w->Combo_SRC1->currentText(), QStringLiteral("Your Choice..."));
    QCOMPARE(w->CMD_SRC1->text(), QStringLiteral("Source &Logs"));
}

void TestStartup::pressAgainKeepsTheSlot() {
    auto w = initialised("[Source 1]\r\nDelay=5\r\n");
    QCOMPARE(w->instanceSlot(), 1);
    w->TXT_OutPut->setPlainText(QStringLiteral("old lines"));
    // The slot's own settings are read again, whoever changed them.
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("Delay"), QStringLiteral("30"));
    w->CMD_SRC1->click();
    QCOMPARE(w->instanceSlot(), 1);
    QCOMPARE(TalvexFRMTestAccess::slotSection(*w), QStringLiteral("Source 1"));
    QCOMPARE(w->TXT_delay1->text(), QStringLiteral("30"));
    QVERIFY(w->TXT_OutPut->toPlainText().isEmpty());
    QCOMPARE(key("Memory"), QStringLiteral("1"));
    QVERIFY(!m_dir->read(QStringLiteral("Talvex.ini")).contains("Source 2"));
}

void TestStartup::pressAgainStoresSelectedOptions() {
    auto w = initialised("[Source 1]\r\nDelay=5\r\nLoop=1\r\nGenerationType=-1\r\nSyslogFile=1\r\n");
    QVERIFY(w->OPT_Aleatoire->isChecked());
    QVERIFY(w->OPT_Syslog->isChecked());
    QVERIFY(w->CHK_Boucle->isChecked());
    // The options are already in place: their handlers must still run and write the keys.
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("Loop"), QStringLiteral("7"));
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("GenerationType"), QStringLiteral("5"));
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("SyslogFile"), QStringLiteral("3"));
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("HostIP"), QStringLiteral("127.0.0.1  "));
    w->CMD_SRC1->click();
    QCOMPARE(key("Loop"), QStringLiteral("1"));
    QCOMPARE(key("GenerationType"), QStringLiteral("-1"));
    QCOMPARE(key("SyslogFile"), QStringLiteral("1"));
    QVERIFY(m_dir->read(QStringLiteral("Talvex.ini")).contains("HostIP=127.0.0.1\r\n"));
    QCOMPARE(w->run()->generationOrder(), GenerationOrder::Random);
    QCOMPARE(w->run()->output(), Output::Syslog);
    QCOMPARE(w->run()->loops(), true);
}

void TestStartup::randomModeCountsLines_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("lastIndex");
    QTest::newRow("mixed ends") << QByteArray("a\r\nb\rc\nd\r\n") << qint64(2);
    QTest::newRow("no final end") << QByteArray("a\r\nb") << qint64(1);
    QTest::newRow("line feeds only") << QByteArray("a\nb\nc\n") << qint64(0);
    QTest::newRow("blank lines") << QByteArray("\r\n\r\n\r\n\r\n") << qint64(3);
}

void TestStartup::randomModeCountsLines() {
    QFETCH(QByteArray, content);
    QFETCH(qint64, lastIndex);
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), content));
    auto w = initialised("[Source 1]\r\nDelay=5\r\nGenerationType=-1\r\nSourceFile=web\r\n");
    QCOMPARE(w->run()->lastLineIndex(), lastIndex);
    // Sequential mode reads nothing.
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("GenerationType"), QStringLiteral("0"));
    w->CMD_SRC1->setEnabled(true); // as the end of a run leaves it
    w->CMD_SRC1->click();
    QCOMPARE(w->run()->lastLineIndex(), qint64(0));
}

void TestStartup::missingRandomSourceDoesNotStop() {
    auto w = initialised("[Source 1]\r\nDelay=5\r\nGenerationType=-1\r\nSourceFile=gone\r\n");
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(w->LBL_Titre->text(), QStringLiteral("Talvex"));
    QCOMPARE(w->run()->lastLineIndex(), qint64(0));
    QVERIFY(w->MMControl1->isPlayEnabled());
    QVERIFY(!w->CMD_SRC1->isEnabled());
    // Steps 12 to 14 still ran: socket ready, list filled and open to another choice.
    QCOMPARE(w->Winsock1->remoteHost(), QStringLiteral("127.0.0.1"));
    QCOMPARE(w->Winsock1->remotePort(), 514);
    QVERIFY(w->Winsock1->localPort() != 0);
    QCOMPARE(items(w->Combo_SRC1), QStringList{QStringLiteral("web")});
    QVERIFY(w->Combo_SRC1->isEnabled());
    QCOMPARE(w->Combo_SRC1->currentText(), QStringLiteral("gone"));
}

void TestStartup::unusableRandomSource_data() {
    QTest::addColumn<bool>("directory");
    QTest::newRow("a folder") << true;
    QTest::newRow("no read permission") << false;
}

void TestStartup::unusableRandomSource() {
    QFETCH(bool, directory);
    const QString path = m_dir->filePath(QStringLiteral("Logs Source/web.txt"));
    if (directory) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path));
    } else {
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0) == 0);
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    }
    auto w = initialised("[Source 1]\r\nDelay=5\r\nGenerationType=-1\r\nSourceFile=web\r\n");
    QCOMPARE(w->LBL_Titre->text(), QStringLiteral("Erreur Inconnue"));
    QCOMPARE(w->run()->lastLineIndex(), qint64(0));
    QVERIFY(w->Winsock1->localPort() != 0);
    QCOMPARE(w->Combo_SRC1->count(), directory ? 0 : 1); // a folder is no file of the list
    QVERIFY(w->Combo_SRC1->isEnabled());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestStartup::limitOutcome_data() {
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("French") << QByteArray("1") << "Seuil Maximum"
                            << "Il y a d\u00e9j\u00e0 20Talvex en m\u00e9moire. Ce seuil est le maximum.";
    QTest::newRow("English") << QByteArray("2") << "Trigger"
                             << "Already 20Talvex running in memory. This trigger is the maximum.";
}

void TestStartup::limitOutcome() {
    QFETCH(QByteArray, language);
    QFETCH(QString, title);
    QFETCH(QString, text);
    // Marks written by hand have no ownership record: all 20 count as taken.
    QByteArray ini = "[Settings]\r\nLanguage=" + language + "\r\n";
    for (int n = 1; n <= 20; ++n)
        ini += "[Source " + QByteArray::number(n) + "]\r\nMemory=1\r\nDelay=5\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), ini));

    TalvexFRM w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.CMD_SRC1->click();
    QCOMPARE(boxSummaries(),
             QStringList{boxSummary({title, text, MessageBox::Icon::Warning, MessageBox::Buttons::Ok})});
    QVERIFY(!w.isVisible());
    QCOMPARE(w.run()->quitRequested(), true);
    QCOMPARE(w.instanceSlot(), 0);
    QVERIFY(TalvexFRMTestAccess::slotSection(w).isEmpty());
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")), ini);
}

void TestStartup::slotsUnavailable_data() {
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("busy, French")
        << QByteArray("1") << "busy"
        << "Avertissement"
        << "Le fichier de param\u00e8tres Talvex.ini est occup\u00e9 : une autre copie de Talvex le "
           "retient depuis plus de 10 secondes. Appuyez de nouveau sur le bouton pour r\u00e9essayer.";
    QTest::newRow("busy, English") << QByteArray("2") << "busy"
                                   << "Warning"
                                   << "The settings file Talvex.ini is busy: another copy of Talvex has held "
                                      "it for more than 10 seconds. Press the button again to retry.";
    QTest::newRow("planted link") << QByteArray("2") << "link"
                                  << "Warning"
                                  << "Talvex cannot use this folder: one of its lock files "
                                     "(Talvex.ini.slots.lock, Talvex.slot<N>.lock) is not a regular file. "
                                     "Remove it and try again.";
}

void TestStartup::slotsUnavailable() {
    QFETCH(QByteArray, language);
    QFETCH(QString, cause);
    QFETCH(QString, title);
    QFETCH(QString, text);
    const QString lockName = QStringLiteral("Talvex.ini.slots.lock");
    const QByteArray ini =
        "[Settings]\r\nLanguage=" + language + "\r\n[Source 1]\r\nDelay=5\r\nSourceFile=web\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), ini));
    // A copy hung while it holds the lock that slot scans run under, or a link planted in its place.
    QProcess hung;
    if (cause == QLatin1String("busy")) {
        hung.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        hung.start(QStringLiteral(SLOT_CHILD), {QStringLiteral("hold"), m_dir->filePath(lockName)});
        QVERIFY(hung.waitForReadyRead(30000));
        QCOMPARE(hung.readLine().trimmed(), QByteArray("held"));
    } else {
        QVERIFY(m_dir->write(QStringLiteral("victim.txt"), "ABCDEFGHIJ"));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("victim.txt")), lockName));
    }

    TalvexFRM w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QString choice = w.Combo_SRC1->currentText();
    w.CMD_SRC1->click();
    QCOMPARE(boxSummaries(),
             QStringList{boxSummary({title, text, MessageBox::Icon::Warning, MessageBox::Buttons::Ok})});
    // Not the limit: the window stays as it was, without a slot, and nothing is written.
    QVERIFY(w.isVisible());
    QCOMPARE(w.run()->quitRequested(), false);
    QCOMPARE(w.instanceSlot(), 0);
    QVERIFY(w.CMD_SRC1->isEnabled());
    QCOMPARE(w.Combo_SRC1->currentText(), choice);
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")), ini);

    if (cause == QLatin1String("busy")) {
        hung.write("release\n");
        QVERIFY(hung.waitForFinished(30000));
    } else {
        QCOMPARE(m_dir->read(QStringLiteral("victim.txt")), QByteArray("ABCDEFGHIJ"));
        QVERIFY(QFile::remove(lockName));
    }
    // A second press, once the cause is gone, starts the copy.
    MessageBox::clearShown();
    w.CMD_SRC1->click();
    QCOMPARE(w.instanceSlot(), 1);
    QCOMPARE(w.Combo_SRC1->currentText(), QStringLiteral("web"));
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestStartup::socketGoesToTheStoredDestination() {
    // A receiver on a port the initialisation keeps (32000 at most).
    QUdpSocket receiver;
    const int first = 20000 + int(QCoreApplication::applicationPid() % 10000);
    int port = 0;
    for (int p = first; p < first + 500 && port == 0; ++p) {
        if (receiver.bind(QHostAddress::LocalHost, quint16(p)))
            port = p;
    }
    QVERIFY(port != 0);
    auto w = initialised("[Source 1]\r\nDelay=5\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\nUDP_Port_Syslog=" +
                         QByteArray::number(port) + "\r\n");
    QVERIFY(!w->Winsock1->send("first").isError());
    QVERIFY(receiver.waitForReadyRead(5000));
    QCOMPARE(receiver.receiveDatagram().data(), QByteArray("first"));

    // A new port reaches the file at once but the socket only at the next initialisation.
    w->TXT_Port1->setText(QString::number(port == 31999 ? 31998 : port + 1));
    QCOMPARE(key("UDP_Port_Syslog"), w->TXT_Port1->text());
    QVERIFY(!w->Winsock1->send("second").isError());
    QVERIFY(receiver.waitForReadyRead(5000));
    QCOMPARE(receiver.receiveDatagram().data(), QByteArray("second"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
