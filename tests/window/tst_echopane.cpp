// SPDX-License-Identifier: GPL-3.0-or-later
#include "TalvexFRMTestAccess.h"
#include "WindowTestKit.h"
#include "window/EchoPane.h"
#include "window/LogView.h"

#include <QClipboard>
#include <QScrollBar>
#include <QtTest>

#include <functional>
#include <memory>

using Gesture = std::function<void(LogView*)>;
Q_DECLARE_METATYPE(Gesture)

// How the echo pane of the real window moves while lines arrive: it follows the newest line at
// the end, holds still for a reader elsewhere, and pages alike by every gesture.
class TestEchoPane : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void followsTheEnd();
    void resumesAtTheEnd_data();
    void resumesAtTheEnd();
    void holdsStillForAReader_data();
    void holdsStillForAReader();
    void capDropsTheLinesRead();
    void pagesAlikeByEveryGesture();
    void selectionWhileLinesArrive();
    void barRepaintsWhenItMoves_data();
    void barRepaintsWhenItMoves();

private:
    // Lines in frames, as the run echoes them: `frames` frames of `perFrame` lines each.
    void echo(int frames, int perFrame = 1, const QByteArray& text = "line");
    LogView* pane() const { return m_window->TXT_OutPut; }
    QScrollBar* bar() const { return pane()->verticalScrollBar(); }
    bool showsNewest() const { return bar()->value() == bar()->maximum() && bar()->maximum() > 0; }
    // The line at the top of the view.
    QString topLine() const { return pane()->rowText(pane()->rowAt(QPoint(2, 2))); }

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<TalvexFRM> m_window;
    int m_next = 0;
};

void TestEchoPane::init() {
    m_dir = WindowTestKit::freshRunFolder();
    QVERIFY(m_dir);
    m_window = std::make_unique<TalvexFRM>();
    WindowTestKit::activate(*m_window);
    m_next = 0;
}

void TestEchoPane::cleanup() {
    m_window.reset();
    m_dir.reset();
}

void TestEchoPane::echo(int frames, int perFrame, const QByteArray& text) {
    RunHost& host = *m_window;
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < perFrame; ++i)
            host.echoLine(text + ' ' + QByteArray::number(m_next++));
        TalvexFRMTestAccess::flushEcho(*m_window);
        QCoreApplication::processEvents(); // what Qt does between frames (scroll bars shown, …)
    }
}

void TestEchoPane::followsTheEnd() {
    echo(40);
    QVERIFY(showsNewest());
    // A line wider than the pane brings a horizontal scroll bar, which takes a row of the view.
    echo(1, 1, QByteArray(400, 'w'));
    QTRY_VERIFY(pane()->horizontalScrollBar()->isVisible());
    QVERIFY(showsNewest());
    echo(20);
    QVERIFY(showsNewest());
    QCOMPARE(pane()->lineText(pane()->lineCount() - 1), QStringLiteral("line 60"));
}

