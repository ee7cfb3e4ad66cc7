// SPDX-License-Identifier: GPL-3.0-or-later
#include "TalvexFRMTestAccess.h"
#include "TestWorkDir.h"
#include "WindowTestKit.h"
#include "settings/Settings.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

// The two flags relabel the window and remember the choice; the load starts in the stored
// language.
class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void designTextsDifferFromTheTable();
    void switches_data();
    void switches();
    void switchLeavesEverythingElse();
    void switchReplacesRunTimeCaptions();
    void lookupFollowsTheOffset();
    void startupLanguage_data();
    void startupLanguage();
    void switchWithUnwritableSettings();

private:
    struct Caption {
        const char* control;
        QString french;
        QString english;
    };
    static QList<Caption> captions();

    std::unique_ptr<TestWorkDir> m_dir;
};

QList<TestLanguage::Caption> TestLanguage::captions() {
    // The 17 captions that follow the language, with the table's texts.
    return {
        {"CMD_SRC1", QStringLiteral("&Logs Source"), QStringLiteral("Source &Logs")},
        {"FRM_Source1", QStringLiteral("Source"), QStringLiteral("Source")},
        {"FRM_Lecture", QStringLiteral("Ecriture"), QStringLiteral("Writing")},
        {"FRM_Syslog", QStringLiteral("Syslog"), QStringLiteral("Syslog")},
        {"LBL_LineCount", QStringLiteral("Lignes"), QStringLiteral("Lines")},
        {"OPT_Sequentiel", QStringLiteral("S\u00e9quentielle"), QStringLiteral("Sequential")},
        {"OPT_Aleatoire", QStringLiteral("Al\u00e9atoire"), QStringLiteral("Random")},
        {"CHK_Boucle", QStringLiteral("Infinie"), QStringLiteral("Loop")},
        {"LBL_Delai", QStringLiteral("D\u00e9lai \u00e9criture"), QStringLiteral("Write Delay")},
        {"OPT_Fichier", QStringLiteral("Fichier"), QStringLiteral("File")},
        {"LBL_Port", QStringLiteral("Port UDP"), QStringLiteral("UDP Port")},
        {"LBL_Hote", QStringLiteral("Dest IP"), QStringLiteral("IP Dest")},
        {"CMD_Quitter", QStringLiteral("&Quitter"), QStringLiteral("Exit")},
        {"CMD_LectureSRC1", QStringLiteral("&Lecture Source"), QStringLiteral("Src &Reading")},
        {"CMD_Quenby", QStringLiteral("&Quenby"), QStringLiteral("&Quenby")},
        {"Label3", QStringLiteral("F1; Aide"), QStringLiteral("F1: Help")},
        {"FRM_Fichier", QStringLiteral("Sortie"), QStringLiteral("Std Out")},
    };
}

void TestLanguage::initTestCase() {
    MessageBox::setScripted(true);
}

void TestLanguage::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
}

void TestLanguage::cleanup() {
    m_dir.reset();
}

void TestLanguage::designTextsDifferFromTheTable() {
    TalvexFRM window;
    QCOMPARE(window.languageOffset(), 0);
    struct Design {
        const char* control;
        QString design;
        QString afterFrench;
    };
    const QList<Design> rows = {
        {"CMD_LectureSRC1", QStringLiteral("Lecture Source"), QStringLiteral("&Lecture Source")},
        {"LBL_Delai", QStringLiteral("Delai \u00e9criture"), QStringLiteral("D\u00e9lai \u00e9criture")},
        {"LBL_LineCount", QStringLiteral("Lignes :"), QStringLiteral("Lignes")},
        {"LBL_Port", QStringLiteral("Port UDP :"), QStringLiteral("Port UDP")},
        {"LBL_Hote", QStringLiteral("Dest IP :"), QStringLiteral("Dest IP")},
        {"Label3", QStringLiteral("F1: Aide"), QStringLiteral("F1; Aide")},
    };
    for (const Design& row : rows)
        QCOMPARE(WindowTestKit::shownText(window.findChild<QWidget*>(QLatin1String(row.control))),
                 row.design);
    WindowTestKit::chooseLanguage(window, 0);
    for (const Design& row : rows)
        QCOMPARE(WindowTestKit::shownText(window.findChild<QWidget*>(QLatin1String(row.control))),
                 row.afterFrench);
    // The list prompt is not the switch's: it keeps its design spelling.
    QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("Combo_SRC1"))->currentText(),
             QStringLiteral("Votre choix..."));
}

