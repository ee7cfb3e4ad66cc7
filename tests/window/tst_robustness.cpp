// SPDX-License-Identifier: GPL-3.0-or-later
#include "Permissions.h"
#include "TalvexFRMTestAccess.h"
#include "UdpReceiver.h"
#include "WindowTestKit.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"
#include "settings/Settings.h"
#include "window/EchoPane.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/PictureBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStringConverter>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

using namespace WindowTestKit;

Q_DECLARE_METATYPE(QStringConverter::Encoding)

// Bad inputs in the real window: the settings file, the source folder and files, the output
// folder and file, the destination host and port, and lines at the size limit of a datagram.
// Each case checks what the operator is told, that the window is still usable afterwards, and
// that nothing already written is lost.
class TestRobustness : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void settingsFile_data();
    void settingsFile();
    void nulInSourceName_data();
    void nulInSourceName();
    void sourceFolder_data();
    void sourceFolder();
    void sourceFile_data();
    void sourceFile();
    void hugeSourceLine_data();
    void hugeSourceLine();
    void outputFolder_data();
    void outputFolder();
    void settingsNoticeOnlyForALostChange();
    void readOnlyOutputFile_data();
    void readOnlyOutputFile();
    void unusableHost_data();
    void unusableHost();
    void nobodyListening_data();
    void nobodyListening();
    void highestPort();
    void datagramSize_data();
    void datagramSize();

private:
    void writeIni(const QByteArray& body) { QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), body)); }
    void writeSource(const QString& name, const QByteArray& bytes) {
        QVERIFY(m_dir->write(QStringLiteral("Logs Source/") + name + QStringLiteral(".txt"), bytes));
    }
    QByteArray output(const QString& name) const {
        return m_dir->read(QStringLiteral("Logs Générés/") + name + QStringLiteral(".txt"));
    }
    // Slot 1's keys for a fast run of `source` as datagrams, without their section line.
    static QByteArray udpKeys(quint16 port, const QByteArray& host = "127.0.0.1",
                              const QByteArray& source = "web") {
        return "Delay=0.01\r\nSyslogFile=1\r\nHostIP=" + host +
               "\r\nUDP_Port_Syslog=" + QByteArray::number(port) + "\r\nSourceFile=" + source + "\r\n";
    }
    static QByteArray udpIni(quint16 port, const QByteArray& host = "127.0.0.1",
                             const QByteArray& source = "web") {
        return "[Source 1]\r\n" + udpKeys(port, host, source);
    }
    static void play(TalvexFRM& w) {
        QVERIFY(mediaButton(w, "Play")->isEnabled());
        mediaButton(w, "Play")->click();
    }
    // Plays and checks that the run halts on `error`: said in the error label and the title, the
    // buttons left as they are while running.
    static void playToError(TalvexFRM& w, const QString& error) {
        play(w);
        QTRY_VERIFY_WITH_TIMEOUT(!w.run()->isRunning(), 5000);
        QVERIFY(w.LBL_Err->isVisible());
        QCOMPARE(w.LBL_Err->text(), error);
        QCOMPARE(w.LBL_Titre->text(), QStringLiteral("Erreur Inconnue"));
        QVERIFY(halted(w));
    }
    static void stop(TalvexFRM& w) {
        QVERIFY(mediaButton(w, "Stop")->isEnabled());
        mediaButton(w, "Stop")->click();
        QVERIFY(idleAfterStop(w));
    }
    static void preview(TalvexFRM& w) {
        QVERIFY(w.CMD_LectureSRC1->isEnabled());
        QTest::mouseClick(w.CMD_LectureSRC1, Qt::LeftButton);
        QVERIFY(!QGuiApplication::overrideCursor());
    }
    static QString completion(const QString& name) {
        return QStringLiteral("La génération du fichier ") + name +
               QStringLiteral(".txt est terminée.\r\n\r\n");
    }
    static QString settingsNotice() {
        return QStringLiteral("Le fichier de paramètres Talvex.ini ne peut pas être écrit : les réglages "
                              "modifiés ne seront pas conservés après la fermeture de Talvex.");
    }

    std::unique_ptr<TestWorkDir> m_dir;
};

void TestRobustness::initTestCase() {
    MessageBox::setScripted(true);
}

void TestRobustness::init() {
    m_dir = WindowTestKit::freshRunFolder();
    QVERIFY(m_dir);
}

void TestRobustness::cleanup() {
    m_dir.reset();
}

// ---- Talvex.ini -------------------------------------------------------------------------------

