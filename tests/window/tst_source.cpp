// SPDX-License-Identifier: GPL-3.0-or-later
#include "Permissions.h"
#include "TalvexFRMTestAccess.h"
#include "WindowTestKit.h"
#include "settings/Settings.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace WindowTestKit;

// Choosing the source in Combo_SRC1 and previewing it.
namespace {
// Puts the cause of a preview failure in place in the source folder; false when it could not.
using PreviewFailureCause = bool (*)(const QString& sourceFolder);

bool nothingMore(const QString&) {
    return true;
}
bool folderNamedAsASource(const QString& sourceFolder) {
    return QDir().mkpath(sourceFolder + QStringLiteral("/dir.txt"));
}
bool noSourceFolder(const QString& sourceFolder) {
    return QDir(sourceFolder).removeRecursively();
}
bool unreadableSource(const QString& sourceFolder) {
    return ::chmod(QFile::encodeName(sourceFolder + QStringLiteral("/alpha.txt")).constData(), 0) == 0;
}
} // namespace

Q_DECLARE_METATYPE(PreviewFailureCause)

class TestSource : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void gettingTheFocusUnlocks();
    void pickingFromTheList();
    void typingAndLeaving();
    void typedNameIsKeptAsTyped_data();
    void typedNameIsKeptAsTyped();
    void leavingOnThePlaceholder();
    void openingTheListIsNotLeaving();
    void pickingWithTheMouse();
    void switchingWindowsIsNotLeaving();
    void preview_data();
    void preview();
    void previewOfAnEmptyFile();
    void previewAtTheCap_data();
    void previewAtTheCap();
    void previewOfALargeFile();
    void previewCapCountsCharacters_data();
    void previewCapCountsCharacters();
    void previewDecodesEachLine();
    void previewTwice();
    void previewFailure_data();
    void previewFailure();

private:
    void initialise(const QByteArray& sourceFile);
    void runPreview(const QString& name);
    QStringList paneBlocks() const;
    // What showing each line in turn gives: the pane's lines and the count of the last one shown.
    static QPair<QList<QByteArray>, qint64> reference(const QByteArray& file);

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<TalvexFRM> m_window;
};

void TestSource::initTestCase() {
    MessageBox::setScripted(true);
}

void TestSource::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Logs Source")));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/alpha.txt"), "a1\r\na2\r\n"));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/beta.txt"), "b1\r\n"));
    MessageBox::clearShown();
}

void TestSource::cleanup() {
    m_window.reset();
    m_dir.reset();
}

void TestSource::initialise(const QByteArray& sourceFile) {
    QByteArray ini = "[Source 1]\r\nDelay=10\r\n";
    if (!sourceFile.isEmpty())
        ini += "SourceFile=" + sourceFile + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), ini));
    m_window = std::make_unique<TalvexFRM>();
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->CMD_SRC1->click();
    QCOMPARE(m_window->instanceSlot(), 1);
    MessageBox::clearShown();
}

void TestSource::runPreview(const QString& name) {
    m_window->Combo_SRC1->setEditText(name);
    QVERIFY(m_window->CMD_LectureSRC1->isEnabled());
    QTest::mouseClick(m_window->CMD_LectureSRC1, Qt::LeftButton);
    QVERIFY(!QGuiApplication::overrideCursor());
}

QStringList TestSource::paneBlocks() const {
    QStringList blocks;
    for (int line = 0; line < m_window->TXT_OutPut->lineCount(); ++line)
        blocks << m_window->TXT_OutPut->lineText(line);
    if (blocks.isEmpty())
        blocks << QString(); // an empty pane reads as one empty block
    // Each line followed by its line end, as the pane's text reads.
    if (!TalvexFRMTestAccess::echoText(*m_window).isEmpty())
        blocks << QString();
    return blocks;
}

QPair<QList<QByteArray>, qint64> TestSource::reference(const QByteArray& file) {
    const QList<QByteArray> lines = WindowTestKit::sourceLines(file);

    qint64 pane = 0; // characters: the sources of these tests are valid UTF-8
    QList<QByteArray> shown;
    qint64 counter = 0;
    qint64 label = 0;
    for (const QByteArray& line : lines) {
        ++counter;
        if (pane > 61800) {
            pane = 0;
            shown.clear();
            continue;
        }
        label = counter;
        pane += QString::fromUtf8(line).size() + 2;
        shown << line;
    }
    return {shown, label};
}

