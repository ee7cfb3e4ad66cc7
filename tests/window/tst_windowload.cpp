// SPDX-License-Identifier: GPL-3.0-or-later
#include "TalvexFRMTestAccess.h"
#include "TestWorkDir.h"
#include "desktop/InstalledData.h"
#include "window/FileListBox.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QScreen>
#include <QUrl>
#include <QtTest>

#include <memory>

// What the load leaves behind: caption, help on F1, the source snapshot, the place on screen,
// no slot and no Play.
class TestWindowLoad : public QObject {
    Q_OBJECT

public slots:
    // Stands in for the desktop's handler of file URLs.
    void openFile(const QUrl& url) { m_opened << url; }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void captionAndState();
    void sourceSnapshot();
    void sourceSnapshotWithoutFolder();
    void centred();
    void helpMissing_data();
    void helpMissing();
    void helpOpened();
    void helpUnopenable_data();
    void helpUnopenable();
    void helpManual_data();
    void helpManual();

private:
    void pressF1(TalvexFRM& window, QWidget* focus);

    std::unique_ptr<TestWorkDir> m_dir;
    QList<QUrl> m_opened;
};

void TestWindowLoad::initTestCase() {
    MessageBox::setScripted(true);
}

void TestWindowLoad::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    MessageBox::clearShown();
    m_opened.clear();
    // An installation of our own, without a manual unless a test puts one there.
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("installed/manual")));
    InstalledData::setFolder(m_dir->filePath(QStringLiteral("installed")));
}

void TestWindowLoad::cleanup() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    InstalledData::setFolder(QString());
    m_dir.reset();
}

void TestWindowLoad::captionAndState() {
    // Even with a stored slot, the load claims nothing and leaves Play off.
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"),
                         "[Source 1]\r\nMemory=0\r\nSourceFile=web\r\n[Settings]\r\nLanguage=1\r\n"));
    TalvexFRM window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Talvex 1.2"));
    QCOMPARE(window.instanceSlot(), 0);
    QVERIFY(TalvexFRMTestAccess::slotSection(window).isEmpty());
    QVERIFY(!window.MMControl1->isPlayEnabled());
    QVERIFY(!window.MMControl1->isPauseEnabled());
    QVERIFY(!window.MMControl1->isStopEnabled());
    QVERIFY(MessageBox::shown().isEmpty());
    // Nothing written by a French start.
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")),
             QByteArray("[Source 1]\r\nMemory=0\r\nSourceFile=web\r\n[Settings]\r\nLanguage=1\r\n"));
}

void TestWindowLoad::sourceSnapshot() {
    QDir here(m_dir->path());
    QVERIFY(here.mkpath(QStringLiteral("Logs Source/sub")));
    for (const char* name : {"web.txt", "a.b.txt", "notes", "Zeta.log", "alpha.txt", ".hidden.txt"})
        QVERIFY(m_dir->write(QStringLiteral("Logs Source/") + QLatin1String(name), "x\r\n"));

    TalvexFRM window;
    QCOMPARE(window.COMBO_ListDir->folder(), QStringLiteral("Logs Source"));
    QStringList names;
    for (int i = 0; i < window.COMBO_ListDir->count(); ++i)
        names << window.COMBO_ListDir->fileName(i);
    QCOMPARE(names,
             (QStringList{QStringLiteral("a.b.txt"), QStringLiteral("alpha.txt"), QStringLiteral("notes"),
                          QStringLiteral("web.txt"), QStringLiteral("Zeta.log")}));

    // A file added later is not seen: the list is the snapshot of the load.
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/late.txt"), "x\r\n"));
    QCOMPARE(window.COMBO_ListDir->count(), 5);
    QVERIFY(!window.COMBO_ListDir->isVisibleTo(&window));
}

void TestWindowLoad::sourceSnapshotWithoutFolder() {
    TalvexFRM window;
    QCOMPARE(window.COMBO_ListDir->count(), 0);
    QVERIFY(window.COMBO_ListDir->fileName(0).isEmpty());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestWindowLoad::centred() {
    TalvexFRM window;
    QScreen* screen = window.screen();
    QVERIFY(screen);
    const QRect area = screen->geometry();
    const QSize outer = window.frameGeometry().size();
    const QPoint expected(area.x() + (area.width() - outer.width()) / 2,
                          area.y() + (area.height() - outer.height()) / 2);
    QCOMPARE(window.frameGeometry().topLeft(), expected);

    // Again on demand, from elsewhere.
    window.move(0, 0);
    TalvexFRMTestAccess::centreOnScreen(window);
    QCOMPARE(window.frameGeometry().topLeft(), expected);
}

void TestWindowLoad::pressF1(TalvexFRM& window, QWidget* focus) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    if (focus) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_F1);
    } else {
        QTest::keyClick(&window, Qt::Key_F1);
    }
}

