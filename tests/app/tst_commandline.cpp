// SPDX-License-Identifier: GPL-3.0-or-later
#include "Permissions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The command line of the installed program: talvex is copied into a throwaway prefix beside
// sample sources, and run with a home folder of its own.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void refused_data();
    void refused();
    void information_data();
    void information();
    void withoutDisplay_data();
    void withoutDisplay();
    void folder_data();
    void folder();
    void userFolderFirstStart();
    void userFolderKeptAsItIs();
    void userFolderFollowsUserDirs();

private:
    struct Outcome {
        int status = -1;
        QByteArray out, err;
    };
    // Points a child's home, configuration folder and working folder at the throwaway home.
    void atHome(QProcess& p) const;
    Outcome runToEnd(const QStringList& args);
    // Starts Talvex, waits until it works in expected (it was still running then), and ends it.
    bool worksIn(const QStringList& args, const QString& expected);
    QString documents() const { return m_home->filePath(QStringLiteral("Documents")); }

    QTemporaryDir m_prefix;
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_exe;
    QStringList m_samples;
    // Children started without any display to show a window on.
    bool m_noDisplay = false;
};

void TestCommandLine::initTestCase() {
    QVERIFY(m_prefix.isValid());
    QDir prefix(m_prefix.path());
    QVERIFY(prefix.mkpath(QStringLiteral("bin")));
    QVERIFY(prefix.mkpath(QStringLiteral("share/talvex/examples/Logs Source")));
    m_exe = prefix.filePath(QStringLiteral("bin/talvex"));
    QVERIFY(QFile::copy(QStringLiteral(TALVEX_EXE), m_exe));
    const QDir samples(QStringLiteral(TALVEX_EXAMPLES));
    m_samples = samples.entryList(QDir::Files, QDir::Name);
    QVERIFY(!m_samples.isEmpty());
    for (const QString& name : std::as_const(m_samples))
        QVERIFY(QFile::copy(samples.filePath(name),
                            prefix.filePath(QStringLiteral("share/talvex/examples/Logs Source/") + name)));
}

void TestCommandLine::init() {
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
}

void TestCommandLine::atHome(QProcess& p) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral(".config")));
    if (m_noDisplay) {
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_home->path());
}

TestCommandLine::Outcome TestCommandLine::runToEnd(const QStringList& args) {
    QProcess p;
    atHome(p);
    p.start(m_exe, args);
    Outcome o;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return o;
    }
    o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = p.readAllStandardOutput();
    o.err = p.readAllStandardError();
    return o;
}

bool TestCommandLine::worksIn(const QStringList& args, const QString& expected) {
    QProcess p;
    atHome(p);
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(m_exe, args);
    if (!p.waitForStarted())
        return false;
    const QString cwd = QStringLiteral("/proc/%1/cwd").arg(p.processId());
    bool there = false;
    for (int i = 0; i < 300 && !there && p.state() == QProcess::Running; ++i) {
        // Read each time: the user folder only exists once Talvex has made it.
        const QString want = QFileInfo(expected).canonicalFilePath();
        there = !want.isEmpty() && QFileInfo(cwd).canonicalFilePath() == want;
        if (!there)
            p.waitForFinished(100);
    }
    p.terminate();
    if (!p.waitForFinished(10000))
        p.kill();
    // The signal may come before the window exists, while it still ends the process outright.
    return there;
}

void TestCommandLine::refused_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown long") << QStringList{"--bogus"} << QByteArray("Unknown option 'bogus'");
    QTest::newRow("unknown short") << QStringList{"-x"} << QByteArray("Unknown option 'x'");
    QTest::newRow("-C without DIR") << QStringList{"-C"} << QByteArray("Missing value after '-C'");
    QTest::newRow("argument") << QStringList{"web"} << QByteArray("unexpected argument 'web'");
    QTest::newRow("missing DIR") << QStringList{"-C", "nowhere"} << QByteArray("nowhere: no such folder");
    QTest::newRow("missing DIR, long")
        << QStringList{"--folder", "nowhere"} << QByteArray("nowhere: no such folder");
    QTest::newRow("file as DIR") << QStringList{"--folder=afile"} << QByteArray("afile: not a folder");
    QTest::newRow("closed DIR") << QStringList{"-C", "closed"} << QByteArray("closed: permission denied");
    QTest::newRow("both folders") << QStringList{"-C", ".", "--user-folder"}
                                  << QByteArray("--folder and --user-folder cannot be used together");
    QTest::newRow("user folder is a file")
        << QStringList{"--user-folder"} << QByteArray("Documents/Talvex: exists and is not a folder");
}