void TestSource::gettingTheFocusUnlocks() {
    initialise(QByteArray());
    TalvexFRM& w = *m_window;
    QVERIFY(!w.MMControl1->isPlayEnabled());
    w.Combo_SRC1->setFocus(Qt::TabFocusReason);
    QVERIFY(w.MMControl1->isPlayEnabled());
    for (QWidget* c : QList<QWidget*>{w.OPT_Sequentiel, w.OPT_Aleatoire, w.OPT_Fichier, w.OPT_Syslog,
                                      w.CHK_Boucle, w.CMD_LectureSRC1, w.CMD_Plus, w.CMD_Moins, w.TXT_delay1})
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
    // The destination follows the output option, not the source box.
    QVERIFY(!w.TXT_Port1->isEnabled());
    QCOMPARE(w.CMD_SRC1->text(), QStringLiteral("Votre Choix..."));
    QVERIFY(!w.CMD_SRC1->font().bold());
    QVERIFY(key("SourceFile").isEmpty());
}

void TestSource::pickingFromTheList() {
    initialise(QByteArray());
    TalvexFRM& w = *m_window;
    w.Combo_SRC1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Combo_SRC1, Qt::Key_Down);
    QCOMPARE(w.Combo_SRC1->currentText(), QStringLiteral("alpha"));
    QCOMPARE(w.CMD_SRC1->text(), QStringLiteral("alpha"));
    QCOMPARE(w.windowTitle(), QStringLiteral("alpha"));
    QCOMPARE(key("SourceFile"), QStringLiteral("alpha"));
    QTest::keyClick(w.Combo_SRC1, Qt::Key_Down);
    QCOMPARE(w.windowTitle(), QStringLiteral("beta"));
    QCOMPARE(key("SourceFile"), QStringLiteral("beta"));
}

void TestSource::typingAndLeaving() {
    initialise(QByteArray());
    TalvexFRM& w = *m_window;
    const QString title = w.windowTitle();
    w.Combo_SRC1->setFocus(Qt::TabFocusReason);
    w.Combo_SRC1->lineEdit()->selectAll();
    QTest::keyClicks(w.Combo_SRC1, QStringLiteral("mine"));
    QCOMPARE(w.Combo_SRC1->currentText(), QStringLiteral("mine"));
    // Typing runs nothing until the box is left.
    QVERIFY(key("SourceFile").isEmpty());
    w.TXT_OutPut->setFocus(Qt::TabFocusReason);
    QCOMPARE(key("SourceFile"), QStringLiteral("mine"));
    QCOMPARE(w.CMD_SRC1->text(), QStringLiteral("mine"));
    QVERIFY(w.CMD_SRC1->font().bold());
    QCOMPARE(w.windowTitle(), title);
    QCOMPARE(w.Combo_SRC1->count(), 2); // a typed name does not join the list
}

void TestSource::typedNameIsKeptAsTyped_data() {
    // The list holds alpha and beta. Neither completion nor leaving the box turns a typed name
    // into an entry, and only a pick from the list retitles the window.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");
    QTest::newRow("a") << "a" << false;
    QTest::newRow("al") << "al" << false;
    QTest::newRow("be") << "be" << false;
    QTest::newRow("alpha") << "alpha" << false;
    QTest::newRow("ALPHA") << "ALPHA" << false;
    QTest::newRow("alpha, Enter") << "alpha" << true;
    QTest::newRow("Be, Enter") << "Be" << true;
}

void TestSource::typedNameIsKeptAsTyped() {
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    initialise(QByteArray());
    TalvexFRM& w = *m_window;
    const QString title = w.windowTitle();
    w.Combo_SRC1->setFocus(Qt::TabFocusReason);
    w.Combo_SRC1->lineEdit()->selectAll();
    QTest::keyClicks(w.Combo_SRC1, typed);
    if (enter)
        QTest::keyClick(w.Combo_SRC1, Qt::Key_Return);
    QCOMPARE(w.Combo_SRC1->currentText(), typed);
    w.TXT_OutPut->setFocus(Qt::TabFocusReason);
    QCOMPARE(w.Combo_SRC1->currentText(), typed);
    QVERIFY(m_dir->read(QStringLiteral("Talvex.ini")).contains("\r\nSourceFile=" + typed.toUtf8() + "\r\n"));
    QCOMPARE(w.CMD_SRC1->text(), typed);
    QCOMPARE(w.windowTitle(), title);
}

