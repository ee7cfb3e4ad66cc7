// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWorkDir.h"
#include "window/FileListBox.h"

#include <QtTest>

#include <sys/stat.h>

// The hidden file list: a name-ordered snapshot of a folder's plain files.
class TestFileListBox : public QObject {
    Q_OBJECT

private slots:
    void snapshot_data();
    void snapshot();
    void specialFilesLeftOut();
    void snapshotIsNotRefreshed();
    void outOfRange();
};

void TestFileListBox::snapshot_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("empty folder") << none << none << none;
    QTest::newRow("every extension") << QStringList{"web.txt", "b.log", "notes", "c.TXT"} << none
                                     << QStringList{"b.log", "c.TXT", "notes", "web.txt"};
    QTest::newRow("case-insensitive order") << QStringList{"b.txt", "A.txt", "C.txt", "a2.txt"} << none
                                            << QStringList{"A.txt", "a2.txt", "b.txt", "C.txt"};
    QTest::newRow("hidden files left out")
        << QStringList{".env", ".web.txt", "web.txt"} << none << QStringList{"web.txt"};
    QTest::newRow("folders left out")
        << QStringList{"web.txt"} << QStringList{"old", "x.txt"} << QStringList{"web.txt"};
    QTest::newRow("accented and spaced names")
        << QStringList{"g\u00e9n\u00e9r\u00e9.txt", "deux mots.txt"} << none
        << QStringList{"deux mots.txt", "g\u00e9n\u00e9r\u00e9.txt"};
}

void TestFileListBox::snapshot() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, expected);
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("src")));
    for (const QString& f : files)
        QVERIFY(dir.write(QStringLiteral("src/") + f, "line\r\n"));
    for (const QString& f : folders)
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("src/") + f));

    FileListBox list;
    list.setFolder(QStringLiteral("src"));
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.fileName(i);
    QCOMPARE(names, expected);
}

void TestFileListBox::specialFilesLeftOut() {
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("src")));
    QVERIFY(dir.write(QStringLiteral("src/web.txt"), "x"));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("src/pipe.txt"))).constData(), 0600) == 0);
    FileListBox list;
    list.setFolder(QStringLiteral("src"));
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.fileName(0), QStringLiteral("web.txt"));
}

void TestFileListBox::snapshotIsNotRefreshed() {
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("src")));
    QVERIFY(dir.write(QStringLiteral("src/a.txt"), "x"));
    FileListBox list;
    list.setFolder(QStringLiteral("src"));
    QVERIFY(dir.write(QStringLiteral("src/b.txt"), "x"));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("src/a.txt"))));
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.fileName(0), QStringLiteral("a.txt"));
    // Setting the folder again takes a new snapshot.
    list.setFolder(QStringLiteral("src"));
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.fileName(0), QStringLiteral("b.txt"));
    // A folder that is gone gives an empty list.
    list.setFolder(QStringLiteral("missing"));
    QCOMPARE(list.count(), 0);
}

void TestFileListBox::outOfRange() {
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("src")));
    QVERIFY(dir.write(QStringLiteral("src/a.txt"), "x"));
    FileListBox list;
    QCOMPARE(list.count(), 0);
    list.setFolder(QStringLiteral("src"));
    QVERIFY(list.fileName(-1).isEmpty());
    QVERIFY(list.fileName(1).isEmpty());
    QCOMPARE(list.fileName(0), QStringLiteral("a.txt"));
}

QTEST_MAIN(TestFileListBox)
#include "tst_filelistbox.moc"