void TestRobustness::settingsFile_data() {
    // The file is `head`, slot 1's keys for the run, then `tail`, in `encoding`; `kept` are the
    // bytes that every later write must leave in place at its start, and `alsoKept` a piece it
    // must still hold.
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QStringConverter::Encoding>("encoding");
    QTest::addColumn<int>("mode"); // given to the file for the test, -1 for none
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<QByteArray>("alsoKept");
    const QByteArray section = "[Source 1]\r\n";
    const QByteArray french = "[Settings]\r\nLanguage=1\r\n" + section;
    const QByteArray english = "[Settings]\r\nLanguage=2\r\n" + section;
    const auto utf8 = QStringConverter::Utf8;
    QTest::newRow("read-only") << french << QByteArray() << utf8 << 0444 << false << true << false
                               << QByteArray() << QByteArray();
    QTest::newRow("mode 000") << french << QByteArray() << utf8 << 0 << false << false << false
                              << QByteArray() << QByteArray();
    QTest::newRow("a folder named Talvex.ini") << QByteArray() << QByteArray() << utf8 << -1 << true << false
                                               << false << QByteArray() << QByteArray();

    QByteArray garbage(64 * 1024, '\0');
    QRandomGenerator random(20240611);
    for (char& c : garbage)
        c = static_cast<char>(random.bounded(256));
    QTest::newRow("binary garbage") << garbage + "\r\n" + section << QByteArray() << utf8 << -1 << false
                                    << true << true << garbage << QByteArray();

    QByteArray large;
    large.reserve(10 * 1024 * 1024 + 200);
    for (int i = 0; large.size() < 10 * 1024 * 1024; ++i) {
        if (i % 1000 == 0)
            large += "[Filler " + QByteArray::number(i / 1000) + "]\r\n";
        large += "key" + QByteArray::number(i) + "=" + QByteArray(80, 'v') + "\r\n";
    }
    QTest::newRow("10 MB") << large + section << QByteArray() << utf8 << -1 << false << true << true << large
                           << QByteArray();

    const QByteArray bom = "\xEF\xBB\xBF" + section;
    QTest::newRow("UTF-8 byte-order mark")
        << bom << QByteArray() << utf8 << -1 << false << true << true << bom << QByteArray();

    const char junk[] = "[Source 1]\r\n\0\0junk\0=\0\r\nNote=a\0b\r\n";
    const QByteArray nul(junk, sizeof junk - 1);
    // The last line, ended: the slot's keys go after it.
    QTest::newRow("NUL bytes") << nul << QByteArray("\0\0\0", 3) << utf8 << -1 << false << true << true << nul
                               << QByteArray("\n\0\0\0\r\n[Settings]", 16);

    // A UTF-16 file is Windows' own: read as nothing and never written, so never corrupted.
    QTest::newRow("UTF-16 little-endian") << english << QByteArray() << QStringConverter::Utf16LE << -1
                                          << false << false << false << QByteArray() << QByteArray();
    QTest::newRow("UTF-16 big-endian") << english << QByteArray() << QStringConverter::Utf16BE << -1 << false
                                       << false << false << QByteArray() << QByteArray();
}