void TestSource::leavingOnThePlaceholder() {
    initialise(QByteArray());
    m_window->Combo_SRC1->setFocus(Qt::TabFocusReason);
    m_window->TXT_OutPut->setFocus(Qt::TabFocusReason);
    QCOMPARE(key("SourceFile"), QStringLiteral("Votre Choix..."));
    QVERIFY(m_window->CMD_SRC1->font().bold());
}

void TestSource::openingTheListIsNotLeaving() {
    initialise(QByteArray());
    TalvexFRM& w = *m_window;
    w.Combo_SRC1->setFocus(Qt::TabFocusReason);
    w.Combo_SRC1->showPopup();
    QTest::qWait(50);
    w.Combo_SRC1->hidePopup();
    QTest::qWait(50);
    QVERIFY(key("SourceFile").isEmpty());
    QVERIFY(!w.CMD_SRC1->font().bold());
}

void TestSource::pickingWithTheMouse() {
    initialise(QByteArray());
    TalvexFRM& w = *m_window;
    w.TXT_OutPut->setFocus(Qt::TabFocusReason);
    QVERIFY(!w.MMControl1->isPlayEnabled());
    // The press that opens the list gives the box the focus first.
    QTest::mouseClick(w.Combo_SRC1, Qt::LeftButton, {},
                      QPoint(w.Combo_SRC1->width() - 4, w.Combo_SRC1->height() / 2));
    QVERIFY(w.MMControl1->isPlayEnabled());
    QAbstractItemView* list = w.Combo_SRC1->view();
    QTRY_VERIFY(list->isVisible());
    // A release right after the list opened belongs to the press that opened it.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    const QRect item = list->visualRect(w.Combo_SRC1->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(w.windowTitle(), QStringLiteral("beta"));
    QCOMPARE(w.CMD_SRC1->text(), QStringLiteral("beta"));
    QCOMPARE(key("SourceFile"), QStringLiteral("beta"));
    QVERIFY(!w.CMD_SRC1->font().bold());
    w.TXT_OutPut->setFocus(Qt::TabFocusReason);
    QVERIFY(w.CMD_SRC1->font().bold());
}

void TestSource::switchingWindowsIsNotLeaving() {
    initialise(QByteArray());
    m_window->Combo_SRC1->setFocus(Qt::TabFocusReason);
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(key("SourceFile").isEmpty());
    QVERIFY(!m_window->CMD_SRC1->font().bold());
}

void TestSource::preview_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("blocks");
    QTest::addColumn<QString>("label");
    const QStringList abc = {"a", "b", "c", ""};
    QTest::newRow("CR") << QByteArray("a\rb\rc\r") << abc << "Lines : 3";
    QTest::newRow("CRLF") << QByteArray("a\r\nb\r\nc\r\n") << abc << "Lines : 3";
    QTest::newRow("no final end") << QByteArray("a\r\nb\r\nc") << abc << "Lines : 3";
    QTest::newRow("LF only") << QByteArray("a\nb\nc\n")
                             << QStringList{QStringLiteral("a\u2028b\u2028c\u2028"), ""} << "Lines : 1";
    QTest::newRow("blank lines") << QByteArray("\r\n\r\nx\r\n") << QStringList{"", "", "x", ""}
                                 << "Lines : 3";
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9\r\n") << QStringList{QStringLiteral("caf\u00e9"), ""}
                           << "Lines : 1";
}

void TestSource::preview() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, blocks);
    QFETCH(QString, label);
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), content));
    initialise("web");
    const QByteArray ini = m_dir->read(QStringLiteral("Talvex.ini"));
    m_window->TXT_OutPut->setPlainText(QStringLiteral("left over"));
    runPreview(QStringLiteral("web"));
    QCOMPARE(paneBlocks(), blocks);
    QCOMPARE(m_window->LBL_LineCount->text(), label);
    QVERIFY(MessageBox::shown().isEmpty());
    // The preview stores nothing.
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")), ini);
}

