// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestKit.h"
#include "engine/LineIndex.h"
#include "engine/SourceReader.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace EngineTestKit;

// How a source file splits into lines. The sequential reader and the random draw's index must
// agree on every file, or random order would produce lines sequential order never does.
class TestSourceLines : public QObject {
    Q_OBJECT

private slots:
    void splitting_data();
    void splitting();
    void lineEndAcrossBlocks_data();
    void lineEndAcrossBlocks();
    void indexPastEndAfterShrink();
    void indexedLineReadsFromItsOffset();
    void openFailures_data();
    void openFailures();
    void unreadableFile();

private:
    static QList<QByteArray> readAll(const QString& path, RunError* error,
                                     LineEnds ends = LineEnds::CarriageReturn);
    static QList<QByteArray> readByIndex(const QString& path, RunError* error,
                                         LineEnds ends = LineEnds::CarriageReturn);
};

QList<QByteArray> TestSourceLines::readAll(const QString& path, RunError* error, LineEnds ends) {
    SourceReader reader;
    reader.setLineEnds(ends);
    QList<QByteArray> lines;
    *error = reader.open(path);
    if (error->isError())
        return lines;
    for (;;) {
        bool atEnd = false;
        *error = reader.checkEnd(&atEnd);
        if (error->isError() || atEnd)
            break;
        QByteArray line;
        *error = reader.readLine(&line);
        if (error->isError())
            break;
        lines << line;
    }
    return lines;
}

QList<QByteArray> TestSourceLines::readByIndex(const QString& path, RunError* error, LineEnds ends) {
    LineIndex index;
    QList<QByteArray> lines;
    *error = index.build(path, ends);
    if (error->isError())
        return lines;
    // Backwards, so each line is found by its own offset and not by reading on from the last.
    for (qint64 k = index.count() - 1; k >= 0; --k) {
        QByteArray line;
        *error = index.readLine(k, &line);
        if (error->isError())
            break;
        lines.prepend(line);
    }
    return lines;
}

void TestSourceLines::splitting_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<QByteArray>>("anyEndLines");

    using L = QList<QByteArray>;
    // Each row: the lines under the window's rule (CR or CR LF) and under any line end.
    QTest::newRow("empty file") << QByteArray() << L{} << L{};
    QTest::newRow("CR") << QByteArray("a\rb\rc\r") << L{"a", "b", "c"} << L{"a", "b", "c"};
    QTest::newRow("CRLF") << QByteArray("a\r\nb\r\nc\r\n") << L{"a", "b", "c"} << L{"a", "b", "c"};
    QTest::newRow("LF only") << QByteArray("a\nb\nc\n") << L{"a\nb\nc\n"} << L{"a", "b", "c"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd\r\n\re") << L{"a", "b", "c\nd", "", "e"}
                           << L{"a", "b", "c", "d", "", "e"};
    QTest::newRow("LF right after CRLF") << QByteArray("a\r\n\nb\r\n") << L{"a", "\nb"} << L{"a", "", "b"};
    QTest::newRow("LF before CR") << QByteArray("a\n\rb") << L{"a\n", "b"} << L{"a", "", "b"};
    QTest::newRow("empty lines CR") << QByteArray("\r\r\r") << L{"", "", ""} << L{"", "", ""};
    QTest::newRow("empty lines CRLF") << QByteArray("\r\n\r\n") << L{"", ""} << L{"", ""};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << L{"a", "", "b"} << L{"a", "", "b"};
    QTest::newRow("trailing CR") << QByteArray("a\rb\r") << L{"a", "b"} << L{"a", "b"};
    QTest::newRow("no final line end") << QByteArray("a\r\nlast") << L{"a", "last"} << L{"a", "last"};
    QTest::newRow("LF, no final line end") << QByteArray("a\nlast") << L{"a\nlast"} << L{"a", "last"};
    QTest::newRow("single line no end") << QByteArray("only") << L{"only"} << L{"only"};
    QTest::newRow("lone LF") << QByteArray("\n") << L{"\n"} << L{""};
    QTest::newRow("NUL bytes") << QByteArray("a\0b\r\n\0\n", 7)
                               << L{QByteArray("a\0b", 3), QByteArray("\0\n", 2)}
                               << L{QByteArray("a\0b", 3), QByteArray("\0", 1)};
    QTest::newRow("bytes 0x80-0xFF") << QByteArray("\x80\xff\xfe\r\n\xc3\x28\r\n\xe9t\xe9")
                                     << L{"\x80\xff\xfe", "\xc3\x28", "\xe9t\xe9"}
                                     << L{"\x80\xff\xfe", "\xc3\x28", "\xe9t\xe9"};
    QTest::newRow("syslog line") << QByteArray("<34>Oct 11 22:14:15 host su: failed\r\n")
                                 << L{"<34>Oct 11 22:14:15 host su: failed"}
                                 << L{"<34>Oct 11 22:14:15 host su: failed"};
}

void TestSourceLines::splitting() {
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<QByteArray>, anyEndLines);
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(QStringLiteral("src.txt"), content));

    for (const LineEnds ends : {LineEnds::CarriageReturn, LineEnds::Any}) {
        const QList<QByteArray>& expected = ends == LineEnds::Any ? anyEndLines : lines;
        RunError error;
        QCOMPARE(readAll(QStringLiteral("src.txt"), &error, ends), expected);
        QVERIFY2(!error.isError(), qPrintable(error.description));
        QCOMPARE(readByIndex(QStringLiteral("src.txt"), &error, ends), expected);
        QVERIFY2(!error.isError(), qPrintable(error.description));
        QList<QByteArray> visited;
        QVERIFY(!SourceReader::forEachLine(
                     QStringLiteral("src.txt"), [&](const QByteArray& line) { visited << line; }, ends)
                     .isError());
        QCOMPARE(visited, expected);
    }
}

