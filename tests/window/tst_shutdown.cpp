// SPDX-License-Identifier: GPL-3.0-or-later
#include "TalvexFRMTestAccess.h"
#include "WindowTestKit.h"
#include "engine/GenerationRun.h"
#include "settings/Settings.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/PictureBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <functional>
#include <memory>
#include <utility>

using namespace WindowTestKit;

namespace {

// Runs its action once, when the window is asked to close: after Quit has written Memory = "0"
// and before the unload writes the position.
class AtClose : public QObject {
public:
    explicit AtClose(std::function<void()> action) : m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close && m_action)
            std::exchange(m_action, nullptr)();
        return false;
    }

private:
    std::function<void()> m_action;
};

} // namespace

// The ends of a copy: which keys Quit, the close box and the teardown write, and what they leave
// alone; the banner toggle; the companion program.
class TestShutdown : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void quitFromSlot3ComesBackInPlace();
    void quitKeepsTheSlotUntilItsLastWrite();
    void endsWithoutPosition_data();
    void endsWithoutPosition();
    void closeBoxReleasesAtTeardown();
    void quitBeforeInitialisationWritesNothing();
    void quitAfterLimitOutcomeWritesNothing();
    void quitDuringRunKeepsEveryLine_data();
    void quitDuringRunKeepsEveryLine();
    void wholeLifeOfACopy();
    void bannerToggle();
    void companionStartedPerClick();
    void companionMissing();

private:
    std::unique_ptr<TestWorkDir> m_dir;
};

void TestShutdown::initTestCase() {
    MessageBox::setScripted(true);
}

void TestShutdown::init() {
    m_dir = freshRunFolder();
    QVERIFY(m_dir);
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\nb\r\nc\r\n"));
}

void TestShutdown::cleanup() {
    m_dir.reset();
}

void TestShutdown::quitFromSlot3ComesBackInPlace() {
    // Slots 1 and 2 are marked by hand (no ownership record): respected, so this copy gets slot 3.
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"),
                         "[Source 1]\r\nMemory=1\r\n[Source 2]\r\nMemory=1\r\n"
                         "[Source 3]\r\nMemory=0\r\nDelay=5\r\nSourceFile=web\r\n"));
    QPoint placed;
    {
        TalvexFRM window;
        window.show();
        initialise(window);
        QCOMPARE(window.instanceSlot(), 3);
        QCOMPARE(window.Combo_SRC1->currentText(), QStringLiteral("web"));
        window.move(300, 200);
        placed = window.frameGeometry().topLeft();
        QTest::mouseClick(window.CMD_Quitter, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(key("Memory", 3), QStringLiteral("0"));
        QCOMPARE(key("PositionX", 3), QString::number(placed.x() * 15));
        QCOMPARE(key("PositionY", 3), QString::number(placed.y() * 15));
        QCOMPARE(key("Delay", 3), QStringLiteral("5"));
    }
    // The teardown found the slot released already and wrote nothing more.
    QCOMPARE(key("Memory", 3), QStringLiteral("0"));
    QCOMPARE(key("Memory", 1), QStringLiteral("1"));

    TalvexFRM again;
    again.show();
    initialise(again);
    QCOMPARE(again.instanceSlot(), 3);
    QCOMPARE(again.frameGeometry().topLeft(), placed);
}

void TestShutdown::quitKeepsTheSlotUntilItsLastWrite() {
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Source 1]\r\nDelay=5\r\nSourceFile=web\r\n"));
    // Another copy of the program, started the moment this one's Memory reads "0".
    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QString markSeen;
    int otherSlot = -1;
    AtClose startOther([&] {
        markSeen = key("Memory", 1);
        other.start(QCoreApplication::applicationDirPath() + QStringLiteral("/talvex_copy"), {m_dir->path()});
        QDeadlineTimer deadline(60000);
        // A copy starts slowly on a loaded machine (or under the sanitizers): a second without
        // output is no answer yet, only an ended process or the deadline is.
        while (otherSlot < 0 && !deadline.hasExpired() && other.state() != QProcess::NotRunning) {
            other.waitForReadyRead(1000);
            while (other.canReadLine()) {
                const QByteArray line = other.readLine().trimmed();
                if (line.startsWith("slot "))
                    otherSlot = line.mid(5).toInt();
            }
        }
    });
    QPoint placed;
    {
        TalvexFRM window;
        window.show();
        initialise(window);
        QCOMPARE(window.instanceSlot(), 1);
        window.move(300, 200);
        placed = window.frameGeometry().topLeft();
        window.installEventFilter(&startOther);
        QTest::mouseClick(window.CMD_Quitter, Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }
    QCOMPARE(markSeen, QStringLiteral("0"));
    // The quitting copy still held its slot: the other one went on to slot 2, and the position
    // landed in the quitting copy's own section.
    QCOMPARE(otherSlot, 2);
    QCOMPARE(key("PositionX", 1), QString::number(placed.x() * 15));
    QCOMPARE(key("PositionY", 1), QString::number(placed.y() * 15));
    QCOMPARE(key("Memory", 1), QStringLiteral("0"));
    QCOMPARE(key("PositionX", 2), QString());
    other.write("quit\n");
    QVERIFY(other.waitForFinished(30000));
    QCOMPARE(key("Memory", 2), QStringLiteral("0"));
}