void TestSource::previewOfAnEmptyFile() {
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), QByteArray()));
    initialise("web");
    m_window->LBL_LineCount->setText(QStringLiteral("Lines : 42"));
    m_window->TXT_OutPut->setPlainText(QStringLiteral("left over"));
    runPreview(QStringLiteral("web"));
    QVERIFY(m_window->TXT_OutPut->toPlainText().isEmpty());
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lines : 42"));
}

void TestSource::previewAtTheCap_data() {
    // Lines of 98 characters take 100 with their CR LF: after 618 of them the pane holds exactly
    // 61800, which is not more than the cap, so line 619 is still shown; line 620 finds 61900,
    // empties the pane and is not shown; line 621 starts the pane again.
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("firstShown");
    QTest::addColumn<int>("label");
    QTest::newRow("619 lines") << 619 << 1 << 619;
    QTest::newRow("620 lines") << 620 << 0 << 619;
    QTest::newRow("621 lines") << 621 << 621 << 621;
}

void TestSource::previewAtTheCap() {
    QFETCH(int, lines);
    QFETCH(int, firstShown);
    QFETCH(int, label);
    QByteArray file;
    for (int i = 1; i <= lines; ++i)
        file += QByteArray::number(i).rightJustified(98, '.') + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), file));
    initialise("web");
    runPreview(QStringLiteral("web"));
    QStringList expected;
    if (firstShown > 0) {
        for (int i = firstShown; i <= lines; ++i)
            expected << QString::fromLatin1(QByteArray::number(i).rightJustified(98, '.'));
    }
    expected << QString();
    QCOMPARE(paneBlocks(), expected);
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lines : %1").arg(label));
}

void TestSource::previewOfALargeFile() {
    // Lines of varied length, ends and content, some far longer than the rest.
    QRandomGenerator random(20261207);
    QByteArray file;
    for (int i = 0; i < 30000; ++i) {
        const int kind = random.bounded(100);
        const int length = kind < 2 ? random.bounded(2000, 9000) : random.bounded(0, 120);
        QByteArray line;
        for (int k = 0; k < length; ++k)
            line += char('a' + random.bounded(26));
        if (kind >= 2 && kind < 5)
            line += "\nstill the same line";
        if (kind >= 5 && kind < 7)
            line += "\xc3\xa9t\xc3\xa9";
        file += line;
        file += random.bounded(2) ? "\r\n" : "\r";
    }
    file += "last line without an end";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), file));
    const auto [shown, label] = reference(file);
    QVERIFY(label > 29000); // the pane was emptied many times on the way

    initialise("web");
    runPreview(QStringLiteral("web"));
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lines : %1").arg(label));
    QStringList expected;
    for (const QByteArray& line : shown)
        expected << QString::fromUtf8(line).replace(QLatin1Char('\n'), QChar::LineSeparator);
    expected << QString();
    const QStringList blocks = paneBlocks();
    QCOMPARE(blocks.size(), expected.size());
    QCOMPARE(blocks, expected);
}

void TestSource::previewCapCountsCharacters_data() {
    // 1000 lines of a number and accented letters. At 59 characters (113 bytes) they take 61
    // characters with their CR LF: 999 of them hold 60939, under the cap, so all are shown,
    // though their bytes pass it at line 539. At 70 characters they take 72: 859 lines hold 61848,
    // so line 860 empties the pane and lines 861 to 1000 are shown.
    QTest::addColumn<int>("characters");
    QTest::addColumn<int>("firstShown");
    QTest::newRow("fits in characters, not in bytes") << 59 << 1;
    QTest::newRow("overflows in characters") << 70 << 861;
}

