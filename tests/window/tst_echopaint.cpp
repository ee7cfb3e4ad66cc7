// SPDX-License-Identifier: GPL-3.0-or-later
#include "TalvexFRMTestAccess.h"
#include "UdpReceiver.h"
#include "WindowTestKit.h"
#include "window/LogView.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QtTest>

#include <memory>

using namespace WindowTestKit;

// What a real X server shows of the window while the echo pane scrolls, compared with what a
// full repaint paints: the pane repaints only what comes in and lets the server move the rest, so
// only the server's own picture can tell. Run by echo_paint.sh, once per scale factor, on an
// Xvfb with a window manager.
class TestEchoPaint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void matchesAFullRepaint_data();
    void matchesAFullRepaint();

private:
    QImage onServer() const;

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<UdpReceiver> m_receiver;
    std::unique_ptr<TalvexFRM> m_window;
};

void TestEchoPaint::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    MessageBox::setScripted(true);
    m_dir = freshRunFolder();
    QVERIFY(m_dir);
    m_receiver = std::make_unique<UdpReceiver>(32000);
    QVERIFY(m_receiver->isValid());
    // Lines of every length, some wider than the pane, played in a loop.
    QByteArray source;
    for (int i = 0; i < 300; ++i)
        source += "<134>Dec  7 12:00:00 host app[42]: line " + QByteArray::number(i) +
                  QByteArray(i % 37 * 3, 'x') + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/paint.txt"), source));
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"),
                         "[Source 1]\r\nDelay=0.01\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\nUDP_Port_Syslog=" +
                             QByteArray::number(m_receiver->port()) + "\r\nSourceFile=paint\r\nLoop=1\r\n"));
    m_window = std::make_unique<TalvexFRM>();
    showAndPlay(*m_window);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(m_window->TXT_OutPut->horizontalScrollBar()->isVisible());
    qInfo("scale %s: device pixel ratio %g", qgetenv("QT_SCALE_FACTOR").constData(),
          m_window->devicePixelRatio());
}

void TestEchoPaint::cleanupTestCase() {
    if (m_window)
        m_window->run()->stop();
    m_window.reset();
    m_receiver.reset();
    m_dir.reset();
}

QImage TestEchoPaint::onServer() const {
    // grabWindow on xcb reads the window from the server, after every request sent before it.
    return m_window->screen()->grabWindow(m_window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

void TestEchoPaint::matchesAFullRepaint_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("paused");
    QTest::addColumn<bool>("mouseOnBar");
    for (const QString& style : {QStringLiteral("Fusion"), QStringLiteral("Windows")}) {
        for (const bool paused : {false, true}) {
            for (const bool mouseOnBar : {false, true})
                QTest::addRow("%s, %s, mouse %s the scroll bar", qPrintable(style),
                              paused ? "paused" : "running", mouseOnBar ? "on" : "off")
                    << style << paused << mouseOnBar;
        }
    }
}

void TestEchoPaint::matchesAFullRepaint() {
    QFETCH(QString, style);
    QFETCH(bool, paused);
    QFETCH(bool, mouseOnBar);
    if (QApplication::style()->name().compare(style, Qt::CaseInsensitive) != 0)
        QApplication::setStyle(style);
    QVERIFY(m_window->run()->isRunning());
    if (m_window->run()->isPaused() != paused)
        mediaButton(*m_window, "Pause")->click();
    QCOMPARE(m_window->run()->isPaused(), paused);

    QScrollBar* bar = m_window->TXT_OutPut->verticalScrollBar();
    QCursor::setPos(mouseOnBar ? bar->mapToGlobal(bar->rect().center())
                               : m_window->mapToGlobal(QPoint(5, 5)));
    QTRY_COMPARE(bar->underMouse(), mouseOnBar);

    for (int round = 0; round < 6; ++round) {
        // A frame of the echo shown the usual way, the next not before EchoPane::FrameMs.
        QTest::qWait(25 + 17 * round);
        TalvexFRMTestAccess::flushEcho(*m_window);
        QTest::qWait(40);
        const QImage shown = onServer();
        const QPalette palette = m_window->palette();
        QPalette other = palette;
        other.setColor(QPalette::Base, Qt::magenta);
        m_window->setPalette(other);
        m_window->setPalette(palette);
        m_window->repaint();
        const QImage repainted = onServer();
        QCOMPARE(shown.size(), repainted.size());
        int differ = 0;
        QPoint first;
        for (int y = 0; y < shown.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
            const auto* b = reinterpret_cast<const QRgb*>(repainted.constScanLine(y));
            for (int x = 0; x < shown.width(); ++x) {
                if (a[x] != b[x] && differ++ == 0)
                    first = QPoint(x, y);
            }
        }
        if (differ != 0) {
            const QString stem =
                QDir::temp().filePath(QStringLiteral("echopaint-%1").arg(QCoreApplication::applicationPid()));
            shown.save(stem + QStringLiteral("-shown.png"));
            repainted.save(stem + QStringLiteral("-repainted.png"));
            QFAIL(qPrintable(QStringLiteral("round %1: %2 pixels differ, the first at %3,%4 (%5-*.png)")
                                 .arg(round)
                                 .arg(differ)
                                 .arg(first.x())
                                 .arg(first.y())
                                 .arg(stem)));
        }
    }
}

QTEST_MAIN(TestEchoPaint)
#include "tst_echopaint.moc"