void TestShutdown::endsWithoutPosition_data() {
    QTest::addColumn<bool>("minimised");
    QTest::addColumn<bool>("english");
    QTest::addColumn<bool>("sourceStored");

    QTest::newRow("minimised") << true << false << true;
    QTest::newRow("placeholder, French") << false << false << false;
    QTest::newRow("placeholder, English") << false << true << false;
}

void TestShutdown::endsWithoutPosition() {
    QFETCH(bool, minimised);
    QFETCH(bool, english);
    QFETCH(bool, sourceStored);

    QByteArray ini = "[Source 1]\r\nPositionX=1500\r\nPositionY=2250\r\n";
    if (sourceStored)
        ini += "SourceFile=web\r\n";
    if (english)
        ini += "[Settings]\r\nLanguage=2\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), ini));
    {
        TalvexFRM window;
        window.show();
        initialise(window);
        QCOMPARE(window.instanceSlot(), 1);
        QCOMPARE(window.languageOffset(), english ? 1 : 0);
        if (!sourceStored)
            QCOMPARE(window.Combo_SRC1->currentText(),
                     english ? QStringLiteral("Your Choice...") : QStringLiteral("Votre Choix..."));
        window.move(600, 450);
        if (minimised)
            window.showMinimized();
        QTest::mouseClick(window.CMD_Quitter, Qt::LeftButton);
    }
    QCOMPARE(key("Memory", 1), QStringLiteral("0"));
    QCOMPARE(key("PositionX", 1), QStringLiteral("1500"));
    QCOMPARE(key("PositionY", 1), QStringLiteral("2250"));
}

void TestShutdown::closeBoxReleasesAtTeardown() {
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Source 1]\r\nSourceFile=web\r\n"));
    auto window = std::make_unique<TalvexFRM>();
    window->show();
    initialise(*window);
    window->move(150, 75);
    const QPoint placed = window->frameGeometry().topLeft();
    window->close();
    // Unload: the position is saved while the slot is still held.
    QCOMPARE(key("Memory", 1), QStringLiteral("1"));
    QCOMPARE(key("PositionX", 1), QString::number(placed.x() * 15));
    QCOMPARE(key("PositionY", 1), QString::number(placed.y() * 15));
    window.reset(); // the final teardown
    QCOMPARE(key("Memory", 1), QStringLiteral("0"));
}

void TestShutdown::quitBeforeInitialisationWritesNothing() {
    {
        TalvexFRM window;
        window.show();
        QTest::mouseClick(window.CMD_Quitter, Qt::LeftButton);
    }
    {
        TalvexFRM window;
        window.show();
        window.close();
    }
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("Talvex.ini"))));
}

void TestShutdown::quitAfterLimitOutcomeWritesNothing() {
    QByteArray ini;
    for (int slot = 1; slot <= 20; ++slot)
        ini += "[Source " + QByteArray::number(slot) + "]\r\nMemory=1\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), ini));
    {
        TalvexFRM window;
        window.show();
        initialise(window);
        QCOMPARE(window.instanceSlot(), 0);
        QVERIFY(!window.isVisible()); // the limit outcome closed it
        QTest::mouseClick(window.CMD_Quitter, Qt::LeftButton);
    }
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")), ini);
}

void TestShutdown::quitDuringRunKeepsEveryLine_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Quit button") << false;
    QTest::newRow("close box") << true;
}

void TestShutdown::quitDuringRunKeepsEveryLine() {
    QFETCH(bool, closeBox);
    QByteArray source;
    for (int i = 1; i <= 200; ++i)
        source += "line " + QByteArray::number(i) + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), source));
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"),
                         "[Source 1]\r\nDelay=0.02\r\nSyslogFile=0\r\nSourceFile=web\r\n"));
    TalvexFRM window;
    window.show();
    initialise(window);
    QVERIFY(window.MMControl1->isPlayEnabled());
    QSignalSpy produced(window.run(), &GenerationRun::lineProduced);
    WindowTestKit::mediaButton(window, "Play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(produced.size() >= 3, 10000);
    MessageBox::clearShown();

    if (closeBox)
        window.close();
    else
        QTest::mouseClick(window.CMD_Quitter, Qt::LeftButton);
    const qsizetype atQuit = produced.size();
    QTest::qWait(200);
    QCOMPARE(produced.size(), atQuit);
    QVERIFY(!window.run()->isRunning());
    QVERIFY(MessageBox::shown().isEmpty()); // no completion message

    // Every produced line is in the file, whole, and nothing else.
    QByteArray expected;
    for (const QList<QVariant>& args : produced)
        expected += args.at(1).toByteArray() + "\r\n";
    QCOMPARE(m_dir->read(QStringLiteral("Logs Générés/web.txt")), expected);
}