void TestRobustness::settingsFile() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, tail);
    QFETCH(QStringConverter::Encoding, encoding);
    QFETCH(int, mode);
    QFETCH(bool, folder);
    QFETCH(bool, readable);
    QFETCH(bool, writable);
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, alsoKept);
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    writeSource(QStringLiteral("web"), "a\r\nb\r\nc\r\n");
    const QString iniPath = m_dir->filePath(QStringLiteral("Talvex.ini"));

    // The file as the test leaves it.
    QByteArray before = head + udpKeys(receiver.port()) + tail;
    if (encoding != QStringConverter::Utf8)
        before =
            QStringEncoder(encoding, QStringConverter::Flag::WriteBom).encode(QString::fromLatin1(before));
    std::unique_ptr<ModeGuard> readOnly;
    if (mode >= 0 && !permissionsEnforced())
        QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    if (folder)
        QVERIFY(QDir().mkpath(iniPath));
    else
        writeIni(before);
    if (mode >= 0) {
        readOnly = std::make_unique<ModeGuard>(iniPath, mode_t(mode));
        QVERIFY(readOnly->applied());
    }

    TalvexFRM window;
    activate(window);
    initialise(window);
    QCOMPARE(window.instanceSlot(), 1);

    if (!readable) {
        // Nothing can be read: the defaults, the delay message, no source yet.
        QCOMPARE(window.TXT_delay1->text(), QStringLiteral("10"));
        QVERIFY(window.OPT_Fichier->isChecked());
        QCOMPARE(window.Combo_SRC1->currentText(), QStringLiteral("Votre Choix..."));
        QVERIFY(boxTexts().contains(
            QStringLiteral("La valeur du délai d'écriture doit être comprise entre 1 et 7200 secondes.")));
        // Choosing a source and writing a file still works.
        window.Combo_SRC1->setFocus(Qt::TabFocusReason);
        window.Combo_SRC1->setEditText(QStringLiteral("web"));
        window.TXT_delay1->setText(QStringLiteral("0.01"));
        play(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
        QCOMPARE(output(QStringLiteral("web")), QByteArray("a\r\nb\r\nc\r\n"));
    } else {
        // What the file holds is used, whatever surrounds it.
        QCOMPARE(window.TXT_delay1->text(), QStringLiteral("0.01"));
        QVERIFY(window.OPT_Syslog->isChecked());
        QCOMPARE(window.TXT_Port1->text(), QString::number(receiver.port()));
        QCOMPARE(window.Combo_SRC1->currentText(), QStringLiteral("web"));
        QVERIFY(!boxTexts().contains(
            QStringLiteral("La valeur du délai d'écriture doit être comprise entre 1 et 7200 secondes.")));
        play(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), 3, 5000);
        QCOMPARE(receiver.take(), (QList<QByteArray>{"a", "b", "c"}));

        // Changes apply in memory at once, whether or not the file takes them.
        QTest::mouseClick(window.PICT_UK, Qt::LeftButton);
        QCOMPARE(window.CMD_Quitter->text(), QStringLiteral("Exit"));
        window.TXT_delay1->setText(QStringLiteral("0.02"));
        play(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), 6, 5000);
        QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lines: 3"));
    }
    QVERIFY(!window.LBL_Err->isVisible());

    // A file that cannot be written is said once; a healthy one is never mentioned.
    QCOMPARE(boxTexts().count(settingsNotice()) +
                 boxTexts().count(QStringLiteral("The settings file Talvex.ini cannot be written: changed "
                                                 "settings will not be kept after Talvex closes.")),
             writable ? 0 : 1);

    QTest::mouseClick(window.CMD_Quitter, Qt::LeftButton);
    QVERIFY(!window.isVisible());

    // Nothing that was there is lost.
    if (folder) {
        QVERIFY(QFileInfo(iniPath).isDir());
        QVERIFY(QDir(iniPath).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
    } else if (!writable) {
        if (readOnly)
            readOnly->restore();
        QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")), before);
    } else {
        const QByteArray after = m_dir->read(QStringLiteral("Talvex.ini"));
        QVERIFY2(after.startsWith(kept), "the bytes before the slot's keys changed");
        QVERIFY(after.contains(alsoKept));
        QCOMPARE(after.count("[Source 1]"), 1);
        QCOMPARE(key("Delay"), QStringLiteral("0.02"));
        QCOMPARE(key("Memory"), QStringLiteral("0"));
        QCOMPARE(key("UDP_Port_Syslog"), QString::number(receiver.port()));
        QCOMPARE(key("SourceFile"), QStringLiteral("web"));
        QCOMPARE(Settings::read(QStringLiteral("Settings"), QStringLiteral("Language")), QStringLiteral("2"));
    }
}

void TestRobustness::nulInSourceName_data() {
    QTest::addColumn<bool>("viaPreview");
    QTest::newRow("preview") << true;
    QTest::newRow("play") << false;
}

void TestRobustness::nulInSourceName() {
    QFETCH(bool, viaPreview);
    // A name cut short at the NUL would be another file: "we" instead of "we<NUL>b.txt".
    writeSource(QStringLiteral("good"), "g\r\n");
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/we"), "not this one\r\n"));
    writeIni(QByteArray("[Source 1]\r\nDelay=0.01\r\nSourceFile=we\0b\r\n", 41));

    TalvexFRM window;
    activate(window);
    initialise(window);
    QCOMPARE(window.Combo_SRC1->currentText(), QStringLiteral("we") + QChar(0) + QStringLiteral("b"));
    MessageBox::clearShown();
    if (viaPreview) {
        preview(window);
        QCOMPARE(boxTexts(),
                 QStringList{QStringLiteral("Impossible de lire la source « Logs Source/we\\0b.txt "
                                            "».\nCe nom ne peut pas être celui d'un fichier.")});
    } else {
        play(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 5000);
        QCOMPARE(
            window.LBL_Err->text(),
            QStringLiteral("Err: 52 : Bad file name (it holds a NUL character): Logs Générés/we\\0b.txt"));
        QVERIFY(halted(window));
        stop(window);
    }
    QVERIFY(TalvexFRMTestAccess::echoText(window).isEmpty());
    // Neither file was read or written under the shortened name.
    QCOMPARE(m_dir->read(QStringLiteral("Logs Source/we")), QByteArray("not this one\r\n"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("Logs Générés/we"))));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("Logs Générés"))).isEmpty());

    window.Combo_SRC1->setEditText(QStringLiteral("good"));
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(output(QStringLiteral("good")), QByteArray("g\r\n"));
}

// ---- "Logs Source" ----------------------------------------------------------------------------

