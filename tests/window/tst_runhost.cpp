// SPDX-License-Identifier: GPL-3.0-or-later
#include "TalvexFRMTestAccess.h"
#include "TestWorkDir.h"
#include "window/EchoPane.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <memory>

// One call the run makes on its window.
using RunHostCall = void (*)(RunHost*);
Q_DECLARE_METATYPE(RunHostCall)

// The window as the generation run sees it, through RunHost only.
class TestRunHost : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void echoDecodes_data();
    void echoDecodes();
    void echoOneBlockPerLine();
    void echoAppendsWithoutRewriting();
    void echoBatchesFastLines();
    void echoFrameGoesWithALine();
    void echoFlushedWhenTheRunPausesOrEnds_data();
    void echoFlushedWhenTheRunPausesOrEnds();
    void echoKeepsTheMostRecentLines();
    void clearEcho();
    void echoWaitsWhileMinimised();
    void echoPaintsWhatAFullRepaintPaints_data();
    void echoPaintsWhatAFullRepaintPaints();
    void runButtons_data();
    void runButtons();
    void controlsEnabled_data();
    void controlsEnabled();
    void lineCountCaption();
    void producedLineAndCountTogether();
    void showError();
    void questions();
    void restoreNormalWindow();

private:
    RunHost* host() const { return m_window.get(); }
    LogView* pane() const { return m_window->TXT_OutPut; }

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<TalvexFRM> m_window;
};

void TestRunHost::initTestCase() {
    MessageBox::setScripted(true);
}

void TestRunHost::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    MessageBox::clearShown();
    MessageBox::clearQueue();
    m_window = std::make_unique<TalvexFRM>();
}

void TestRunHost::cleanup() {
    m_window.reset();
    m_dir.reset();
}

void TestRunHost::echoDecodes_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ascii") << QByteArray("<14>Oct 11 22:14:15 host app: ok")
                           << "<14>Oct 11 22:14:15 host app: ok";
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("utf-8") << QByteArray("d\xc3\xa9j\xc3\xa0 \xe2\x82\xac") << "d\u00e9j\u00e0 \u20ac";
    // A line that is not valid UTF-8 reads as Windows-1252, Latin-1 where that has no character.
    QTest::newRow("invalid byte") << QByteArray("a\xff"
                                                "b")
                                  << "a\u00ffb";
    QTest::newRow("latin-1 accent") << QByteArray("caf\xe9") << "caf\u00e9";
    QTest::newRow("windows-1252 signs") << QByteArray("\x80 \x93q\x94 \x85") << "\u20ac \u201cq\u201d \u2026";
    QTest::newRow("undefined in windows-1252")
        << QByteArray("\x81\x8d\x8f\x90\x9d") << "\u0081\u008d\u008f\u0090\u009d";
    QTest::newRow("utf-8 and latin-1 mixed") << QByteArray("\xc3\xa9t\xe9") << "\u00c3\u00a9t\u00e9";
    QTest::newRow("overlong utf-8") << QByteArray("\xc0\xaf") << "\u00c0\u00af";
    QTest::newRow("utf-8 sequence cut short") << QByteArray("\xe2\x82") << "\u00e2\u201a";
    QTest::newRow("tab kept") << QByteArray("a\tb") << "a\tb";
    // Long lines are cut to 65536 bytes, never through a UTF-8 sequence.
    QTest::newRow("long windows-1252 line") << QByteArray(EchoPane::MaxLineBytes + 5, '\xe9')
                                            << QString(EchoPane::MaxLineBytes, QChar(0xe9)) + QChar(0x2026);
    QTest::newRow("long utf-8 line, sequence across the cut")
        << QByteArray(EchoPane::MaxLineBytes - 1, 'a') + "\xc3\xa9 end"
        << QString(EchoPane::MaxLineBytes - 1, QLatin1Char('a')) + QChar(0x2026);
}

void TestRunHost::echoDecodes() {
    QFETCH(QByteArray, line);
    QFETCH(QString, shown);
    host()->echoLine(line);
    QCOMPARE(TalvexFRMTestAccess::echoText(*m_window), shown + QLatin1Char('\n'));
}

void TestRunHost::echoOneBlockPerLine() {
    // A bare line feed does not end a source line: it stays inside the line's block.
    host()->echoLine("first\nstill first");
    host()->echoLine("");
    host()->echoLine("third");
    TalvexFRMTestAccess::flushEcho(*m_window);
    QCOMPARE(pane()->lineCount(), 3); // three lines, the last with no empty one after it
    QCOMPARE(pane()->lineText(0), QStringLiteral("first\u2028still first"));
    QCOMPARE(pane()->lineText(1), QString());
    QCOMPARE(pane()->lineText(2), QStringLiteral("third"));
    QCOMPARE(TalvexFRMTestAccess::echoText(*m_window), QStringLiteral("first\nstill first\n\nthird\n"));
}