void TestShutdown::wholeLifeOfACopy() {
    // Start, initialise, play, stop, play again, quit: under the sanitizer build this is the
    // scenario that must end without a leak or a report.
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Source 1]\r\nDelay=0.2\r\nSourceFile=web\r\n"));
    auto window = std::make_unique<TalvexFRM>();
    window->show();
    initialise(*window);
    auto* play = WindowTestKit::mediaButton(*window, "Play");
    auto* stop = WindowTestKit::mediaButton(*window, "Stop");
    play->click();
    QTRY_VERIFY_WITH_TIMEOUT(window->run()->lineCounter() >= 1, 5000);
    stop->click();
    QVERIFY(!window->run()->isRunning());
    MessageBox::queueAnswer(MessageBox::Answer::Yes);
    play->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->run()->isRunning(), 10000);
    QTest::mouseClick(window->CMD_Quitter, Qt::LeftButton);
    window.reset();
    QCOMPARE(key("Memory", 1), QStringLiteral("0"));
    const QByteArray written = m_dir->read(QStringLiteral("Logs Générés/web.txt"));
    QVERIFY(written.endsWith("a\r\nb\r\nc\r\n")); // the second run was added to the first
}

void TestShutdown::bannerToggle() {
    TalvexFRM window;
    window.show();
    for (int expected : {1635, 4485, 1635}) {
        window.TXT_OutPut->setPlainText(QStringLiteral("something"));
        QTest::mouseClick(window.Picture1, Qt::LeftButton);
        QCOMPARE(TalvexFRMTestAccess::outerHeightTwips(window), expected);
        QVERIFY(window.TXT_OutPut->toPlainText().isEmpty());
    }
}

void TestShutdown::companionStartedPerClick() {
    // A stand-in for the companion on the search path that records each start.
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    const QString record = m_dir->filePath(QStringLiteral("starts.txt"));
    const QString stub = bin + QStringLiteral("/Quenby.exe");
    QVERIFY(m_dir->write(QStringLiteral("bin/Quenby.exe"),
                         "#!/bin/sh\necho started >> '" + record.toUtf8() + "'\n"));
    QVERIFY(QFile::setPermissions(stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit() + ':' + oldPath);

    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Source 1]\r\nSyslogFile=1\r\nSourceFile=web\r\n"));
    TalvexFRM window;
    window.show();
    initialise(window);
    MessageBox::clearShown(); // the initialisation's own delay message
    QVERIFY(window.CMD_Quenby->isEnabled());
    QTest::mouseClick(window.CMD_Quenby, Qt::LeftButton);
    QTest::mouseClick(window.CMD_Quenby, Qt::LeftButton);
    qputenv("PATH", oldPath);

    QTRY_COMPARE_WITH_TIMEOUT(m_dir->read(QStringLiteral("starts.txt")), QByteArray("started\nstarted\n"),
                              10000);
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestShutdown::companionMissing() {
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", m_dir->path().toLocal8Bit()); // nothing named Quenby.exe there
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Source 1]\r\nSyslogFile=1\r\nSourceFile=web\r\n"));
    TalvexFRM window;
    window.show();
    initialise(window);
    MessageBox::clearShown();
    // Without Quenby.exe the companion receiver is started instead; when even that fails, it is said.
    QStringList started;
    TalvexFRMTestAccess::setProgramStarter(window, [&started](const QString& program, const QStringList&) {
        started << program;
        return false;
    });
    QTest::mouseClick(window.CMD_Quenby, Qt::LeftButton);
    qputenv("PATH", oldPath);

    QCOMPARE(started, QStringList{QCoreApplication::applicationFilePath()});
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains(QStringLiteral("talvex --receiver")));
    QVERIFY(MessageBox::shown().first().icon == MessageBox::Icon::Information);
    // Talvex goes on: the window is still there and usable.
    QVERIFY(window.isVisible());
    QVERIFY(window.CMD_Quenby->isEnabled());
}

QTEST_MAIN(TestShutdown)
#include "tst_shutdown.moc"