void TestSourceLines::lineEndAcrossBlocks_data() {
    // The reader fills 64 KiB at a time and the index 1 MiB: put a CRLF's two bytes, and a
    // lone CR, on both sides of those boundaries.
    QTest::addColumn<int>("crOffset");
    QTest::addColumn<QByteArray>("after");
    for (int boundary : {64 * 1024, 1024 * 1024}) {
        QTest::addRow("CRLF split at %d", boundary) << boundary - 1 << QByteArray("\n");
        QTest::addRow("CR last of block %d", boundary) << boundary - 1 << QByteArray("x");
        QTest::addRow("CR first of block %d", boundary) << boundary << QByteArray("\n");
        QTest::addRow("CR ends file at %d", boundary) << boundary - 1 << QByteArray();
    }
}

void TestSourceLines::lineEndAcrossBlocks() {
    QFETCH(int, crOffset);
    QFETCH(QByteArray, after);
    WorkDir dir;
    QVERIFY(dir.isValid());
    QByteArray first(crOffset, 'a');
    first[0] = 'S';
    QByteArray content = first + '\r' + after + "tail\r\n";
    if (after.isEmpty())
        content = first + '\r';
    QVERIFY(writeFile(QStringLiteral("big.txt"), content));

    QList<QByteArray> expected{first};
    if (!after.isEmpty())
        expected << (after == "\n" ? QByteArray("tail") : after + "tail");

    for (const LineEnds ends : {LineEnds::CarriageReturn, LineEnds::Any}) {
        RunError error;
        QCOMPARE(readAll(QStringLiteral("big.txt"), &error, ends), expected);
        QVERIFY(!error.isError());
        QCOMPARE(readByIndex(QStringLiteral("big.txt"), &error, ends), expected);
        QVERIFY(!error.isError());
    }
}

void TestSourceLines::indexPastEndAfterShrink() {
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(QStringLiteral("s.txt"), "one\r\ntwo\r\nthree\r\n"));
    LineIndex index;
    QVERIFY(!index.build(QStringLiteral("s.txt")).isError());
    QCOMPARE(index.count(), qint64(3));
    QVERIFY(writeFile(QStringLiteral("s.txt"), "one\r\n"));

    QByteArray line;
    QVERIFY(!index.readLine(0, &line).isError());
    QCOMPARE(line, QByteArray("one"));
    const RunError error = index.readLine(2, &line);
    QCOMPARE(error.number, int(RunError::InputPastEnd));
    QVERIFY(error.description.contains(QStringLiteral("s.txt")));
}

void TestSourceLines::indexedLineReadsFromItsOffset() {
    // Rewriting a line's bytes in place shows at once: the draw reads the file, not a copy.
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(QStringLiteral("s.txt"), "aaa\r\nbbb\r\nccc"));
    LineIndex index;
    QVERIFY(!index.build(QStringLiteral("s.txt")).isError());
    QVERIFY(writeFile(QStringLiteral("s.txt"), "aaa\r\nBxB\r\nccc"));
    QByteArray line;
    QVERIFY(!index.readLine(1, &line).isError());
    QCOMPARE(line, QByteArray("BxB"));
    QVERIFY(!index.readLine(2, &line).isError());
    QCOMPARE(line, QByteArray("ccc"));
}

void TestSourceLines::openFailures_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    QTest::newRow("missing file") << QStringLiteral("Logs Source/none.txt") << int(RunError::FileNotFound);
    QTest::newRow("missing folder") << QStringLiteral("No Folder/none.txt") << int(RunError::PathNotFound);
    QTest::newRow("a folder") << QStringLiteral("Logs Source") << int(RunError::PathFileAccess);
    QTest::newRow("a FIFO (would block)")
        << QStringLiteral("Logs Source/fifo.txt") << int(RunError::PathFileAccess);
    QTest::newRow("a device (endless)") << QStringLiteral("/dev/zero") << int(RunError::PathFileAccess);
}

void TestSourceLines::openFailures() {
    QFETCH(QString, path);
    QFETCH(int, number);
    WorkDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(::mkfifo("Logs Source/fifo.txt", 0600), 0);
    SourceReader reader;
    RunError error = reader.open(path);
    QCOMPARE(error.number, number);
    QVERIFY(error.description.contains(path));
    QVERIFY(!reader.isOpen());
    bool atEnd = false;
    QCOMPARE(reader.checkEnd(&atEnd).number, int(RunError::BadFileNumber));

    LineIndex index;
    QCOMPARE(index.build(path).number, number);
}

void TestSourceLines::unreadableFile() {
    if (::geteuid() == 0)
        QSKIP("running as root: file permissions do not apply");
    WorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(QStringLiteral("locked.txt"), "x\r\n"));
    QVERIFY(QFile::setPermissions(QStringLiteral("locked.txt"), QFileDevice::WriteOwner));
    SourceReader reader;
    QCOMPARE(reader.open(QStringLiteral("locked.txt")).number, int(RunError::PermissionDenied));
}

QTEST_GUILESS_MAIN(TestSourceLines)
#include "tst_sourcelines.moc"