void TestRunHost::echoAppendsWithoutRewriting() {
    host()->echoLine("one");
    TalvexFRMTestAccess::flushEcho(*m_window);
    int added = 0;
    connect(pane(), &LogView::linesAdded, this, [&](int count) { added += count; });
    const QString before = pane()->toPlainText();
    for (int i = 0; i < 50; ++i) {
        host()->echoLine("another line");
        TalvexFRMTestAccess::flushEcho(*m_window);
    }
    QCOMPARE(added, 50);
    QVERIFY(pane()->toPlainText().startsWith(before + QLatin1Char('\n')));
    QCOMPARE(pane()->lineCount(), 51);
}

void TestRunHost::echoBatchesFastLines() {
    int changes = 0;
    connect(pane(), &LogView::linesAdded, this, [&](int) { ++changes; });
    const int lines = 20000;
    for (int i = 0; i < lines; ++i)
        host()->echoLine(QByteArray::number(i));
    // Lines that arrive together reach the pane in a few edits, not one per line.
    QVERIFY2(changes < lines / 10, qPrintable(QString::number(changes)));
    // Without any further call, the waiting lines appear on their own.
    QTRY_COMPARE(pane()->lineCount(), lines);
    const QString text = m_window->TXT_OutPut->toPlainText();
    QVERIFY(text.startsWith(QStringLiteral("0\n1\n2\n")));
    QVERIFY(text.endsWith(QStringLiteral("19998\n19999")));
}

void TestRunHost::echoFrameGoesWithALine() {
    host()->echoLine("first"); // after a quiet spell: shown at once
    QCOMPARE(pane()->lineCount(), 1);
    host()->echoLine("second");
    QCOMPARE(pane()->lineCount(), 1);
    // The first line after a frame's time brings the frame with it, in the call that gives it.
    QTest::qWait(EchoPane::FrameMs + 10);
    host()->echoLine("third");
    QCOMPARE(pane()->lineCount(), 3);
    // The last line of a burst comes on its own.
    host()->echoLine("fourth");
    QCOMPARE(pane()->lineCount(), 3);
    QTRY_COMPARE(pane()->lineCount(), 4);
}

void TestRunHost::echoFlushedWhenTheRunPausesOrEnds_data() {
    QTest::addColumn<RunHostCall>("call");
    QTest::newRow("run buttons") << RunHostCall([](RunHost* h) { h->setRunButtons(true, false, false); });
    QTest::newRow("controls unlocked")
        << RunHostCall([](RunHost* h) { h->setControlsEnabled(RunHost::AllLocked, true); });
    QTest::newRow("error") << RunHostCall(
        [](RunHost* h) { h->showError(QStringLiteral("Err"), QStringLiteral("Erreur Inconnue")); });
    QTest::newRow("completion message") << RunHostCall(
        [](RunHost* h) { h->showInformation(QStringLiteral("Fichier"), QStringLiteral("done")); });
    QTest::newRow("question") << RunHostCall(
        [](RunHost* h) { h->askYesNo(QStringLiteral("Fichier"), QStringLiteral("add?")); });
}

void TestRunHost::echoFlushedWhenTheRunPausesOrEnds() {
    QFETCH(RunHostCall, call);
    for (int i = 0; i < 100; ++i)
        host()->echoLine("line " + QByteArray::number(i));
    call(host());
    // Straight after the call, without the event loop: every line is in the pane.
    QCOMPARE(pane()->lineCount(), 100);
    QCOMPARE(pane()->lineText(99), QStringLiteral("line 99"));
}

void TestRunHost::echoKeepsTheMostRecentLines() {
    const int max = EchoPane::MaxLines;
    // More than the pane keeps in one batch, then more again in a later one.
    for (int i = 0; i < max + 5; ++i)
        host()->echoLine(QByteArray::number(i));
    TalvexFRMTestAccess::flushEcho(*m_window);
    QCOMPARE(pane()->lineCount(), max);
    QCOMPARE(pane()->lineText(0), QStringLiteral("5"));
    for (int i = max + 5; i < max + 12; ++i)
        host()->echoLine(QByteArray::number(i));
    TalvexFRMTestAccess::flushEcho(*m_window);
    QCOMPARE(pane()->lineCount(), max);
    QCOMPARE(pane()->lineText(0), QStringLiteral("12"));
    QCOMPARE(pane()->lineText(pane()->lineCount() - 1), QString::number(max + 11));
}

