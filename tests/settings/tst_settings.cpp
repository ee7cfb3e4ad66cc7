// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWorkDir.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <QtTest>

#include <memory>

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pathFollowsCurrentDirectory();
    void utf8RoundTrip();
    void cutNeverSplitsACharacter_data();
    void cutNeverSplitsACharacter();
    void invalidBytesStillCut();
    void missingValueIsEmpty();
    void refusedValueChangesNothing();
    void removedWorkingDirectory();
    void failedWriteIsSignalled();

private:
    std::unique_ptr<TestWorkDir> m_dir;
};

void TestSettings::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
}

void TestSettings::cleanup() {
    m_dir.reset();
}

void TestSettings::pathFollowsCurrentDirectory() {
    QVERIFY(QDir().mkdir(QStringLiteral("a")));
    QVERIFY(QDir().mkdir(QStringLiteral("b")));
    const QString a = QDir(m_dir->path()).canonicalPath() + QStringLiteral("/a");
    const QString b = QDir(m_dir->path()).canonicalPath() + QStringLiteral("/b");

    QVERIFY(QDir::setCurrent(a));
    QCOMPARE(QDir(QFileInfo(Settings::path()).absolutePath()).canonicalPath(), a);
    QCOMPARE(QFileInfo(Settings::path()).fileName(), QStringLiteral("Talvex.ini"));
    QVERIFY(Settings::write(QStringLiteral("Settings"), QStringLiteral("Language"), QStringLiteral("2")));

    QVERIFY(QDir::setCurrent(b));
    QCOMPARE(QDir(QFileInfo(Settings::path()).absolutePath()).canonicalPath(), b);
    QCOMPARE(Settings::read(QStringLiteral("Settings"), QStringLiteral("Language")), QString());
    QVERIFY(!QFile::exists(b + QStringLiteral("/Talvex.ini")));

    QVERIFY(QDir::setCurrent(a));
    QCOMPARE(Settings::read(QStringLiteral("settings"), QStringLiteral("LANGUAGE")), QStringLiteral("2"));
}

void TestSettings::utf8RoundTrip() {
    const QString value = QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s \u20ac \U0001F600");
    QVERIFY(Settings::write(QStringLiteral("Source 1"), QStringLiteral("SourceFile"), value));
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("SourceFile")), value);
    // Stored as the UTF-8 bytes, nothing else.
    QFile file(Settings::path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[Source 1]\r\nSourceFile=") + value.toUtf8() + "\r\n");
}

void TestSettings::cutNeverSplitsACharacter_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const QString e = QStringLiteral("\u00e9");         // 2 bytes
    const QString euro = QStringLiteral("\u20ac");      // 3 bytes
    const QString smile = QStringLiteral("\U0001F600"); // 4 bytes
    QTest::newRow("ASCII 120") << QString(120, QLatin1Char('x')) << QString(99, QLatin1Char('x'));
    QTest::newRow("exactly 99 bytes")
        << QString(97, QLatin1Char('a')) + e << QString(97, QLatin1Char('a')) + e;
    QTest::newRow("2-byte across the cut")
        << QString(98, QLatin1Char('a')) + e << QString(98, QLatin1Char('a'));
    QTest::newRow("2-byte right after the cut")
        << QString(99, QLatin1Char('a')) + e << QString(99, QLatin1Char('a'));
    QTest::newRow("3-byte, 1 byte in")
        << QString(98, QLatin1Char('a')) + euro << QString(98, QLatin1Char('a'));
    QTest::newRow("3-byte, 2 bytes in")
        << QString(97, QLatin1Char('a')) + euro + QLatin1Char('z') << QString(97, QLatin1Char('a'));
    QTest::newRow("4-byte, 3 bytes in")
        << QString(96, QLatin1Char('a')) + smile << QString(96, QLatin1Char('a'));
    QTest::newRow("4-byte, 1 byte in")
        << QString(98, QLatin1Char('a')) + smile << QString(98, QLatin1Char('a'));
    QTest::newRow("4-byte ends at 99")
        << QString(95, QLatin1Char('a')) + smile + QLatin1Char('z') << QString(95, QLatin1Char('a')) + smile;
    QTest::newRow("all 2-byte") << e.repeated(60) << e.repeated(49);
    QTest::newRow("all 3-byte") << euro.repeated(40) << euro.repeated(33);
}