void TestRobustness::sourceFolder_data() {
    // The folder is there or not, holds x.txt as a file or as a folder, and is given `mode` for
    // the test (-1 for none); the source list then offers `listed` names.
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("sourceThere");
    QTest::addColumn<bool>("sourceIsFolder");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("listed");
    QTest::addColumn<QString>("previewReason");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing") << false << false << false << -1 << 0
                             << "Le dossier « Logs Source » n'existe pas."
                             << "Err: 76 : Path not found: Logs Source/x.txt";
    QTest::newRow("mode 000") << true << true << false << 0 << 0 << "L'accès à ce fichier est refusé."
                              << "Err: 70 : Permission denied: Logs Source/x.txt";
    QTest::newRow("a folder named x.txt")
        << true << false << true << -1 << 1 << "Ce n'est pas un fichier lisible."
        << "Err: 75 : Path/File access error (not a file): Logs Source/x.txt";
}

void TestRobustness::sourceFolder() {
    QFETCH(bool, present);
    QFETCH(bool, sourceThere);
    QFETCH(bool, sourceIsFolder);
    QFETCH(int, mode);
    QFETCH(int, listed);
    QFETCH(QString, previewReason);
    QFETCH(QString, error);
    if (mode >= 0 && !permissionsEnforced())
        QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    const QString folder = m_dir->filePath(QStringLiteral("Logs Source"));
    writeSource(QStringLiteral("other"), "o\r\n");
    if (!present)
        QVERIFY(QDir(folder).removeRecursively());
    if (sourceThere)
        writeSource(QStringLiteral("x"), "x1\r\n");
    if (sourceIsFolder)
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/x.txt")));
    std::unique_ptr<ModeGuard> locked;
    if (mode >= 0) {
        locked = std::make_unique<ModeGuard>(folder, mode_t(mode));
        QVERIFY(locked->applied());
    }
    writeIni("[Source 1]\r\nDelay=0.01\r\nSourceFile=x\r\n");

    TalvexFRM window;
    activate(window);
    initialise(window);
    QCOMPARE(window.instanceSlot(), 1);
    // Only real files are offered; a folder that cannot be listed offers none.
    QCOMPARE(window.Combo_SRC1->count(), listed);
    QVERIFY(window.Combo_SRC1->isEnabled());

    preview(window);
    QCOMPARE(boxTexts(), QStringList{QStringLiteral("Impossible de lire la source « Logs Source/x.txt ».\n") +
                                     previewReason});
    QVERIFY(TalvexFRMTestAccess::echoText(window).isEmpty());

    playToError(window, error);
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes :"));

    // Put right, the same window plays the source.
    if (locked)
        locked->restore();
    QVERIFY(QDir().mkpath(folder));
    if (sourceIsFolder)
        QVERIFY(QDir(folder + QStringLiteral("/x.txt")).removeRecursively());
    writeSource(QStringLiteral("x"), "x1\r\nx2\r\n");
    stop(window);
    MessageBox::clearShown();
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 2"));
    QVERIFY(boxTexts().contains(completion(QStringLiteral("x"))));
    QVERIFY(output(QStringLiteral("x")).endsWith("x1\r\nx2\r\n"));
}

// ---- one source file ----------------------------------------------------------------------------

void TestRobustness::sourceFile_data() {
    // The source holds `content` and is given `mode` for the test (-1 for none); it is read
    // through the preview or played.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("viaPreview");
    // Every byte value, line ends and NULs included, in a fixed shuffle.
    QByteArray binary;
    QRandomGenerator random(7);
    for (int round = 0; round < 8; ++round) {
        for (int b = 0; b < 256; ++b)
            binary += static_cast<char>(b);
    }
    for (qsizetype i = binary.size() - 1; i > 0; --i)
        std::swap(binary[i], binary[random.bounded(int(i + 1))]);
    const struct {
        const char* name;
        QByteArray content;
        int mode;
    } sources[] = {{"mode 000", "secret\r\n", 0}, {"binary", binary, -1}, {"empty", QByteArray(), -1}};
    for (const auto& source : sources) {
        QTest::addRow("%s, preview", source.name) << source.content << source.mode << true;
        QTest::addRow("%s, play", source.name) << source.content << source.mode << false;
    }
}