void TestEchoPane::resumesAtTheEnd_data() {
    QTest::addColumn<Gesture>("toEnd");
    QTest::newRow("Ctrl+End") << Gesture(
        [](LogView* p) { QTest::keyClick(p, Qt::Key_End, Qt::ControlModifier); });
    QTest::newRow("scroll bar dragged to the end") << Gesture([](LogView* p) {
        QScrollBar* bar = p->verticalScrollBar();
        bar->setSliderDown(true);
        bar->setSliderPosition(bar->maximum());
        bar->setSliderDown(false);
    });
    QTest::newRow("wheel to the end") << Gesture([](LogView* p) {
        const QPoint at = p->viewport()->rect().center();
        for (int i = 0; i < 30; ++i) {
            QWheelEvent wheel(at, p->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(p->viewport(), &wheel);
        }
    });
    QTest::newRow("Page Down to the end") << Gesture([](LogView* p) {
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(p, Qt::Key_PageDown);
    });
}

void TestEchoPane::resumesAtTheEnd() {
    QFETCH(Gesture, toEnd);
    echo(60);
    pane()->setFocus();
    QTest::keyClick(pane(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar()->value(), 0);
    echo(3);
    QCOMPARE(bar()->value(), 0);
    toEnd(pane());
    echo(3, 1);
    QVERIFY(showsNewest());
    echo(2, 12); // frames of more lines than the pane shows, too
    QVERIFY(showsNewest());
}

void TestEchoPane::holdsStillForAReader_data() {
    QTest::addColumn<int>("linesBefore");
    QTest::addColumn<int>("perFrame");
    QTest::newRow("filling, a line a frame") << 200 << 1;
    QTest::newRow("filling, many lines a frame") << 200 << 30;
    QTest::newRow("past the cap, a line a frame") << EchoPane::MaxLines << 1;
    QTest::newRow("past the cap, many lines a frame") << EchoPane::MaxLines << 30;
}

void TestEchoPane::holdsStillForAReader() {
    QFETCH(int, linesBefore);
    QFETCH(int, perFrame);
    echo(1, linesBefore);
    QVERIFY(showsNewest());
    bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    const QString read = topLine();
    echo(5, perFrame);
    QCOMPARE(topLine(), read);
    QVERIFY(pane()->lineCount() <= EchoPane::MaxLines);
}

void TestEchoPane::capDropsTheLinesRead() {
    echo(1, EchoPane::MaxLines);
    bar()->setValue(0);
    echo(3, 2);
    // The lines read are gone: the view shows the oldest line kept.
    QCOMPARE(topLine(), QStringLiteral("line 6"));
    QCOMPARE(pane()->lineText(0), QStringLiteral("line 6"));
    QCOMPARE(bar()->value(), 0);
}

void TestEchoPane::pagesAlikeByEveryGesture() {
    echo(1, 300);
    pane()->setFocus();
    const QList<std::pair<const char*, Gesture>> down = {
        {"trough click",
         [](LogView* p) {
             QScrollBar* bar = p->verticalScrollBar();
             QTest::mouseClick(bar, Qt::LeftButton, {},
                               QPoint(bar->width() / 2, bar->height() - bar->width() - 4));
         }},
        {"Space", [](LogView* p) { QTest::keyClick(p, Qt::Key_Space); }},
        {"Page Down", [](LogView* p) { QTest::keyClick(p, Qt::Key_PageDown); }},
    };
    const QList<std::pair<const char*, Gesture>> up = {
        {"trough click",
         [](LogView* p) {
             QScrollBar* bar = p->verticalScrollBar();
             QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->width() + 4));
         }},
        {"Shift+Space", [](LogView* p) { QTest::keyClick(p, Qt::Key_Space, Qt::ShiftModifier); }},
        {"Page Up", [](LogView* p) { QTest::keyClick(p, Qt::Key_PageUp); }},
    };
    int page = 0;
    for (const auto& [direction, sign] : {std::pair(&down, 1), std::pair(&up, -1)}) {
        for (const auto& [name, gesture] : *direction) {
            bar()->setValue(150);
            gesture(pane());
            const int moved = sign * (bar()->value() - 150);
            if (page == 0)
                page = moved;
            QVERIFY2(moved == page && page > 1, qPrintable(QStringLiteral("%1 moved %2 rows, where the first "
                                                                          "gesture moved %3")
                                                               .arg(QLatin1String(name))
                                                               .arg(moved)
                                                               .arg(page)));
        }
    }
}

void TestEchoPane::selectionWhileLinesArrive() {
    echo(1, 100);
    QWidget* view = pane()->viewport();
    const QString read = topLine();
    const int value = bar()->value();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseMove(view, QPoint(60, 40));
    echo(4, 3);
    // The view holds still under the pointer.
    QCOMPARE(bar()->value(), value);
    QCOMPARE(topLine(), read);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(60, 40));
    const QString selected = pane()->selectedText();
    QVERIFY(selected.startsWith(read));
    QVERIFY(selected.count(QLatin1Char('\n')) >= 2);
    pane()->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), selected);
    echo(2);
    QCOMPARE(topLine(), read);
    QTest::keyClick(pane(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(pane()->selectedText().count(QLatin1Char('\n')), m_next - 1);
}

QTEST_MAIN(TestEchoPane)
void TestEchoPane::barRepaintsWhenItMoves_data() {
    QTest::addColumn<int>("linesBefore");
    QTest::addColumn<Gesture>("gesture");
    QTest::addColumn<bool>("repaints");
    const Gesture none = [](LogView*) {};
    QTest::newRow("following, handle as short as it gets") << 2000 << none << false;
    QTest::newRow("following, handle still shrinking") << 30 << none << true;
    QTest::newRow("reader pages up") << 2000 << Gesture([](LogView* p) {
        p->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    }) << true;
    QTest::newRow("reader back at the top")
        << 2000 << Gesture([](LogView* p) { p->verticalScrollBar()->setValue(0); }) << true;
}

void TestEchoPane::barRepaintsWhenItMoves() {
    QFETCH(int, linesBefore);
    QFETCH(Gesture, gesture);
    QFETCH(bool, repaints);
    echo(1, linesBefore);
    echo(1); // the frame that paints the bar as the lines before left it
    QVERIFY(showsNewest());
    WindowTestKit::PaintCounter paints(bar());
    gesture(pane());
    echo(10);
    QCOMPARE(paints.count() > 0, repaints);
}

#include "tst_echopane.moc"