void TestSettings::cutNeverSplitsACharacter() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QVERIFY(Settings::write(QStringLiteral("Source 1"), QStringLiteral("SourceFile"), value));
    const QString read = Settings::read(QStringLiteral("Source 1"), QStringLiteral("SourceFile"));
    QCOMPARE(read, expected);
    QVERIFY(read.toUtf8().size() <= 99);
    QVERIFY(!read.contains(QChar::ReplacementCharacter));
}

void TestSettings::invalidBytesStillCut() {
    // Not UTF-8 at all (written by hand in another code page): the plain byte limit applies.
    QVERIFY(ProfileFile::write(Settings::path(), "S", "k", QByteArray(150, '\x80')));
    const QString read = Settings::read(QStringLiteral("S"), QStringLiteral("k"));
    QVERIFY(!read.isEmpty());
    QVERIFY(read.size() <= 99);
    QVERIFY(ProfileFile::write(Settings::path(), "S", "k", QByteArray(98, 'a') + QByteArray(50, '\xbf')));
    QCOMPARE(Settings::read(QStringLiteral("S"), QStringLiteral("k")).left(98),
             QString(98, QLatin1Char('a')));
}

void TestSettings::missingValueIsEmpty() {
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("Delay")), QString());
    QVERIFY(Settings::write(QStringLiteral("Source 1"), QStringLiteral("Loop"), QStringLiteral("0")));
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("Delay")), QString());
    QCOMPARE(Settings::read(QStringLiteral("Source 2"), QStringLiteral("Loop")), QString());
}

void TestSettings::refusedValueChangesNothing() {
    QVERIFY(
        Settings::write(QStringLiteral("Source 1"), QStringLiteral("HostIP"), QStringLiteral("127.0.0.1")));
    QVERIFY(!Settings::write(QStringLiteral("Source 1"), QStringLiteral("HostIP"),
                             QStringLiteral("10.0.0.1\n[Source 2]\nMemory=1")));
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("HostIP")),
             QStringLiteral("127.0.0.1"));
    QCOMPARE(Settings::read(QStringLiteral("Source 2"), QStringLiteral("Memory")), QString());
}

void TestSettings::removedWorkingDirectory() {
    // getcwd() fails once the folder is gone; nothing may then land in the root folder.
    const bool rootHadOne = QFile::exists(QStringLiteral("/Talvex.ini"));
    QVERIFY(QDir().mkdir(QStringLiteral("gone")));
    QVERIFY(QDir::setCurrent(QStringLiteral("gone")));
    QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("gone")));
    QCOMPARE(Settings::path(), QString());
    QVERIFY(!Settings::write(QStringLiteral("Settings"), QStringLiteral("Language"), QStringLiteral("2")));
    QCOMPARE(Settings::read(QStringLiteral("Settings"), QStringLiteral("Language")), QString());
    QCOMPARE(QFile::exists(QStringLiteral("/Talvex.ini")), rootHadOne);
    QVERIFY(!QFile::exists(QStringLiteral("/Talvex.ini.lock")));
}

void TestSettings::failedWriteIsSignalled() {
    QSignalSpy spy(Settings::notifier(), &SettingsWriteNotifier::writeFailed);
    QVERIFY(Settings::write(QStringLiteral("Source 1"), QStringLiteral("Delay"), QStringLiteral("5")));
    QCOMPARE(spy.count(), 0);
    QVERIFY(!Settings::write(QStringLiteral("Source 1"), QStringLiteral("Delay"), QStringLiteral("5\n6")));
    QCOMPARE(spy.count(), 1);
}

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