void TestRobustness::sourceFile() {
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(bool, viaPreview);
    if (mode >= 0 && !permissionsEnforced())
        QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    const QString path = m_dir->filePath(QStringLiteral("Logs Source/x.txt"));
    writeSource(QStringLiteral("x"), content);
    std::unique_ptr<ModeGuard> locked;
    if (mode >= 0) {
        locked = std::make_unique<ModeGuard>(path, mode_t(mode));
        QVERIFY(locked->applied());
    }
    writeIni(udpIni(receiver.port(), "127.0.0.1", "x"));

    TalvexFRM window;
    activate(window);
    initialise(window);
    MessageBox::clearShown();
    const QList<QByteArray> lines = sourceLines(content);

    if (viaPreview) {
        preview(window);
        if (locked) {
            QCOMPARE(boxTexts(),
                     QStringList{QStringLiteral("Impossible de lire la source « Logs "
                                                "Source/x.txt ».\nL'accès à ce fichier est refusé.")});
            QVERIFY(TalvexFRMTestAccess::echoText(window).isEmpty());
        } else if (lines.isEmpty()) {
            QVERIFY(MessageBox::shown().isEmpty());
            QVERIFY(TalvexFRMTestAccess::echoText(window).isEmpty());
            QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes :"));
        } else {
            QVERIFY(MessageBox::shown().isEmpty());
            QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lines : %1").arg(lines.size()));
            QCOMPARE(window.TXT_OutPut->lineCount(), int(lines.size()));
        }
    } else {
        play(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 20000);
        if (locked) {
            QCOMPARE(window.LBL_Err->text(),
                     QStringLiteral("Err: 70 : Permission denied: Logs Source/x.txt"));
            QVERIFY(window.LBL_Err->isVisible());
            QCOMPARE(window.LBL_Titre->text(), QStringLiteral("Erreur Inconnue"));
            QVERIFY(halted(window));
            QVERIFY(MessageBox::shown().isEmpty());
        } else {
            // Every line, byte for byte, then the completion message.
            QVERIFY(!window.LBL_Err->isVisible());
            QCOMPARE(boxTexts(), QStringList{completion(QStringLiteral("x"))});
            QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), lines.size(), 5000);
            QCOMPARE(receiver.take(), lines);
            QCOMPARE(window.LBL_LineCount->text(), lines.isEmpty()
                                                       ? QStringLiteral("Lignes :")
                                                       : QStringLiteral("Lignes: %1").arg(lines.size()));
        }
    }

    // The window goes on: a good source previews and plays.
    if (locked)
        locked->restore();
    if (halted(window))
        stop(window);
    writeSource(QStringLiteral("x"), "good 1\r\ngood 2\r\n");
    preview(window);
    QCOMPARE(TalvexFRMTestAccess::echoText(window), QStringLiteral("good 1\ngood 2\n"));
    receiver.take();
    const qsizetype already = receiver.take().size();
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), already + 2, 5000);
    QCOMPARE(receiver.take().mid(already), (QList<QByteArray>{"good 1", "good 2"}));
    QCOMPARE(m_dir->read(QStringLiteral("Logs Source/x.txt")), QByteArray("good 1\r\ngood 2\r\n"));
}

void TestRobustness::hugeSourceLine_data() {
    QTest::addColumn<bool>("viaPreview");
    QTest::addColumn<bool>("datagrams"); // the output: datagrams or a file
    QTest::addColumn<bool>("hugeLast");
    QTest::newRow("preview, then a short line") << true << false << false;
    QTest::newRow("preview, as the last line") << true << false << true;
    QTest::newRow("play to a file") << false << false << false;
    QTest::newRow("play as datagrams") << false << true << false;
}