// Refused before any window: status 2, the reason on stderr, and nothing created.
void TestCommandLine::refused() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, message);
    QDir home(m_home->path());
    QVERIFY(QFile(home.filePath(QStringLiteral("afile"))).open(QIODevice::WriteOnly));
    const bool closed = args.contains(QStringLiteral("closed"));
    if (closed && !permissionsEnforced())
        QSKIP("permissions do not apply to this process");
    QVERIFY(home.mkdir(QStringLiteral("closed")));
    if (closed)
        QVERIFY(QFile::setPermissions(home.filePath(QStringLiteral("closed")), QFileDevice::Permissions()));
    QVERIFY(home.mkdir(QStringLiteral("Documents")));
    QVERIFY(QFile(documents() + QStringLiteral("/Talvex")).open(QIODevice::WriteOnly));
    const QStringList before = home.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const Outcome o = runToEnd(args);
    QFile::setPermissions(home.filePath(QStringLiteral("closed")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(o.status, 2);
    QVERIFY2(o.err.contains(message), o.err.constData());
    QVERIFY(o.out.isEmpty());
    QCOMPARE(home.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Talvex.ini"))));
}

void TestCommandLine::information_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("-v") << "-v" << QByteArray("Talvex 1.2\n");
    QTest::newRow("--version") << "--version" << QByteArray("Talvex 1.2\n");
    QTest::newRow("-h") << "-h" << QByteArray("--user-folder");
    QTest::newRow("--help") << "--help" << QByteArray("-C, --folder <DIR>");
    QTest::newRow("--help-all") << "--help-all" << QByteArray("-platform");
}

void TestCommandLine::information() {
    QFETCH(QString, option);
    QFETCH(QByteArray, expected);
    const Outcome o = runToEnd({option});
    QCOMPARE(o.status, 0);
    if (expected.endsWith('\n'))
        QCOMPARE(o.out, expected);
    else
        QVERIFY2(o.out.contains(expected), o.out.constData());
    QVERIFY(!QFileInfo::exists(m_home->filePath(QStringLiteral("Talvex.ini"))));
}

void TestCommandLine::withoutDisplay_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("-v") << QStringList{"-v"} << 0 << QByteArray("Talvex 1.2\n") << QByteArray();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << QByteArray("-C, --folder <DIR>") << QByteArray();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QByteArray()
                                    << QByteArray("Unknown option 'bogus'");
    QTest::newRow("Qt's own option passed over")
        << QStringList{"-style", "Fusion", "-x"} << 2 << QByteArray() << QByteArray("Unknown option 'x'");
    QTest::newRow("the window") << QStringList{} << 1 << QByteArray()
                                << QByteArray("talvex: no display to show the window on");
}

// Help, version and usage errors need no display; the window says it has none and fails.
void TestCommandLine::withoutDisplay() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    m_noDisplay = true;
    const Outcome o = runToEnd(args);
    m_noDisplay = false;
    QCOMPARE(o.status, status);
    QVERIFY2(out.endsWith('\n') ? o.out == out : o.out.contains(out), o.out.constData());
    QVERIFY2(o.err.contains(err), o.err.constData());
}

void TestCommandLine::folder_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("folder");
    QTest::newRow("none: the current directory") << QStringList{} << QString();
    QTest::newRow("-C") << QStringList{"-C", "work"} << QStringLiteral("work");
    QTest::newRow("--folder") << QStringList{"--folder", "work"} << QStringLiteral("work");
    QTest::newRow("-C absolute") << QStringList{"-C", "@/work"} << QStringLiteral("work");
    QTest::newRow("name with blanks")
        << QStringList{"--folder=Logs de test"} << QStringLiteral("Logs de test");
}

void TestCommandLine::folder() {
    QFETCH(QStringList, args);
    QFETCH(QString, folder);
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("work")));
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("Logs de test")));
    args.replaceInStrings(QStringLiteral("@"), m_home->path());
    QVERIFY(worksIn(args, m_home->filePath(folder)));
    // A folder given is used, never prepared: nothing is added to it.
    if (!folder.isEmpty())
        QVERIFY(
            QDir(m_home->filePath(folder)).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TestCommandLine::userFolderFirstStart() {
    const QString talvex = documents() + QStringLiteral("/Talvex");
    QVERIFY(worksIn({QStringLiteral("--user-folder")}, talvex));
    QDir dir(talvex);
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
             (QStringList{QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s"), QStringLiteral("Logs Source")}));
    QVERIFY(QDir(dir.filePath(QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s"))).isEmpty());
    QCOMPARE(QDir(dir.filePath(QStringLiteral("Logs Source"))).entryList(QDir::Files, QDir::Name), m_samples);
    for (const QString& name : std::as_const(m_samples)) {
        QFile copy(dir.filePath(QStringLiteral("Logs Source/") + name));
        QFile sample(QStringLiteral(TALVEX_EXAMPLES "/") + name);
        QVERIFY(copy.open(QIODevice::ReadOnly) && sample.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), sample.readAll());
    }
    // No temporary folder left beside it.
    QCOMPARE(QDir(documents()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("Talvex")});
}

void TestCommandLine::userFolderKeptAsItIs() {
    const QString talvex = documents() + QStringLiteral("/Talvex");
    QVERIFY(worksIn({QStringLiteral("--user-folder")}, talvex));
    QDir dir(talvex);
    QVERIFY(QDir(dir.filePath(QStringLiteral("Logs Source"))).remove(m_samples.first()));
    QFile own(dir.filePath(QStringLiteral("Logs Source/") + m_samples.last()));
    QVERIFY(own.open(QIODevice::WriteOnly | QIODevice::Truncate));
    own.write("my own line\r\n");
    own.close();

    QVERIFY(worksIn({QStringLiteral("--user-folder")}, talvex));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Logs Source/") + m_samples.first())));
    QVERIFY(own.open(QIODevice::ReadOnly));
    QCOMPARE(own.readAll(), QByteArray("my own line\r\n"));
}

void TestCommandLine::userFolderFollowsUserDirs() {
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral(".config")));
    QFile dirs(m_home->filePath(QStringLiteral(".config/user-dirs.dirs")));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Mes documents\"\n");
    dirs.close();
    const QString talvex = m_home->filePath(QStringLiteral("Mes documents/Talvex"));
    QVERIFY(worksIn({QStringLiteral("--user-folder")}, talvex));
    QCOMPARE(QDir(talvex + QStringLiteral("/Logs Source")).entryList(QDir::Files, QDir::Name), m_samples);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