void TestLanguage::switches_data() {
    // The flags clicked, in order: 0 the French one, 1 the English one.
    QTest::addColumn<QList<int>>("clicks");
    QTest::newRow("French") << QList<int>{0};
    QTest::newRow("English") << QList<int>{1};
    QTest::newRow("French twice") << QList<int>{0, 0};
    QTest::newRow("English twice") << QList<int>{1, 1};
    QTest::newRow("English then French") << QList<int>{1, 0};
    QTest::newRow("French then English") << QList<int>{0, 1};
    QTest::newRow("back and forth") << QList<int>{1, 0, 1, 0, 1};
}

void TestLanguage::switches() {
    QFETCH(QList<int>, clicks);
    TalvexFRM window;
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("Talvex.ini"))));

    for (const int language : clicks) {
        WindowTestKit::chooseLanguage(window, language);
        const bool english = language == 1;
        QCOMPARE(window.languageOffset(), language);
        for (const Caption& c : captions()) {
            QWidget* w = window.findChild<QWidget*>(QLatin1String(c.control));
            QVERIFY2(w, c.control);
            QCOMPARE(WindowTestKit::shownText(w), english ? c.english : c.french);
        }
        // The choice is stored at once, for the next start of any copy.
        QCOMPARE(Settings::read(QStringLiteral("Settings"), QStringLiteral("Language")),
                 english ? QStringLiteral("2") : QStringLiteral("1"));
        const QByteArray file = m_dir->read(QStringLiteral("Talvex.ini"));
        QVERIFY(file.contains(english ? "Language=2" : "Language=1"));
        QCOMPARE(file.count("Language="), 1);
    }
}

void TestLanguage::switchLeavesEverythingElse() {
    TalvexFRM window;
    struct State {
        QString caption;
        QString toolTip;
        bool enabled;
        bool hidden;
    };
    auto snapshot = [&window] {
        QMap<QString, State> states;
        for (QWidget* w : window.findChildren<QWidget*>()) {
            if (!w->objectName().isEmpty())
                states.insert(w->objectName(), State{WindowTestKit::shownText(w), w->toolTip(),
                                                     w->isEnabledTo(&window), w->isHidden()});
        }
        return states;
    };
    const auto before = snapshot();
    const QString title = window.windowTitle();
    const QString comboText = window.findChild<QComboBox*>(QStringLiteral("Combo_SRC1"))->currentText();

    QSet<QString> translated;
    for (const Caption& c : captions())
        translated.insert(QLatin1String(c.control));

    for (int round = 0; round < 2; ++round) {
        WindowTestKit::chooseLanguage(window, round == 0 ? 1 : 0);
        const auto after = snapshot();
        QCOMPARE(after.keys(), before.keys());
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const State& now = after.value(it.key());
            QCOMPARE(now.toolTip, it->toolTip);
            QCOMPARE(now.enabled, it->enabled);
            QCOMPARE(now.hidden, it->hidden);
            if (!translated.contains(it.key()))
                QVERIFY2(now.caption == it->caption, qPrintable(it.key()));
        }
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("Combo_SRC1"))->currentText(), comboText);
    }
    QCOMPARE(WindowTestKit::shownText(window.findChild<QWidget*>(QStringLiteral("OPT_Syslog"))),
             QStringLiteral("Syslog"));
    QCOMPARE(WindowTestKit::shownText(window.findChild<QWidget*>(QStringLiteral("LBLtps"))),
             QStringLiteral("Sec."));
}

void TestLanguage::switchReplacesRunTimeCaptions() {
    TalvexFRM window;
    window.CMD_SRC1->setText(QStringLiteral("web"));
    static_cast<RunHost&>(window).setLineCountCaption(QStringLiteral("Lignes: 12"));
    window.FRM_Lecture->setTitle(QStringLiteral("Ecriture (en boucle)"));
    WindowTestKit::chooseLanguage(window, 1);
    QCOMPARE(window.CMD_SRC1->text(), QStringLiteral("Source &Logs"));
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lines"));
    QCOMPARE(window.FRM_Lecture->title(), QStringLiteral("Writing"));
    // The title label and the error label are not the switch's.
    static_cast<RunHost&>(window).showError(QStringLiteral("Err: 5 : x"), QStringLiteral("Erreur Inconnue"));
    WindowTestKit::chooseLanguage(window, 0);
    QCOMPARE(window.LBL_Titre->text(), QStringLiteral("Erreur Inconnue"));
    QCOMPARE(window.LBL_Err->text(), QStringLiteral("Err: 5 : x"));
}