void TestRobustness::hugeSourceLine() {
    QFETCH(bool, viaPreview);
    QFETCH(bool, datagrams);
    QFETCH(bool, hugeLast);
    constexpr qsizetype Size = 100 * 1024 * 1024;
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    {
        // Written in pieces, so the test itself never holds the whole line.
        QFile file(m_dir->filePath(QStringLiteral("Logs Source/huge.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray piece(1024 * 1024, 'h');
        for (qsizetype done = 0; done < Size; done += piece.size())
            QCOMPARE(file.write(piece), piece.size());
        if (!hugeLast)
            QVERIFY(file.write("\r\nafter\r\n") == 9);
    }
    writeSource(QStringLiteral("small"), "s1\r\ns2\r\n");
    QByteArray ini = datagrams ? udpIni(receiver.port(), "127.0.0.1", "huge")
                               : QByteArray("[Source 1]\r\nDelay=0.01\r\nSourceFile=huge\r\n");
    writeIni(ini);

    // The pane shows the beginning of the line, marked as cut; the output gets all of it.
    const QString shownHuge = QString(EchoPane::MaxLineBytes, QLatin1Char('h')) + QChar(0x2026);

    TalvexFRM window;
    activate(window);
    initialise(window);
    MessageBox::clearShown();

    if (viaPreview) {
        preview(window);
        QVERIFY(MessageBox::shown().isEmpty());
        // The huge line is shown; a line after it finds the pane over its cap and empties it.
        QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lines : 1"));
        if (hugeLast)
            QCOMPARE(TalvexFRMTestAccess::echoText(window), shownHuge + QLatin1Char('\n'));
        else
            QVERIFY(TalvexFRMTestAccess::echoText(window).isEmpty());
    } else {
        play(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 120000);
        QVERIFY(TalvexFRMTestAccess::echoText(window).startsWith(shownHuge + QLatin1Char('\n')));
        if (!datagrams) {
            QVERIFY(!window.LBL_Err->isVisible());
            QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 2"));
            QCOMPARE(QFileInfo(m_dir->filePath(QStringLiteral("Logs Générés/huge.txt"))).size(), Size + 9);
            QFile out(m_dir->filePath(QStringLiteral("Logs Générés/huge.txt")));
            QVERIFY(out.open(QIODevice::ReadOnly));
            QVERIFY(out.seek(Size - 4));
            QCOMPARE(out.readAll(), QByteArray("hhhh\r\nafter\r\n"));
            QVERIFY(boxTexts().contains(completion(QStringLiteral("huge"))));
        } else {
            QCOMPARE(
                window.LBL_Err->text(),
                QStringLiteral("Err: 10040 : Datagram too long: a line of %1 bytes, at most 65507 fit in "
                               "one datagram")
                    .arg(Size));
            QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 1"));
            QVERIFY(halted(window));
            QTest::qWait(50);
            QVERIFY(receiver.take().isEmpty());
            stop(window);
        }
    }

    // Afterwards a small source plays as usual.
    if (window.Combo_SRC1->isEnabled() == false)
        initialise(window);
    window.Combo_SRC1->setEditText(QStringLiteral("small"));
    MessageBox::queueAnswer(MessageBox::Answer::No);
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 2"));
    QVERIFY(boxTexts().contains(completion(QStringLiteral("small"))));
    QCOMPARE(TalvexFRMTestAccess::echoText(window), QStringLiteral("s1\ns2\n"));
}

// ---- "Logs Générés" ---------------------------------------------------------------------------

void TestRobustness::outputFolder_data() {
    // The folder is there or not, and is given `mode` for the test (-1 for none).
    QTest::addColumn<bool>("present");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing") << false << -1 << "Err: 76 : Path not found: Logs Générés/x.txt";
    QTest::newRow("read-only") << true << 0555 << "Err: 70 : Permission denied: Logs Générés/x.txt";
}

void TestRobustness::outputFolder() {
    QFETCH(bool, present);
    QFETCH(int, mode);
    QFETCH(QString, error);
    if (mode >= 0 && !permissionsEnforced())
        QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    const QString folder = m_dir->filePath(QStringLiteral("Logs Générés"));
    if (!present)
        QVERIFY(QDir(folder).removeRecursively());
    std::unique_ptr<ModeGuard> readOnly;
    if (mode >= 0) {
        readOnly = std::make_unique<ModeGuard>(folder, mode_t(mode));
        QVERIFY(readOnly->applied());
    }
    writeSource(QStringLiteral("x"), "x1\r\nx2\r\n");
    writeIni("[Source 1]\r\nDelay=0.01\r\nSourceFile=x\r\n");

    TalvexFRM window;
    activate(window);
    initialise(window);
    MessageBox::clearShown();
    playToError(window, error);
    // Ended before any line: nothing counted, nothing echoed, nothing created.
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes :"));
    QVERIFY(TalvexFRMTestAccess::echoText(window).isEmpty());
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/x.txt")));
    QVERIFY(MessageBox::shown().isEmpty());

    if (readOnly)
        readOnly->restore();
    QVERIFY(QDir().mkpath(folder));
    stop(window);
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(output(QStringLiteral("x")), QByteArray("x1\r\nx2\r\n"));
    QCOMPARE(boxTexts(), QStringList{completion(QStringLiteral("x"))});
}

void TestRobustness::settingsNoticeOnlyForALostChange() {
    if (!permissionsEnforced())
        QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    const QString iniPath = m_dir->filePath(QStringLiteral("Talvex.ini"));
    writeIni("[Settings]\r\nLanguage=2\r\n");
    auto readOnly = std::make_unique<ModeGuard>(iniPath, 0444);
    QVERIFY(readOnly->applied());

    // The English start writes the "2" that is already there: nothing is lost, nothing is said.
    TalvexFRM window;
    activate(window);
    QCOMPARE(window.CMD_Quitter->text(), QStringLiteral("Exit"));
    QCoreApplication::processEvents();
    QCOMPARE(MessageBox::shown().size(), 0);

    readOnly->restore(); // a slot and a stored delay first, so that only the changes below are at stake
    initialise(window);
    QCOMPARE(key("Delay"), QStringLiteral("10"));
    readOnly = std::make_unique<ModeGuard>(iniPath, 0444);
    QVERIFY(readOnly->applied());
    MessageBox::clearShown();

    window.TXT_delay1->setText(QStringLiteral("25"));
    QTRY_COMPARE(MessageBox::shown().size(), 1);
    const MessageBox::Record notice = MessageBox::shown().constFirst();
    QCOMPARE(notice.icon, MessageBox::Icon::Warning);
    QCOMPARE(notice.title, QStringLiteral("Warning"));
    QCOMPARE(notice.text, QStringLiteral("The settings file Talvex.ini cannot be written: changed settings "
                                         "will not be kept after Talvex closes."));
    window.TXT_delay1->setText(QStringLiteral("30"));
    QCoreApplication::processEvents();
    QCOMPARE(MessageBox::shown().size(), 1); // once per copy
    QCOMPARE(window.TXT_delay1->text(), QStringLiteral("30"));
    QCOMPARE(key("Delay"), QStringLiteral("10"));
}

void TestRobustness::readOnlyOutputFile_data() {
    QTest::addColumn<bool>("add");
    QTest::newRow("answer No") << false;
    QTest::newRow("answer Yes") << true;
}

void TestRobustness::readOnlyOutputFile() {
    QFETCH(bool, add);
    if (!permissionsEnforced())
        QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    const QByteArray old = "old 1\r\nold 2\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Générés/x.txt"), old));
    ModeGuard readOnly(m_dir->filePath(QStringLiteral("Logs Générés/x.txt")), 0444);
    QVERIFY(readOnly.applied());
    writeSource(QStringLiteral("x"), "new\r\n");
    writeIni("[Source 1]\r\nDelay=0.01\r\nSourceFile=x\r\n");

    TalvexFRM window;
    activate(window);
    initialise(window);
    MessageBox::clearShown();
    MessageBox::queueAnswer(add ? MessageBox::Answer::Yes : MessageBox::Answer::No);
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 5000);
    // The question came first, then the refusal, and the file is as it was.
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(MessageBox::shown().first().text,
             QStringLiteral("Le fichier x.txt existe.\r\n\r\nVoulez vous ajouter des logs (Oui). Si Non, un "
                            "nouveau fichier sera crée."));
    QCOMPARE(window.LBL_Err->text(), QStringLiteral("Err: 70 : Permission denied: Logs Générés/x.txt"));
    QVERIFY(window.LBL_Err->isVisible());
    QCOMPARE(window.LBL_Titre->text(), QStringLiteral("Erreur Inconnue"));
    QVERIFY(halted(window));
    QCOMPARE(output(QStringLiteral("x")), old);

    readOnly.restore();
    stop(window);
    MessageBox::queueAnswer(MessageBox::Answer::Yes);
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(output(QStringLiteral("x")), old + "new\r\n");
}