void TestRunHost::clearEcho() {
    host()->echoLine("kept?");
    TalvexFRMTestAccess::flushEcho(*m_window);
    host()->echoLine("waiting");
    host()->echoLine("waiting too");
    host()->clearEcho();
    QCOMPARE(TalvexFRMTestAccess::echoText(*m_window), QString());
    // Lines that were waiting are gone too, not shown later.
    QTest::qWait(3 * EchoPane::FrameMs);
    QCOMPARE(m_window->TXT_OutPut->toPlainText(), QString());
    QCOMPARE(m_window->TXT_OutPut->maximumLineCount(), EchoPane::MaxLines);
    host()->echoLine("after");
    QCOMPARE(TalvexFRMTestAccess::echoText(*m_window), QStringLiteral("after\n"));
}

void TestRunHost::echoWaitsWhileMinimised() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    host()->echoLine("first"); // nothing painted for a while: shown at once
    QCOMPARE(pane()->lineCount(), 1);
    m_window->showMinimized();
    host()->setLineCountCaption(QStringLiteral("Lignes: 2"));
    host()->echoLine("second");
    // Nobody sees a minimised window: neither the pane nor the count is laid out for it.
    QTest::qWait(3 * EchoPane::FrameMs);
    QCOMPARE(pane()->lineCount(), 1);
    QVERIFY(m_window->LBL_LineCount->text() != QStringLiteral("Lignes: 2"));
    m_window->showNormal();
    QTRY_COMPARE(pane()->lineCount(), 2);
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lignes: 2"));
    QCOMPARE(TalvexFRMTestAccess::echoText(*m_window), QStringLiteral("first\nsecond\n"));
}

void TestRunHost::echoPaintsWhatAFullRepaintPaints_data() {
    QTest::addColumn<int>("linesBefore");
    QTest::addColumn<bool>("readingBack");  // the pane scrolled to its top before the frames
    QTest::addColumn<QList<int>>("frames"); // lines per frame
    QTest::addColumn<QByteArray>("line");
    const QByteArray line("<134>Dec  7 12:00:00 host app[42]: line");
    QTest::newRow("empty pane") << 0 << false << QList<int>{1} << line;
    QTest::newRow("pane filling up") << 2 << false << QList<int>{1, 1, 3} << line;
    QTest::newRow("full pane, a line a frame") << 40 << false << QList<int>{1, 1, 1} << line;
    QTest::newRow("full pane, a few lines a frame") << 40 << false << QList<int>{5, 3, 2} << line;
    QTest::newRow("more lines than the pane shows") << 40 << false << QList<int>{50, 2} << line;
    QTest::newRow("reading back") << 40 << true << QList<int>{1, 4} << line;
    QTest::newRow("line wider than the pane") << 40 << false << QList<int>{1, 2} << line.repeated(8);
}

