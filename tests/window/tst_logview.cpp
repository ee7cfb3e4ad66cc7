// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/LogView.h"

#include <QAccessible>
#include <QMetaEnum>
#include <QScrollBar>
#include <QtTest>

// What a screen reader gets of the log view: its text by rows and words, the selection it sets, and
// the places of characters on the screen.
class TestLogView : public QObject {
    Q_OBJECT

private slots:
    void keepsTheLastLines_data();
    void keepsTheLastLines();
    void sidewaysRangeFollowsTheWidestRow();
    void mouseSelects_data();
    void mouseSelects();
    void answers_data();
    void answers();
};

enum class Ask { Role, Count, Text, Line, Word, Select, Cursor, Point };
Q_DECLARE_METATYPE(Ask)

namespace {
// "alpha beta\ngamma\ndelta, epsilon": the rows start at 0, 11 and 17, and the text ends at 31.
const QStringList Lines{"alpha beta", "gamma", "delta, epsilon"};
} // namespace

void TestLogView::keepsTheLastLines_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<int>("rows");
    const QChar separator = QChar::LineSeparator;
    QTest::newRow("under the cap") << QStringList{"a", "b"} << 3 << "a\nb" << 2;
    QTest::newRow("past the cap") << QStringList{"a", "b", "c", "d"} << 2 << "c\nd" << 2;
    QTest::newRow("a line of two rows dropped whole")
        << QStringList{QStringLiteral("a%1a").arg(separator), "b", "c"} << 2 << "b\nc" << 2;
    QTest::newRow("a line of two rows kept")
        << QStringList{"a", QStringLiteral("b%1b").arg(separator)} << 1 << "b\nb" << 2;
    QTest::newRow("empty lines count") << QStringList{"", "", "x"} << 2 << "\nx" << 2;
}

void TestLogView::keepsTheLastLines() {
    QFETCH(QStringList, lines);
    QFETCH(int, max);
    QFETCH(QString, kept);
    QFETCH(int, rows);
    LogView view;
    view.setMaximumLineCount(max);
    // One at a time and all at once: the same lines are kept.
    for (const QString& line : lines)
        view.appendLines({line});
    QCOMPARE(view.toPlainText(), kept);
    QCOMPARE(view.rowCount(), rows);
    view.clear();
    view.appendLines(lines);
    QCOMPARE(view.toPlainText(), kept);
    QVERIFY(view.lineCount() <= max);
}

void TestLogView::sidewaysRangeFollowsTheWidestRow() {
    LogView view;
    view.resize(300, 200);
    view.setMaximumLineCount(3);
    QScrollBar* sideways = view.horizontalScrollBar();
    view.appendLines({QString(200, u'w'), "short"});
    const int wide = sideways->maximum();
    QVERIFY(wide > 0);
    // Tabs and characters past Latin-1 are measured by the font itself.
    view.appendLines({QStringLiteral("\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tx")});
    QCOMPARE(sideways->maximum(), wide); // still the widest
    view.appendLines({"short"});
    const int tabs = sideways->maximum();
    QVERIFY2(tabs > 0 && tabs < wide, qPrintable(QString::number(tabs)));
    view.appendLines({"short", "short"});
    QCOMPARE(sideways->maximum(), 0); // the widest left with its line
    view.appendLines({QString(100, QChar(0x4E00))});
    QVERIFY(sideways->maximum() > 0);
}

void TestLogView::mouseSelects_data() {
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QString>("selected");
    QTest::newRow("double click takes a word") << "double"
                                               << "beta";
    QTest::newRow("shift click extends") << "shift"
                                         << "alpha beta\ngam";
    QTest::newRow("drag past the bottom scrolls on") << "drag"
                                                     << "";
    QTest::newRow("Shift and the moving keys") << "keys"
                                               << "beta\ngamma\nrow 0\nr";
}

void TestLogView::mouseSelects() {
    QFETCH(QString, gesture);
    QFETCH(QString, selected);
    LogView view;
    view.resize(300, 120);
    QStringList lines{"alpha beta", "gamma"};
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("row %1").arg(i);
    view.appendLines(lines);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QWidget* port = view.viewport();
    const auto at = [&](int row, int column) {
        return view.characterRect({row, column}).center() - QPoint(1, 0);
    };
    if (gesture == QLatin1String("double")) {
        QTest::mouseDClick(port, Qt::LeftButton, {}, at(0, 7));
    } else if (gesture == QLatin1String("shift")) {
        QTest::mouseClick(port, Qt::LeftButton, {}, at(0, 0));
        QTest::mouseClick(port, Qt::LeftButton, Qt::ShiftModifier, at(1, 3));
    } else if (gesture == QLatin1String("keys")) {
        QTest::mouseClick(port, Qt::LeftButton, {}, at(0, 6));
        for (const auto& [key, times] :
             {std::pair(Qt::Key_Down, 2), std::pair(Qt::Key_End, 1), std::pair(Qt::Key_Right, 2)})
            for (int i = 0; i < times; ++i)
                QTest::keyClick(&view, key, Qt::ShiftModifier);
    } else {
        QTest::mousePress(port, Qt::LeftButton, {}, at(0, 0));
        QTest::mouseMove(port, QPoint(20, port->height() + 20));
        // The view scrolls while the button is held below it, and the selection grows with it.
        QTRY_VERIFY(view.verticalScrollBar()->value() > 3);
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(20, port->height() + 20));
        QVERIFY(view.selectionEnd().row > view.rowAt(QPoint(0, port->height() - 1)));
        QVERIFY(view.selectedText().startsWith(QStringLiteral("alpha beta\ngamma\nrow 0")));
        return;
    }
    QCOMPARE(view.selectedText(), selected);
}