// ---- destination ----------------------------------------------------------------------------------

void TestRobustness::unusableHost_data() {
    QTest::addColumn<QString>("host");
    // Only texts that begin with a positive number reach the socket; none of these is an address,
    // and the names lie under .invalid, which never resolves.
    QTest::newRow("256.1.1.1") << "256.1.1.1";
    QTest::newRow("five parts") << "1.2.3.4.5";
    QTest::newRow("part above 255") << "127.0.0.256";
    QTest::newRow("empty part") << "127..1";
    QTest::newRow("name") << "1host.invalid";
    QTest::newRow("longer name") << "10-relay.example.invalid";
    QTest::newRow("name with a final dot") << "1host.INVALID.";
}

void TestRobustness::unusableHost() {
    QFETCH(QString, host);
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    writeSource(QStringLiteral("web"), "a\r\nb\r\n");
    writeIni(udpIni(receiver.port(), host.toUtf8()));

    TalvexFRM window;
    activate(window);
    QElapsedTimer clock;
    clock.start();
    initialise(window);
    // A sanity bound only: a name under .invalid is never looked up.
    QVERIFY2(clock.elapsed() < 30000, "the initialisation hung on the host name");
    QCOMPARE(window.TXT_HoteIP1->text(), host);
    MessageBox::clearShown();

    playToError(
        window,
        QStringLiteral("Err: 10049 : Destination unusable: \"%1\" is not an address and does not resolve")
            .arg(host));
    // The line was counted and echoed before its send failed; nothing went out.
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 1"));
    QCOMPARE(TalvexFRMTestAccess::echoText(window), QStringLiteral("a\n"));
    QTest::qWait(50);
    QVERIFY(receiver.take().isEmpty());
    QVERIFY(MessageBox::shown().isEmpty());

    // Stop, a usable host and a new initialisation: the same window sends.
    stop(window);
    window.TXT_HoteIP1->setText(QStringLiteral("127.0.0.1"));
    QCOMPARE(key("HostIP"), QStringLiteral("127.0.0.1"));
    initialise(window);
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), 2, 5000);
    QCOMPARE(receiver.take(), (QList<QByteArray>{"a", "b"}));
}

void TestRobustness::nobodyListening_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("127.0.0.2, no receiver") << QByteArray("127.0.0.2") << 0;
    QTest::newRow("port 1") << QByteArray("127.0.0.1") << 1;
}