void TestSource::previewCapCountsCharacters() {
    QFETCH(int, characters);
    QFETCH(int, firstShown);
    const auto lineOf = [characters](int i) {
        return QString::number(i).rightJustified(4, QLatin1Char('0')) + QLatin1Char(' ') +
               QString(characters - 5, QChar(0xe9));
    };
    QByteArray file;
    for (int i = 1; i <= 1000; ++i)
        file += lineOf(i).toUtf8() + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), file));
    initialise("web");
    runPreview(QStringLiteral("web"));
    QStringList expected;
    for (int i = firstShown; i <= 1000; ++i)
        expected << lineOf(i);
    expected << QString();
    QCOMPARE(paneBlocks(), expected);
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lines : 1000"));
}

void TestSource::previewDecodesEachLine() {
    // Each line is read on its own: valid UTF-8 as such, anything else as Windows-1252.
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"),
                         "caf\xc3\xa9 utf-8\r\ncaf\xe9 \x80 \x93latin\x94\r\n\xc3\xa9t\xe9\r\n"));
    initialise("web");
    runPreview(QStringLiteral("web"));
    QCOMPARE(paneBlocks(), (QStringList{QStringLiteral("caf\u00e9 utf-8"),
                                        QStringLiteral("caf\u00e9 \u20ac \u201clatin\u201d"),
                                        QStringLiteral("\u00c3\u00a9t\u00e9"), QString()}));
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lines : 3"));
}

void TestSource::previewTwice() {
    QByteArray file;
    for (int i = 0; i < 5000; ++i)
        file += QByteArray(i % 50, 'x') + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), file));
    initialise("web");
    runPreview(QStringLiteral("web"));
    const QString label = m_window->LBL_LineCount->text();
    const QString pane = m_window->TXT_OutPut->toPlainText();
    QVERIFY(!pane.isEmpty());
    runPreview(QStringLiteral("web"));
    QCOMPARE(m_window->LBL_LineCount->text(), label);
    QCOMPARE(m_window->TXT_OutPut->toPlainText(), pane);
}

void TestSource::previewFailure_data() {
    // `cause` puts the failure in place in "Logs Source"; `needsPermissionBits` when it relies on
    // them being enforced.
    QTest::addColumn<QString>("name");
    QTest::addColumn<PreviewFailureCause>("cause");
    QTest::addColumn<bool>("needsPermissionBits");
    QTest::newRow("missing file") << "gone" << PreviewFailureCause(nothingMore) << false;
    QTest::newRow("empty name") << "" << PreviewFailureCause(nothingMore) << false;
    QTest::newRow("placeholder") << "Votre Choix..." << PreviewFailureCause(nothingMore) << false;
    QTest::newRow("a folder") << "dir" << PreviewFailureCause(folderNamedAsASource) << false;
    QTest::newRow("missing folder") << "alpha" << PreviewFailureCause(noSourceFolder) << false;
    QTest::newRow("no read permission") << "alpha" << PreviewFailureCause(unreadableSource) << true;
}

void TestSource::previewFailure() {
    QFETCH(QString, name);
    QFETCH(PreviewFailureCause, cause);
    QFETCH(bool, needsPermissionBits);
    if (needsPermissionBits && !permissionsEnforced())
        QSKIP("permission bits are not enforced for this user (run without CAP_DAC_OVERRIDE)");
    initialise("alpha");
    const QString folder = m_dir->filePath(QStringLiteral("Logs Source"));
    QVERIFY(cause(folder));
    m_window->LBL_LineCount->setText(QStringLiteral("Lines : 7"));
    m_window->TXT_OutPut->setPlainText(QStringLiteral("left over"));
    runPreview(name);

    QCOMPARE(MessageBox::shown().size(), 1);
    const MessageBox::Record box = MessageBox::shown().at(0);
    QCOMPARE(box.icon, MessageBox::Icon::Information);
    QCOMPARE(box.title, QStringLiteral("Information"));
    QVERIFY2(box.text.contains(QStringLiteral("Logs Source/") + name + QStringLiteral(".txt")),
             qPrintable(box.text));
    QVERIFY(m_window->TXT_OutPut->toPlainText().isEmpty());
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lines : 7"));

    // The window goes on: a readable source previews as usual.
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/ok.txt"), "one\r\ntwo\r\n"));
    MessageBox::clearShown();
    runPreview(QStringLiteral("ok"));
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lines : 2"));
}

QTEST_MAIN(TestSource)
#include "tst_source.moc"