void TestWindowLoad::helpMissing_data() {
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("text");
    const QString fr = QStringLiteral("Le fichier d'aide Talvex.chm est absent du dossier de travail, et le "
                                      "manuel n'est pas install\u00e9.");
    const QString en = QStringLiteral(
        "The help file Talvex.chm is not in the working folder, and the manual is not installed.");
    QTest::newRow("French, window") << false << QString() << fr;
    QTest::newRow("French, output pane") << false << QStringLiteral("TXT_OutPut") << fr;
    QTest::newRow("English, button") << true << QStringLiteral("CMD_SRC1") << en;
}

void TestWindowLoad::helpMissing() {
    QFETCH(bool, english);
    QFETCH(QString, focus);
    QFETCH(QString, text);
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), english ? "[Settings]\r\nLanguage=2\r\n" : ""));
    // A folder of that name is not the help file either.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Talvex.chm")));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFile");

    TalvexFRM window;
    pressF1(window, focus.isEmpty() ? nullptr : window.findChild<QWidget*>(focus));

    const auto shown = MessageBox::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, QStringLiteral("Information"));
    QCOMPARE(shown.first().text, text);
    QCOMPARE(shown.first().icon, MessageBox::Icon::Information);
    QCOMPARE(shown.first().buttons, MessageBox::Buttons::Ok);
    QVERIFY(m_opened.isEmpty());
}

void TestWindowLoad::helpOpened() {
    QVERIFY(m_dir->write(QStringLiteral("Talvex.chm"), "help"));
    // The working folder's own help comes before the manual.
    QVERIFY(m_dir->write(QStringLiteral("installed/manual/talvex.fr.html"), "<html></html>"));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFile");
    TalvexFRM window;
    pressF1(window, window.TXT_OutPut);
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(QFileInfo(m_opened.first().toLocalFile()).canonicalFilePath(),
             QFileInfo(m_dir->filePath(QStringLiteral("Talvex.chm"))).canonicalFilePath());
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestWindowLoad::helpUnopenable_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::newRow("help file") << QStringLiteral("Talvex.chm")
                               << QStringLiteral("Le fichier d'aide Talvex.chm n'a pas pu \u00eatre ouvert.");
    QTest::newRow("manual") << QStringLiteral("installed/manual/talvex.fr.html")
                            << QStringLiteral("Le manuel n'a pas pu \u00eatre ouvert.");
}

void TestWindowLoad::helpUnopenable() {
    QFETCH(QString, file);
    QFETCH(QString, text);
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("only the offscreen platform is sure to have no handler for the file");
    QVERIFY(m_dir->write(file, "help"));
    TalvexFRM window;
    pressF1(window, nullptr);
    const auto shown = MessageBox::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, text);
}

void TestWindowLoad::helpManual_data() {
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("manual");
    QTest::newRow("French") << false << QStringLiteral("talvex.fr.html");
    QTest::newRow("English") << true << QStringLiteral("talvex.en.html");
}

// Without Talvex.chm, the installed manual in the interface language.
void TestWindowLoad::helpManual() {
    QFETCH(bool, english);
    QFETCH(QString, manual);
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), english ? "[Settings]\r\nLanguage=2\r\n" : ""));
    for (const char* name : {"installed/manual/talvex.fr.html", "installed/manual/talvex.en.html"})
        QVERIFY(m_dir->write(QString::fromLatin1(name), "<html></html>"));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFile");
    TalvexFRM window;
    pressF1(window, nullptr);
    QCOMPARE(m_opened.size(), 1);
    QCOMPARE(QFileInfo(m_opened.first().toLocalFile()).canonicalFilePath(),
             QFileInfo(m_dir->filePath(QStringLiteral("installed/manual/") + manual)).canonicalFilePath());
    QVERIFY(MessageBox::shown().isEmpty());
}

QTEST_MAIN(TestWindowLoad)
#include "tst_windowload.moc"