void TestRobustness::nobodyListening() {
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    if (port == 0) {
        // A port that was free a moment ago, and that the initialisation keeps: nothing listens
        // there now.
        QUdpSocket probe;
        for (int p = 20000 + int(QCoreApplication::applicationPid() % 5000); p <= 32000 && port == 0;
             p += 11) {
            if (probe.bind(QHostAddress(QStringLiteral("127.0.0.2")), quint16(p)))
                port = p;
        }
        QVERIFY(port != 0);
    }
    QByteArray source;
    for (int i = 1; i <= 20; ++i)
        source += "line " + QByteArray::number(i) + "\r\n";
    writeSource(QStringLiteral("web"), source);
    writeIni(udpIni(quint16(port), host));

    TalvexFRM window;
    activate(window);
    initialise(window);
    QCOMPARE(window.TXT_Port1->text(), QString::number(port));
    QVERIFY(
        !boxTexts().contains(QStringLiteral("La valeur du port UDP doit être comprise entre 1 et 65534.")));
    MessageBox::clearShown();
    // The refusals that come back do not stop the run: every line is counted and sent.
    for (int pass = 0; pass < 2; ++pass) {
        play(window);
        QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
        QVERIFY2(!window.LBL_Err->isVisible(), qPrintable(window.LBL_Err->text()));
        QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 20"));
        QCOMPARE(boxTexts().count(completion(QStringLiteral("web"))), pass + 1);
    }
}

void TestRobustness::highestPort() {
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    writeSource(QStringLiteral("web"), "a\r\nb\r\n");
    writeIni(udpIni(receiver.port()));
    TalvexFRM window;
    activate(window);
    initialise(window);
    MessageBox::clearShown();

    // The field takes 65534 without a word and stores it...
    window.TXT_Port1->setText(QStringLiteral("65534"));
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(key("UDP_Port_Syslog"), QStringLiteral("65534"));
    // ... and the window's socket sends to it without failure.
    QUdpSocket top;
    const bool listening = top.bind(QHostAddress::LocalHost, 65534);
    window.Winsock1->setRemotePort(65534);
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QVERIFY2(!window.LBL_Err->isVisible(), qPrintable(window.LBL_Err->text()));
    QCOMPARE(window.LBL_LineCount->text(), QStringLiteral("Lignes: 2"));
    if (listening) {
        QTRY_VERIFY_WITH_TIMEOUT(top.hasPendingDatagrams(), 5000);
        QCOMPARE(top.receiveDatagram().data(), QByteArray("a"));
    }
    // The next initialisation takes back stored ports above 32000 only as 514.
    initialise(window);
    QCOMPARE(window.TXT_Port1->text(), QStringLiteral("514"));
    QCOMPARE(key("UDP_Port_Syslog"), QStringLiteral("514"));
    QCOMPARE(window.Winsock1->remotePort(), 514);
}

void TestRobustness::datagramSize_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("english");
    QTest::newRow("65507 bytes") << 65507 << false;
    QTest::newRow("65508 bytes") << 65508 << false;
    QTest::newRow("65508 bytes, in English") << 65508 << true;
}

void TestRobustness::datagramSize() {
    QFETCH(int, size);
    QFETCH(bool, english);
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    QByteArray line(size, 'x');
    for (int i = 0; i < size; i += 97)
        line[i] = static_cast<char>('a' + (i / 97) % 26);
    writeSource(QStringLiteral("web"), line + "\r\nafter\r\n");
    writeIni(udpIni(receiver.port()));

    TalvexFRM window;
    activate(window);
    initialise(window);
    if (english)
        QTest::mouseClick(window.PICT_UK, Qt::LeftButton);
    MessageBox::clearShown();
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);

    if (size <= 65507) {
        QVERIFY(!window.LBL_Err->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), 2, 5000);
        QCOMPARE(receiver.take().first().size(), size);
        QCOMPARE(receiver.take(), (QList<QByteArray>{line, "after"}));
        QCOMPARE(boxTexts(), QStringList{completion(QStringLiteral("web"))});
        return;
    }
    QVERIFY(window.LBL_Err->isVisible());
    QCOMPARE(window.LBL_Err->text(),
             QStringLiteral(
                 "Err: 10040 : Datagram too long: a line of %1 bytes, at most 65507 fit in one datagram")
                 .arg(size));
    QCOMPARE(window.LBL_Titre->text(),
             english ? QStringLiteral("Unknown Error") : QStringLiteral("Erreur Inconnue"));
    QCOMPARE(window.LBL_LineCount->text(),
             english ? QStringLiteral("Lines: 1") : QStringLiteral("Lignes: 1"));
    QVERIFY(halted(window));
    QVERIFY(MessageBox::shown().isEmpty());
    QTest::qWait(50);
    QVERIFY(receiver.take().isEmpty());

    // Stop gives idle, and the next run of shorter lines goes out whole.
    stop(window);
    QVERIFY(!window.run()->isRunning());
    writeSource(QStringLiteral("web"), line.left(65507) + "\r\nafter\r\n");
    play(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QVERIFY(window.LBL_Err->isVisible()); // the last failure stays on show
    QTRY_COMPARE_WITH_TIMEOUT(receiver.take().size(), 2, 5000);
    QCOMPARE(receiver.take(), (QList<QByteArray>{line.left(65507), "after"}));
}

QTEST_MAIN(TestRobustness)
#include "tst_robustness.moc"