void TestRunHost::echoPaintsWhatAFullRepaintPaints() {
    QFETCH(int, linesBefore);
    QFETCH(bool, readingBack);
    QFETCH(QList<int>, frames);
    QFETCH(QByteArray, line);
    // Frames only repaint what changed: what reaches the screen must still be what painting the
    // whole pane afresh gives.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    LogView* out = m_window->TXT_OutPut;
    const auto onScreen = [&] {
        QTest::qWait(30); // the window's next update, which a platform may defer a few ms
        const QRect area(out->mapTo(m_window.get(), QPoint()), out->size());
        return m_window->screen()
            ->grabWindow(m_window->winId())
            .toImage()
            .copy(area)
            .convertToFormat(QImage::Format_RGB32);
    };
    int n = 0;
    for (; n < linesBefore; ++n)
        host()->echoLine(line + ' ' + QByteArray::number(n));
    TalvexFRMTestAccess::flushEcho(*m_window);
    if (readingBack)
        out->verticalScrollBar()->setValue(0);
    onScreen();
    for (const int count : frames) {
        for (int i = 0; i < count; ++i, ++n)
            host()->echoLine(line + ' ' + QByteArray::number(n));
        TalvexFRMTestAccess::flushEcho(*m_window);
        QCOMPARE(onScreen(), out->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
}

void TestRunHost::runButtons_data() {
    QTest::addColumn<bool>("play");
    QTest::addColumn<bool>("pause");
    QTest::addColumn<bool>("stop");
    QTest::newRow("idle") << true << false << false;
    QTest::newRow("running") << false << true << true;
    QTest::newRow("paused") << false << true << true;
    QTest::newRow("only stop") << false << false << true;
    QTest::newRow("all") << true << true << true;
    QTest::newRow("none") << false << false << false;
}

void TestRunHost::runButtons() {
    QFETCH(bool, play);
    QFETCH(bool, pause);
    QFETCH(bool, stop);
    host()->setRunButtons(!play, !pause, !stop);
    host()->setRunButtons(play, pause, stop);
    QCOMPARE(m_window->MMControl1->isPlayEnabled(), play);
    QCOMPARE(m_window->MMControl1->isPauseEnabled(), pause);
    QCOMPARE(m_window->MMControl1->isStopEnabled(), stop);
}

void TestRunHost::controlsEnabled_data() {
    QTest::addColumn<int>("controls");
    QTest::addColumn<QStringList>("affected");
    QTest::newRow("frame Lecture") << int(RunHost::FrmLecture) << QStringList{"FRM_Lecture"};
    QTest::newRow("frame Syslog") << int(RunHost::FrmSyslog) << QStringList{"FRM_Syslog"};
    QTest::newRow("source list") << int(RunHost::ComboSrc) << QStringList{"Combo_SRC1"};
    QTest::newRow("source button") << int(RunHost::CmdSrc) << QStringList{"CMD_SRC1"};
    QTest::newRow("list and button") << int(RunHost::ComboSrc | RunHost::CmdSrc)
                                     << QStringList{"Combo_SRC1", "CMD_SRC1"};
    QTest::newRow("all") << int(RunHost::AllLocked)
                         << QStringList{"FRM_Lecture", "FRM_Syslog", "Combo_SRC1", "CMD_SRC1"};
}

void TestRunHost::controlsEnabled() {
    QFETCH(int, controls);
    QFETCH(QStringList, affected);
    const QStringList all = {"FRM_Lecture", "FRM_Syslog", "Combo_SRC1",  "CMD_SRC1",
                             "FRM_Source1", "Frame2",     "CMD_Quitter", "TXT_OutPut"};
    for (const QString& name : all)
        m_window->findChild<QWidget*>(name)->setEnabled(true);

    host()->setControlsEnabled(controls, false);
    for (const QString& name : all)
        QCOMPARE(m_window->findChild<QWidget*>(name)->isEnabled(), !affected.contains(name));
    host()->setControlsEnabled(controls, true);
    for (const QString& name : all)
        QVERIFY2(m_window->findChild<QWidget*>(name)->isEnabled(), qPrintable(name));
}

void TestRunHost::lineCountCaption() {
    host()->setLineCountCaption(QStringLiteral("Lignes: 12"));
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lignes: 12"));
}

void TestRunHost::producedLineAndCountTogether() {
    // After a quiet frame, a line and its count are shown at once, both of them.
    host()->showProducedLine(QStringLiteral("Lignes: 1"), "first");
    QCOMPARE(pane()->lineCount(), 1);
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lignes: 1"));
    // Within the same frame they wait, and come together.
    host()->showProducedLine(QStringLiteral("Lignes: 2"), "second");
    QTRY_COMPARE(pane()->lineCount(), 2);
    QCOMPARE(m_window->LBL_LineCount->text(), QStringLiteral("Lignes: 2"));
    QCOMPARE(TalvexFRMTestAccess::echoText(*m_window), QStringLiteral("first\nsecond\n"));
}

void TestRunHost::showError() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(!m_window->LBL_Err->isVisible());
    host()->showError(QStringLiteral("Err: 53 : File not found"), QStringLiteral("Erreur Inconnue"));
    QVERIFY(m_window->LBL_Err->isVisible());
    QCOMPARE(m_window->LBL_Err->text(), QStringLiteral("Err: 53 : File not found"));
    QCOMPARE(m_window->LBL_Titre->text(), QStringLiteral("Erreur Inconnue"));
}

void TestRunHost::questions() {
    MessageBox::queueAnswer(MessageBox::Answer::No);
    QVERIFY(!host()->askYesNo(QStringLiteral("Fichier"), QStringLiteral("Le fichier web.txt existe.")));
    QVERIFY(host()->askYesNo(QStringLiteral("Fichier"), QStringLiteral("encore")));
    host()->showInformation(QStringLiteral("Fichier"),
                            QStringLiteral("La g\u00e9n\u00e9ration est termin\u00e9e."));
    const auto shown = MessageBox::shown();
    QCOMPARE(shown.size(), 3);
    for (const auto& record : shown) {
        QCOMPARE(record.icon, MessageBox::Icon::Information);
        QCOMPARE(record.title, QStringLiteral("Fichier"));
    }
    QCOMPARE(shown.at(0).buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(shown.at(0).text, QStringLiteral("Le fichier web.txt existe."));
    QCOMPARE(shown.at(2).buttons, MessageBox::Buttons::Ok);
    QCOMPARE(shown.at(2).text, QStringLiteral("La g\u00e9n\u00e9ration est termin\u00e9e."));
}

void TestRunHost::restoreNormalWindow() {
    // A hidden window stays hidden.
    host()->restoreNormalWindow();
    QVERIFY(!m_window->isVisible());

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->setWindowState(Qt::WindowMinimized);
    QVERIFY(m_window->isMinimized());
    host()->restoreNormalWindow();
    QVERIFY(!m_window->isMinimized());
    QVERIFY(m_window->isVisible());
    QCOMPARE(host()->languageOffset(), 0);
}

QTEST_MAIN(TestRunHost)
#include "tst_runhost.moc"