void TestLanguage::lookupFollowsTheOffset() {
    TalvexFRM window;
    QCOMPARE(TalvexFRMTestAccess::lookup(window, 37), QStringLiteral("Erreur Inconnue"));
    WindowTestKit::chooseLanguage(window, 1);
    QCOMPARE(TalvexFRMTestAccess::lookup(window, 37), QStringLiteral("Unknown Error"));
    QCOMPARE(TalvexFRMTestAccess::lookup(window, 9), QStringLiteral("Lines"));
    WindowTestKit::chooseLanguage(window, 0);
    QCOMPARE(TalvexFRMTestAccess::lookup(window, 9), QStringLiteral("Lignes"));
}

void TestLanguage::startupLanguage_data() {
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("english");

    auto stored = [](const QByteArray& value) { return "[Settings]\r\nLanguage=" + value + "\r\n"; };
    QTest::newRow("2") << true << stored("2") << true;
    QTest::newRow("2.0") << true << stored("2.0") << true;
    QTest::newRow("2abc") << true << stored("2abc") << true;
    QTest::newRow("blank 2") << true << stored(" 2") << true;
    QTest::newRow("02") << true << stored("02") << true;
    QTest::newRow("2e0") << true << stored("2e0") << true;
    QTest::newRow("other case") << true << QByteArray("[settings]\r\nLANGUAGE=2\r\n") << true;
    QTest::newRow("beside a slot") << true
                                   << QByteArray("[Source 1]\r\nMemory=0\r\n[Settings]\r\nLanguage=2\r\n")
                                   << true;
    QTest::newRow("1") << true << stored("1") << false;
    QTest::newRow("empty") << true << stored("") << false;
    QTest::newRow("3") << true << stored("3") << false;
    QTest::newRow("en") << true << stored("en") << false;
    QTest::newRow("2.5") << true << stored("2.5") << false;
    QTest::newRow("-2") << true << stored("-2") << false;
    QTest::newRow("key missing") << true << QByteArray("[Settings]\r\nOther=2\r\n") << false;
    QTest::newRow("in another section") << true << QByteArray("[Source 1]\r\nLanguage=2\r\n") << false;
    QTest::newRow("no file") << false << QByteArray() << false;
}

void TestLanguage::startupLanguage() {
    QFETCH(bool, withFile);
    QFETCH(QByteArray, ini);
    QFETCH(bool, english);
    const QString name = QStringLiteral("Talvex.ini");
    if (withFile)
        QVERIFY(m_dir->write(name, ini));

    TalvexFRM window;
    QCOMPARE(window.languageOffset(), english ? 1 : 0);
    QCOMPARE(window.findChild<QAbstractButton*>(QStringLiteral("CMD_Quitter"))->text(),
             english ? QStringLiteral("Exit") : QStringLiteral("&Quitter"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             english ? QStringLiteral("F1: Help") : QStringLiteral("F1: Aide"));

    if (english) {
        // The English start writes its choice again, in its canonical form.
        QCOMPARE(Settings::read(QStringLiteral("Settings"), QStringLiteral("Language")), QStringLiteral("2"));
        QVERIFY(m_dir->read(name).toLower().contains("language=2\r\n"));
    } else if (withFile) {
        QCOMPARE(m_dir->read(name), ini);
    } else {
        QVERIFY(!QFile::exists(m_dir->filePath(name)));
    }
}

void TestLanguage::switchWithUnwritableSettings() {
    if (::geteuid() == 0)
        QSKIP("root writes into a read-only folder; run as a normal user to test a refused write");
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Settings]\r\nLanguage=1\r\n"));
    TalvexFRM window;
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0555) == 0);
    WindowTestKit::chooseLanguage(window, 1);
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
    // The window is relabelled all the same; the file keeps what it held.
    QCOMPARE(window.languageOffset(), 1);
    QCOMPARE(window.findChild<QAbstractButton*>(QStringLiteral("CMD_Quitter"))->text(),
             QStringLiteral("Exit"));
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")), QByteArray("[Settings]\r\nLanguage=1\r\n"));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