void TestLogView::answers_data() {
    QTest::addColumn<Ask>("ask");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("expected");
    // For a row or a word, `to` says which: the one before the offset (-1), at it (0) or after it (1).
    QTest::newRow("role and state") << Ask::Role << 0 << 0 << "EditableText readOnly multiLine";
    QTest::newRow("character count") << Ask::Count << 0 << 0 << "31";
    QTest::newRow("text in a row") << Ask::Text << 6 << 10 << "beta";
    QTest::newRow("text across a row break") << Ask::Text << 6 << 13 << "beta\nga";
    QTest::newRow("text to the end") << Ask::Text << 24 << -1 << "epsilon";
    QTest::newRow("line at a row's start") << Ask::Line << 11 << 0 << "'gamma' [11,16)";
    QTest::newRow("line at a row's end") << Ask::Line << 16 << 0 << "'gamma' [11,16)";
    QTest::newRow("line at the text's end") << Ask::Line << 31 << 0 << "'delta, epsilon' [17,31)";
    QTest::newRow("line before") << Ask::Line << 13 << -1 << "'alpha beta' [0,10)";
    QTest::newRow("none before the first") << Ask::Line << 4 << -1 << "'' [-1,-1)";
    QTest::newRow("line after") << Ask::Line << 16 << 1 << "'delta, epsilon' [17,31)";
    QTest::newRow("none after the last") << Ask::Line << 20 << 1 << "'' [-1,-1)";
    QTest::newRow("word") << Ask::Word << 8 << 0 << "'beta' [6,10)";
    QTest::newRow("word at a row's start") << Ask::Word << 11 << 0 << "'gamma' [11,16)";
    QTest::newRow("between two words") << Ask::Word << 23 << 0 << "', ' [22,24)";
    QTest::newRow("word at the text's end") << Ask::Word << 31 << 0 << "'epsilon' [24,31)";
    QTest::newRow("selection across rows") << Ask::Select << 6 << 13 << "'beta\nga' [6,13) 13";
    QTest::newRow("selection backwards") << Ask::Select << 13 << 6 << "'beta\nga' [6,13) 13";
    QTest::newRow("no cursor yet") << Ask::Cursor << -1 << 0 << "0 0";
    QTest::newRow("cursor set") << Ask::Cursor << 12 << 0 << "12 0";
    QTest::newRow("point on a character") << Ask::Point << 19 << 0 << "19";
    QTest::newRow("point off the view") << Ask::Point << -1 << 0 << "-1";
}

void TestLogView::answers() {
    QFETCH(Ask, ask);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, expected);
    LogView view;
    view.resize(400, 200);
    view.appendLines(Lines);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(iface && iface->textInterface());
    QAccessibleTextInterface* text = iface->textInterface();

    int start = 0;
    int end = 0;
    // Called with what was found, so the offsets are in by then.
    const auto piece = [&](const QString& found) {
        return QStringLiteral("'%1' [%2,%3)").arg(found).arg(start).arg(end);
    };
    QString answer;
    switch (ask) {
    case Ask::Role:
        answer = QMetaEnum::fromType<QAccessible::Role>().valueToKey(iface->role());
        answer += QString(iface->state().readOnly ? " readOnly" : "") +
                  (iface->state().multiLine ? " multiLine" : "");
        break;
    case Ask::Count:
        answer = QString::number(text->characterCount());
        break;
    case Ask::Text:
        answer = text->text(from, to);
        break;
    case Ask::Line:
    case Ask::Word: {
        const auto type = ask == Ask::Line ? QAccessible::LineBoundary : QAccessible::WordBoundary;
        answer = piece(to < 0   ? text->textBeforeOffset(from, type, &start, &end)
                       : to > 0 ? text->textAfterOffset(from, type, &start, &end)
                                : text->textAtOffset(from, type, &start, &end));
        break;
    }
    case Ask::Select:
        text->setSelection(0, from, to);
        text->selection(0, &start, &end);
        answer = piece(view.selectedText()) + QStringLiteral(" %1").arg(text->cursorPosition());
        break;
    case Ask::Cursor:
        if (from >= 0)
            text->setCursorPosition(from);
        answer = QStringLiteral("%1 %2").arg(text->cursorPosition()).arg(text->selectionCount());
        break;
    case Ask::Point: {
        // Just inside the character's corner: nearer to it than to its neighbours.
        const QPoint point =
            from < 0 ? view.mapToGlobal(QPoint(-20, -20)) : text->characterRect(from).topLeft();
        answer = QString::number(text->offsetAtPoint(point + QPoint(1, 1)));
        break;
    }
    }
    QCOMPARE(answer, expected);
}

QTEST_MAIN(TestLogView)
#include "tst_logview.moc"
