// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestKit.h"
#include "FakeRunHost.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"

#include <QtTest>

#include <memory>

using namespace EngineTestKit;

namespace {
const QString Source = QStringLiteral("web");
const QString SourcePath = QStringLiteral("Logs Source/web.txt");
const QString Delay = QStringLiteral("0.0001");
} // namespace

// Random order: uniform draws over every line (the first included), any source size, one
// fixed sequence per program start.
class TestRandomOrder : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyLineIsDrawn_data();
    void everyLineIsDrawn();
    void lastLineIndexMatchesSourcePlayed();
    void sourceShrinksDuringRun();
    void sourceDeletedDuringRun();
    void emptySourceWithoutLoopEnds();
    void sameSequenceInTwoProcesses();

private:
    // Plays a random run until `count` lines are produced, then stops it.
    QList<QByteArray> drawLines(int count);

    std::unique_ptr<WorkDir> m_dir;
    std::unique_ptr<FakeRunHost> m_host;
    std::unique_ptr<UdpSink> m_udp;
    std::unique_ptr<GenerationRun> m_run;
};

void TestRandomOrder::init() {
    m_dir = std::make_unique<WorkDir>();
    QVERIFY(m_dir->isValid());
    m_host = std::make_unique<FakeRunHost>();
    m_host->answerYes = false;
    m_udp = std::make_unique<UdpSink>();
    m_run = std::make_unique<GenerationRun>(m_host.get(), m_udp.get());
    m_run->setGenerationOrder(GenerationOrder::Random);
}

void TestRandomOrder::cleanup() {
    m_run.reset();
    m_udp.reset();
    m_host.reset();
    m_dir.reset();
}

QList<QByteArray> TestRandomOrder::drawLines(int count) {
    GenerationRun& run = *m_run;
    QList<QByteArray> lines;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&run, &GenerationRun::lineProduced, this,
                          [&run, &lines, count, connection](qint64, const QByteArray& line) {
                              lines << line;
                              if (lines.size() == count) {
                                  disconnect(*connection);
                                  run.stop();
                              }
                          });
    if (!playAndWait(run, Source, Delay))
        lines << "<timeout>";
    disconnect(*connection);
    return lines;
}

void TestRandomOrder::everyLineIsDrawn_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<int>("draws");
    QTest::newRow("five lines") << QByteArray("l1\r\nl2\r\nl3\r\nl4\r\nl5\r\n")
                                << QList<QByteArray>{"l1", "l2", "l3", "l4", "l5"} << 200;
    QTest::newRow("two lines") << QByteArray("first\r\nsecond") << QList<QByteArray>{"first", "second"} << 60;
    QTest::newRow("one line") << QByteArray("alone\r\n") << QList<QByteArray>{"alone"} << 20;
    QTest::newRow("empty and LF lines") << QByteArray("\r\nx\ny\r") << QList<QByteArray>{"", "x\ny"} << 60;
}

void TestRandomOrder::everyLineIsDrawn() {
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(int, draws);
    QVERIFY(writeFile(SourcePath, content));

    const QList<QByteArray> drawn = drawLines(draws);
    QCOMPARE(drawn.size(), draws);
    QCOMPARE(m_host->errorCount, 0);
    QCOMPARE(m_host->echo, drawn);
    QMap<QByteArray, int> seen;
    for (const QByteArray& line : drawn) {
        QVERIFY2(lines.contains(line), line.constData());
        ++seen[line];
    }
    // Uniform over all lines: each one, the first included, gets a fair share.
    const int expectedEach = draws / lines.size();
    for (const QByteArray& line : lines) {
        QVERIFY2(seen.value(line) >= expectedEach / 3, qPrintable(QStringLiteral("'%1' drawn %2 times of %3")
                                                                      .arg(QString::fromLatin1(line))
                                                                      .arg(seen.value(line))
                                                                      .arg(draws)));
    }
    QCOMPARE(readFile(GenerationRun::outputPath(Source)), crlfLines(drawn));
}

void TestRandomOrder::lastLineIndexMatchesSourcePlayed() {
    QVERIFY(writeFile(SourcePath, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n"));
    m_run->setLastLineIndex(0); // stale, as after choosing another source
    QCOMPARE(drawLines(5).size(), 5);
    QCOMPARE(m_run->lastLineIndex(), qint64(6));
}

void TestRandomOrder::sourceShrinksDuringRun() {
    QVERIFY(writeFile(SourcePath, "one\r\ntwo\r\nthree\r\n"));
    GenerationRun& run = *m_run;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(&run, &GenerationRun::lineProduced, this, [once] {
        disconnect(*once);
        QTimer::singleShot(0, [] { writeFile(SourcePath, QByteArray()); });
    });
    run.play(Source, QStringLiteral("0.02"));
    QVERIFY(waitForEnd(run));
    QVERIFY2(m_host->errorCaption.startsWith(QStringLiteral("Err: 62 : ")), qPrintable(m_host->errorCaption));
    QVERIFY(m_host->errorCaption.contains(QStringLiteral("web.txt")));
    QCOMPARE(m_host->echo.size(), 1);
    QCOMPARE(m_host->buttons(), QStringLiteral("011"));
}

void TestRandomOrder::sourceDeletedDuringRun() {
    QVERIFY(writeFile(SourcePath, "one\r\ntwo\r\n"));
    GenerationRun& run = *m_run;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(&run, &GenerationRun::lineProduced, this, [once] {
        disconnect(*once);
        QTimer::singleShot(0, [] { QFile::remove(SourcePath); });
    });
    run.play(Source, QStringLiteral("0.02"));
    QVERIFY(waitForEnd(run));
    QCOMPARE(m_host->errorCaption, QStringLiteral("Err: 52 : Source file not open: Logs Source/web.txt"));
    QCOMPARE(m_host->echo.size(), 1);
}

void TestRandomOrder::emptySourceWithoutLoopEnds() {
    QVERIFY(writeFile(SourcePath, QByteArray()));
    m_run->play(Source, QStringLiteral("10"));
    QVERIFY(!m_run->isRunning());
    QCOMPARE(m_host->boxesOfKind(QStringLiteral("information")).size(), 1);
    QCOMPARE(m_host->errorCount, 0);
    QCOMPARE(m_run->lastLineIndex(), qint64(-1));
}

void TestRandomOrder::sameSequenceInTwoProcesses() {
    QByteArray content;
    for (int i = 0; i < 10; ++i)
        content += "line " + QByteArray::number(i) + "\r\n";
    QVERIFY(writeFile(SourcePath, content));
    const QString helper = QCoreApplication::applicationDirPath() + QStringLiteral("/random_run_helper");
    QVERIFY2(QFileInfo::exists(helper), qPrintable(helper));

    QList<QByteArray> outputs;
    for (int start = 0; start < 2; ++start) {
        QProcess process;
        process.start(helper, {m_dir->path(), Source, QStringLiteral("40")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        outputs << process.readAllStandardOutput();
    }
    const QList<QByteArray> first = outputs.at(0).trimmed().split('\n');
    QCOMPARE(first.size(), 40);
    QCOMPARE(outputs.at(1), outputs.at(0));
    // A sequence worth comparing: many different lines, not one repeated.
    QSet<QByteArray> distinct(first.begin(), first.end());
    QVERIFY(distinct.size() >= 6);
    QVERIFY(distinct.contains(QByteArray("line 0").toHex())); // the first line is drawn too
}

QTEST_GUILESS_MAIN(TestRandomOrder)
#include "tst_randomorder.moc"
