// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestKit.h"
#include "LocalZone.h"
#include "OddBytesSource.h"
#include "UdpReceiver.h"
#include "engine/RandomFraction.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimeZone>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace EngineTestKit;

namespace {
struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Three lines, so loops and counts show where they cut.
const QByteArray Abc = "a\r\nb\r\nc\r\n";
} // namespace

// talvex-send as scripts use it: a child process with arguments, standard input, an exit
// status, standard output and standard error; its lines checked where they land.
class TestSend : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bytesUnchanged_data();
    void bytesUnchanged();
    void fileStartedAnewOrAppended_data();
    void fileStartedAnewOrAppended();
    void pacingFromTheClock();
    void randomMatchesTheWindow_data();
    void randomMatchesTheWindow();
    void loopWithCount();
    void durationEndsTheRun();
    void slotFromHandWrittenIni_data();
    void slotFromHandWrittenIni();
    void exitStatus_data();
    void exitStatus();
    void sigtermDuringFileRun();
    void helpAndVersion();
    void progressOnATerminal_data();
    void progressOnATerminal();
    void inAShell_data();
    void inAShell();
    void replayStampedAtTheRecordedPace();

private:
    Result send(const QStringList& args, const QByteArray& input = QByteArray(), int timeoutMs = 30000);
    Result shell(const QString& script);
    std::unique_ptr<WorkDir> m_dir;
};

void TestSend::init() {
    m_dir = std::make_unique<WorkDir>();
    QVERIFY(m_dir->isValid());
}

void TestSend::cleanup() {
    m_dir.reset();
}

Result TestSend::send(const QStringList& args, const QByteArray& input, int timeoutMs) {
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(TALVEX_SEND), args);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    Result r;
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}

void TestSend::bytesUnchanged_data() {
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<bool>("fromStdin");
    QTest::newRow("file to UDP") << false << false;
    QTest::newRow("file to file") << true << false;
    QTest::newRow("standard input to UDP") << false << true;
    QTest::newRow("standard input to file") << true << true;
}

void TestSend::bytesUnchanged() {
    QFETCH(bool, toFile);
    QFETCH(bool, fromStdin);
    QVERIFY(writeFile(QStringLiteral("odd.txt"), OddBytesSource::file()));
    UdpReceiver receiver;
    QVERIFY(receiver.isValid());
    // The window's rule, under which the lone line feed stays inside its line.
    QStringList args{QStringLiteral("-d"), QStringLiteral("0.001"), QStringLiteral("--line-ends=cr")};
    args << (toFile
                 ? QStringList{QStringLiteral("-o"), QStringLiteral("out.txt")}
                 : QStringList{QStringLiteral("--to"), QStringLiteral("127.0.0.1:%1").arg(receiver.port())});
    args << (fromStdin ? QStringLiteral("-") : QStringLiteral("odd.txt"));
    const Result r = send(args, fromStdin ? OddBytesSource::file() : QByteArray());

    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QByteArray()); // nothing on standard output unless --echo
    QVERIFY2(r.err.contains("5 lines") && r.err.contains("end of source"), r.err.constData());
    QVERIFY(!r.err.contains('\r')); // no progress line when standard error is not a terminal
    const QList<QByteArray> expected = OddBytesSource::lines();
    if (toFile)
        QCOMPARE(readFile(QStringLiteral("out.txt")), crlfLines(expected));
    else
        QCOMPARE(receiver.receive(int(expected.size())), expected);
}

void TestSend::fileStartedAnewOrAppended_data() {
    QTest::addColumn<bool>("append");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("started anew") << false << Abc;
    QTest::newRow("--append") << true << QByteArray("old\r\n" + Abc);
}

void TestSend::fileStartedAnewOrAppended() {
    QFETCH(bool, append);
    QFETCH(QByteArray, expected);
    QVERIFY(writeFile(QStringLiteral("abc.txt"), Abc));
    QVERIFY(writeFile(QStringLiteral("out.txt"), "old\r\n"));
    QStringList args{QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-o"),
                     QStringLiteral("out.txt"), QStringLiteral("abc.txt")};
    if (append)
        args << QStringLiteral("--append");
    QCOMPARE(send(args).status, 0);
    QCOMPARE(readFile(QStringLiteral("out.txt")), expected);
}

void TestSend::pacingFromTheClock() {
    // The first line one delay after the start, each next one a delay after the last; loosely,
    // as a busy machine may be late but never early.
    QVERIFY(writeFile(QStringLiteral("abc.txt"), Abc));
    UdpReceiver receiver;
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(TALVEX_SEND),
                  {QStringLiteral("-d"), QStringLiteral("0.3"), QStringLiteral("-q"), QStringLiteral("-t"),
                   QStringLiteral("127.0.0.1:%1").arg(receiver.port()), QStringLiteral("abc.txt")});
    QList<qint64> arrivals;
    for (int i = 0; i < 3; ++i) {
        if (receiver.receive(1, 10000).size() == 1)
            arrivals << clock.elapsed();
    }
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(arrivals.size(), 3);
    QVERIFY2(arrivals[0] >= 300, QByteArray::number(arrivals[0]).constData());
    QVERIFY(arrivals[1] - arrivals[0] >= 280);
    QVERIFY(arrivals[2] - arrivals[1] >= 280);
}

void TestSend::randomMatchesTheWindow_data() {
    QTest::addColumn<QStringList>("seedArgs");
    QTest::addColumn<bool>("sameAsWindow");
    QTest::newRow("no seed") << QStringList() << true;
    QTest::newRow("the window's seed")
        << QStringList{QStringLiteral("--seed"), QString::number(RandomFraction::DefaultSeed)} << true;
    QTest::newRow("the window's seed in hexadecimal")
        << QStringList{QStringLiteral("--seed"),
                       QStringLiteral("0x") + QString::number(RandomFraction::DefaultSeed, 16)}
        << true;
    QTest::newRow("another seed") << QStringList{QStringLiteral("--seed"), QStringLiteral("1")} << false;
}

void TestSend::randomMatchesTheWindow() {
    QFETCH(QStringList, seedArgs);
    QFETCH(bool, sameAsWindow);
    QByteArray source;
    for (int i = 0; i < 50; ++i)
        source += "line " + QByteArray::number(i) + "\r\n";
    QVERIFY(writeFile(QStringLiteral("Logs Source/web.txt"), source));
    const int draws = 30;

    // The window's first random run of a program start, in a process of its own.
    QProcess window;
    window.start(QStringLiteral(RANDOM_RUN_HELPER),
                 {m_dir->path(), QStringLiteral("web"), QString::number(draws)});
    QVERIFY(window.waitForFinished(30000));
    QCOMPARE(window.exitCode(), 0);
    QList<QByteArray> windowLines;
    for (const QByteArray& hex : window.readAllStandardOutput().split('\n')) {
        if (!hex.isEmpty())
            windowLines << QByteArray::fromHex(hex);
    }
    QCOMPARE(windowLines.size(), draws);

    const Result r = send(QStringList{QStringLiteral("-r"), QStringLiteral("-d"), QStringLiteral("0"),
                                      QStringLiteral("-n"), QString::number(draws), QStringLiteral("--echo"),
                                      QStringLiteral("-o"), QStringLiteral("out.txt"),
                                      QStringLiteral("Logs Source/web.txt")} +
                          seedArgs);
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.endsWith('\n'));
    QCOMPARE(readFile(QStringLiteral("out.txt")), crlfLines(r.out.chopped(1).split('\n')));
    QCOMPARE(r.out.chopped(1).split('\n') == windowLines, sameAsWindow);
}

void TestSend::loopWithCount() {
    QVERIFY(writeFile(QStringLiteral("abc.txt"), Abc));
    const Result r = send({QStringLiteral("-l"), QStringLiteral("-n"), QStringLiteral("7"),
                           QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-o"),
                           QStringLiteral("out.txt"), QStringLiteral("abc.txt")});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.contains("7 lines") && r.err.contains("count reached"), r.err.constData());
    QCOMPARE(readFile(QStringLiteral("out.txt")), crlfLines({"a", "b", "c", "a", "b", "c", "a"}));
}

void TestSend::durationEndsTheRun() {
    // A looping run that only the duration can end.
    QVERIFY(writeFile(QStringLiteral("abc.txt"), Abc));
    const Result r = send({QStringLiteral("-l"), QStringLiteral("-d"), QStringLiteral("0.05"),
                           QStringLiteral("--duration"), QStringLiteral("0.5"), QStringLiteral("-o"),
                           QStringLiteral("out.txt"), QStringLiteral("abc.txt")});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.contains("duration reached"), r.err.constData());
    const QByteArray out = readFile(QStringLiteral("out.txt"));
    QVERIFY(out.endsWith("\r\n"));
    QVERIFY(!out.isEmpty());
    // At most one line per delay.
    QVERIFY2(out.count('\n') <= 10, out.constData());
}

Result TestSend::shell(const QString& script) {
    // $S is the program; `s.txt` a two-line source with CRLF ends.
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("S"), QStringLiteral(TALVEX_SEND));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("bash"),
                  {QStringLiteral("-c"), QStringLiteral("printf 'a\\r\\nb\\r\\n' >s.txt\n") + script});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

void TestSend::inAShell_data() {
    // What a pipeline does with the program: `status` is the script's (the program's, unless the
    // script says otherwise), `said` what standard error must hold, and `file` must hold `content`
    // afterwards (null: not checked).
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArrayList>("said");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    const QString out = QStringLiteral("out.txt");
    const QString src = QStringLiteral("s.txt");
    const QByteArray ab = "a\r\nb\r\n";
    QByteArray thousand;
    for (int i = 1; i <= 1000; ++i)
        thousand += QByteArray::number(i) + "\r\n";
    QByteArray twentyLines; // of the file that fills the size limit below
    for (int i = 1; i <= 20; ++i)
        twentyLines += QByteArray::number(i).rightJustified(100, '0') + "\r\n";

    // Line feeds end lines, and a stream is read as it comes, bounded by the count or the time.
    QTest::newRow("LF lines of a pipe") << "seq 5000 | $S -q -d 0 -n 1000 -o out.txt -" << 0
                                        << QByteArrayList{"1000 lines", "count reached"} << out << thousand;
    QTest::newRow("endless pipe, count")
        << "yes | $S -q -d 0 -n 3 -o out.txt -" << 0 << QByteArrayList{"count reached"} << out
        << QByteArray("y\r\ny\r\ny\r\n");
    QTest::newRow("endless pipe, duration") << "yes | $S -q -d 0.01 --duration 0.3 -o out.txt -" << 0
                                            << QByteArrayList{"duration reached"} << out << QByteArray();
    QTest::newRow("pipe that pauses") << "{ echo one; sleep 0.5; echo two; } | $S -q -d 0 -o out.txt -" << 0
                                      << QByteArrayList{"2 lines"} << out << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("FIFO") << "mkfifo f; printf 'x\\ny\\n' >f & $S -q -d 0 -o out.txt f" << 0
                          << QByteArrayList{} << out << QByteArray("x\r\ny\r\n");
    QTest::newRow("process substitution") << "$S -q -d 0 -o out.txt <(printf 'p\\r\\nq')" << 0
                                          << QByteArrayList{} << out << QByteArray("p\r\nq\r\n");
    QTest::newRow("/dev/stdin") << "printf 'a\\nb' | $S -q -d 0 -o out.txt /dev/stdin" << 0
                                << QByteArrayList{} << out << ab;
    QTest::newRow("kept for --loop") << "printf 'a\\nb\\n' | $S -q -d 0 -l -n 5 -o out.txt -" << 0
                                     << QByteArrayList{} << out << QByteArray("a\r\nb\r\na\r\nb\r\na\r\n");
    QTest::newRow("kept for --random") << "printf 'c\\nc\\n' | $S -q -d 0 -r -n 3 -o out.txt -" << 0
                                       << QByteArrayList{} << out << QByteArray("c\r\nc\r\nc\r\n");
    QTest::newRow("--line-ends cr notice")
        << "printf 'a\\nb\\n' >u.txt; $S -q -d 0 --line-ends cr -o out.txt u.txt" << 0
        << QByteArrayList{"--line-ends any"} << out << QByteArray("a\nb\n\r\n");
    // Never over the source, by whatever name.
    QTest::newRow("output a link to the source") << "ln -s s.txt l.txt; $S -q -d 0 -o l.txt s.txt" << 2
                                                 << QByteArrayList{"is the source itself"} << src << ab;
    QTest::newRow("output a hard link, appended") << "ln s.txt h.txt; $S -q -d 0 --append -o h.txt s.txt" << 2
                                                  << QByteArrayList{"is the source itself"} << src << ab;
    QTest::newRow("standard input is the output")
        << "$S -q -d 0 -o s.txt - <s.txt" << 2 << QByteArrayList{"is the source itself"} << src << ab;
    // The rest a new user met.
    QTest::newRow("output a FIFO without reader")
        << "mkfifo o; $S -q -d 0 -o o s.txt" << 2 << QByteArrayList{"Err: 75"} << src << ab;
    QTest::newRow("empty source, loop")
        << ": >e.txt; $S -q -d 0 -l -o out.txt e.txt" << 0 << QByteArrayList{"0 lines", "source is empty"}
        << out << QByteArray();
    QTest::newRow("echo into a full disk")
        << "$S -q -d 0 --echo -o out.txt s.txt >/dev/full" << 1
        << QByteArrayList{"could not take the lines", "1 error"} << QString() << QByteArray();
    QTest::newRow("echo with standard output closed")
        << "$S -q -d 0 --echo -o out.txt s.txt >&-" << 1 << QByteArrayList{"standard output is closed"}
        << QString() << QByteArray();
    QTest::newRow("write cut half-way") << "for i in $(seq 50); do printf '%0100d\\r\\n' $i; done >big.txt; "
                                           "ulimit -f 2; $S -q -d 0 -o out.txt big.txt"
                                        << 1 << QByteArrayList{"Err: 61 : Disk full"} << out << twentyLines;
    QTest::newRow("no room to keep standard input")
        << "mkdir t; head -c 9000 /dev/zero | (ulimit -f 4; TMPDIR=t $S -q -d 0 -l -o out.txt -); s=$?; "
           "ls -A t; exit $s"
        << 2 << QByteArrayList{"is full"} << QString() << QByteArray();
    QTest::newRow("SIGHUP while keeping standard input")
        << "mkdir t; sleep 5 | TMPDIR=t $S -q -d 0 -l -o out.txt - & p=$!; sleep 0.5; kill -HUP $p; wait $p; "
           "s=$?; ls -A t; exit $s"
        << 0 << QByteArrayList{"interrupted"} << QString() << QByteArray();
    QTest::newRow("IPv4-mapped IPv6 address")
        << "$S -q -d 0 -t '[::ffff:127.0.0.1]:9' s.txt" << 0 << QByteArrayList{"2 lines", "end of source"}
        << QString() << QByteArray();
    QTest::newRow("line too long names its number")
        << "{ printf 'x\\n'; head -c 70000 /dev/zero | tr '\\0' y; } | $S -q -d 0 -t 127.0.0.1:9 -" << 1
        << QByteArrayList{"Err: 10040", "line 2 of the source"} << QString() << QByteArray();
    QTest::newRow("slot values replaced, each said")
        << "printf '[Source "
           "1]\\r\\nDelay=0\\r\\nUDP_Port_Syslog=40000\\r\\nHostIP=box\\r\\nSourceFile=s\\r\\n"
           "SyslogFile=1\\r\\n' >Talvex.ini; cp s.txt 'Logs Source/'; $S -q -s 1 --rate 1000 -n 1 -t "
           "127.0.0.1:9"
        << 0
        << QByteArrayList{"Delay=0 cannot be used; 10 instead",
                          "UDP_Port_Syslog=40000 cannot be used; 514 instead",
                          "HostIP=box cannot be used; 127.0.0.1 instead"}
        << QString() << QByteArray();
    QTest::newRow("JSON summary") << "$S -q -d 0 -o out.txt --summary json s.txt" << 0
                                  << QByteArrayList{"{\"bytes\":2,", "\"end\":\"end of source\"",
                                                    "\"exit_status\":0", "\"lines\":2,"}
                                  << out << ab;
    // Usage errors.
    QTest::newRow("--rate with --delay")
        << "$S -d 1 --rate 5 s.txt" << 2 << QByteArrayList{"exclude each other"} << QString() << QByteArray();
    QTest::newRow("--seed without --random")
        << "$S --seed 3 s.txt" << 2 << QByteArrayList{"needs --random"} << QString() << QByteArray();
    QTest::newRow("--to twice") << "$S -t 127.0.0.1:9 -t 127.0.0.1:10 s.txt" << 2
                                << QByteArrayList{"--to given more than once"} << QString() << QByteArray();
    QTest::newRow("--line-ends unknown")
        << "$S --line-ends lf s.txt" << 2 << QByteArrayList{"--line-ends takes"} << QString() << QByteArray();
}

void TestSend::inAShell() {
    QFETCH(QString, script);
    QFETCH(int, status);
    QFETCH(QByteArrayList, said);
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    const Result r = shell(script);
    QVERIFY2(r.status == status, r.err.constData());
    for (const QByteArray& words : said)
        QVERIFY2(r.err.contains(words), r.err.constData());
    // Nothing on standard output: no echo asked, and nothing left in the temporary folders listed.
    QCOMPARE(r.out, QByteArray());
    if (!file.isEmpty() && !content.isNull())
        QCOMPARE(readFile(file), content);
}

void TestSend::slotFromHandWrittenIni_data() {
    QTest::addColumn<bool>("udp");
    QTest::newRow("slot with UDP output") << true;
    QTest::newRow("slot with file output") << false;
}

void TestSend::slotFromHandWrittenIni() {
    QFETCH(bool, udp);
    QVERIFY(writeFile(QStringLiteral("Logs Source/odd.txt"), OddBytesSource::file()));
    UdpReceiver receiver(32000);
    QVERIFY(receiver.isValid());
    // Slot 1 is taken by a copy and points elsewhere; slot 2, written by hand, is the one read.
    const QByteArray ini = "; written by hand\r\n[Settings]\r\nLanguage=2\r\n"
                           "[Source 1]\r\nMemory=1\r\nSourceFile=none\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\n"
                           "UDP_Port_Syslog=9\r\n"
                           "[ source 2 ]\r\n  delay = 0.01\r\nGenerationType=0\r\nLoop=0\r\nSyslogFile=" +
                           QByteArray(udp ? "1" : "0") + "\r\nHostIP=127.0.0.1  \r\nUDP_Port_Syslog=" +
                           QByteArray::number(receiver.port()) + "\r\nSourceFile=odd\n";
    QVERIFY(writeFile(QStringLiteral("Talvex.ini"), ini));
    const QStringList before = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);

    const Result r = send({QStringLiteral("--slot"), QStringLiteral("2")});
    QVERIFY2(r.status == 0, r.err.constData());
    const QList<QByteArray> expected = OddBytesSource::lines();
    if (udp)
        QCOMPARE(receiver.receive(int(expected.size())), expected);
    else
        QCOMPARE(readFile(QStringLiteral("Logs Générés/odd.txt")), crlfLines(expected));
    // Read only: the file as it was, and no lock or record file beside it.
    QCOMPARE(readFile(QStringLiteral("Talvex.ini")), ini);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), before);
}

void TestSend::exitStatus_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");
    const QString to = QStringLiteral("--to");
    const QString abc = QStringLiteral("abc.txt");
    const QString fast = QStringLiteral("--delay=0");
    QTest::newRow("played to the end")
        << QStringList{fast, QStringLiteral("-o"), QStringLiteral("o.txt"), abc} << 0
        << QByteArray("end of source");
    // Bad usage: nothing is sent.
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus"), abc} << 2
                                    << QByteArray("Unknown option 'bogus'");
    QTest::newRow("no source") << QStringList{fast} << 2 << QByteArray("no SOURCE");
    QTest::newRow("two sources") << QStringList{abc, abc} << 2 << QByteArray("one SOURCE only");
    QTest::newRow("delay not a number") << QStringList{QStringLiteral("-d"), QStringLiteral("abc"), abc} << 2
                                        << QByteArray("--delay takes a number");
    QTest::newRow("negative delay") << QStringList{QStringLiteral("--delay=-1"), abc} << 2
                                    << QByteArray("--delay takes a number");
    QTest::newRow("count 0") << QStringList{QStringLiteral("-n"), QStringLiteral("0"), abc} << 2
                             << QByteArray("--count takes");
    QTest::newRow("duration 0") << QStringList{QStringLiteral("--duration"), QStringLiteral("0"), abc} << 2
                                << QByteArray("--duration takes");
    QTest::newRow("bad seed") << QStringList{QStringLiteral("-r"), QStringLiteral("--seed"),
                                             QStringLiteral("-5"), abc}
                              << 2 << QByteArray("--seed takes");
    // Replay: the recorded pace is a pace of its own, in file order.
    const QString recorded = QStringLiteral("--pace=recorded");
    QTest::newRow("--pace recorded with --delay")
        << QStringList{recorded, fast, abc} << 2 << QByteArray("--pace recorded excludes --delay");
    QTest::newRow("--pace recorded with --rate") << QStringList{recorded, QStringLiteral("--rate=5"), abc}
                                                 << 2 << QByteArray("--pace recorded excludes --rate");
    QTest::newRow("--pace recorded with --random")
        << QStringList{QStringLiteral("-r"), recorded, abc} << 2 << QByteArray("not with --random");
    QTest::newRow("unknown pace") << QStringList{QStringLiteral("--pace=fixed"), abc} << 2
                                  << QByteArray("--pace takes \"recorded\" (got \"fixed\")");
    QTest::newRow("--speed without --pace") << QStringList{QStringLiteral("--speed=2"), abc} << 2
                                            << QByteArray("--speed divides the recorded gaps");
    QTest::newRow("--speed 0") << QStringList{recorded, QStringLiteral("--speed=0"), abc} << 2
                               << QByteArray("--speed takes a number from 0.001 to 1000000");
    QTest::newRow("--max-gap without --pace") << QStringList{QStringLiteral("--max-gap=1"), abc} << 2
                                              << QByteArray("--max-gap caps the recorded gaps");
    QTest::newRow("negative --max-gap") << QStringList{recorded, QStringLiteral("--max-gap=-1"), abc} << 2
                                        << QByteArray("--max-gap takes a number of seconds");
    QTest::newRow("two outputs") << QStringList{to, QStringLiteral("127.0.0.1:514"), QStringLiteral("-o"),
                                                QStringLiteral("o.txt"), abc}
                                 << 2 << QByteArray("exclude each other");
    QTest::newRow("--append without a file")
        << QStringList{QStringLiteral("--append"), abc} << 2 << QByteArray("--append only applies");
    QTest::newRow("output is the source")
        << QStringList{QStringLiteral("-o"), abc, abc} << 2 << QByteArray("is the source itself");
    QTest::newRow("slot out of range") << QStringList{QStringLiteral("-s"), QStringLiteral("21")} << 2
                                       << QByteArray("--slot takes a number from 1 to 20");
    QTest::newRow("slot without Talvex.ini")
        << QStringList{QStringLiteral("-s"), QStringLiteral("1")} << 2 << QByteArray("no Talvex.ini");
    // Bad hosts.
    QTest::newRow("name that cannot resolve") << QStringList{to, QStringLiteral("nowhere.invalid:514"), abc}
                                              << 2 << QByteArray("Err: 10049 : Destination unusable");
    QTest::newRow("port 0") << QStringList{to, QStringLiteral("127.0.0.1:0"), abc} << 2
                            << QByteArray("port \"0\" is not a number from 1 to 65535");
    QTest::newRow("port too large") << QStringList{to, QStringLiteral("127.0.0.1:65536"), abc} << 2
                                    << QByteArray("from 1 to 65535");
    QTest::newRow("port not a number")
        << QStringList{to, QStringLiteral("127.0.0.1:syslog"), abc} << 2 << QByteArray("from 1 to 65535");
    QTest::newRow("IPv6 without brackets")
        << QStringList{to, QStringLiteral("::1:514"), abc} << 2 << QByteArray("in brackets");
    QTest::newRow("bracket not closed")
        << QStringList{to, QStringLiteral("[::1:514"), abc} << 2 << QByteArray("missing ']'");
    QTest::newRow("no host") << QStringList{to, QStringLiteral(":514"), abc} << 2 << QByteArray("no host");
    QTest::newRow("address out of range")
        << QStringList{to, QStringLiteral("256.1.1.1:514"), abc} << 2 << QByteArray("Err: 10049");
    // Unreadable sources: the engine's error numbers.
    // Stream transports: their options only where they apply, and a receiver that cannot be used
    // is found before the first line.
    QTest::newRow("unknown scheme") << QStringList{to, QStringLiteral("http://127.0.0.1:80"), abc} << 2
                                    << QByteArray("unknown scheme \"http\"");
    QTest::newRow("--framing for UDP") << QStringList{QStringLiteral("--framing"), QStringLiteral("lf"), abc}
                                       << 2 << QByteArray("--framing applies to tcp:// and tls://");
    QTest::newRow("--framing unknown")
        << QStringList{to, QStringLiteral("tcp://127.0.0.1:9"), QStringLiteral("--framing=nl"), abc} << 2
        << QByteArray("--framing takes");
    QTest::newRow("--ca for TCP") << QStringList{to, QStringLiteral("tcp://127.0.0.1:9"),
                                                 QStringLiteral("--ca=ca.pem"), abc}
                                  << 2 << QByteArray("--ca applies to tls://");
    QTest::newRow("--cert without --key")
        << QStringList{to, QStringLiteral("tls://127.0.0.1:9"), QStringLiteral("--cert=c.pem"), abc} << 2
        << QByteArray("both --cert and --key");
    QTest::newRow("--retry for UDP") << QStringList{QStringLiteral("--retry=5"), abc} << 2
                                     << QByteArray("--retry applies");
    QTest::newRow("TCP receiver not there")
        << QStringList{fast, to, QStringLiteral("tcp://127.0.0.1:9"), abc} << 2
        << QByteArray("Err: 10061 : nothing listens on tcp://127.0.0.1:9");
    QTest::newRow("RELP receiver not there")
        << QStringList{fast, to, QStringLiteral("relp://127.0.0.1:9"), abc} << 2
        << QByteArray("nothing listens on relp://127.0.0.1:9");
    QTest::newRow("TLS CA file missing")
        << QStringList{fast, to, QStringLiteral("tls://127.0.0.1:9"), QStringLiteral("--ca=missing.pem"), abc}
        << 2 << QByteArray("--ca missing.pem");
    QTest::newRow("missing source") << QStringList{QStringLiteral("missing.txt")} << 2
                                    << QByteArray("Err: 53 : File not found");
    QTest::newRow("source in a missing folder")
        << QStringList{QStringLiteral("nofolder/x.txt")} << 2 << QByteArray("Err: 76");
    QTest::newRow("folder as source")
        << QStringList{QStringLiteral("Logs Source")} << 2 << QByteArray("Err: 75");
    // Found before the first line: nothing is sent.
    QTest::newRow("output folder missing")
        << QStringList{fast, QStringLiteral("-o"), QStringLiteral("no/o.txt"), abc} << 2
        << QByteArray("Err: 76");
    // Failures during the run.
    QTest::newRow("line too long for a datagram")
        << QStringList{fast, to, QStringLiteral("127.0.0.1:9"), QStringLiteral("long.txt")} << 1
        << QByteArray("Err: 10040");
}

void TestSend::exitStatus() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, message);
    QVERIFY(writeFile(QStringLiteral("abc.txt"), Abc));
    QVERIFY(writeFile(QStringLiteral("long.txt"), "short\r\n" + QByteArray(70000, 'x') + "\r\nafter\r\n"));
    const Result r = send(args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(message), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    if (status == 2)
        QVERIFY(!QFile::exists(QStringLiteral("o.txt")));
}

void TestSend::sigtermDuringFileRun() {
    QVERIFY(writeFile(QStringLiteral("abc.txt"), Abc));
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(TALVEX_SEND),
                  {QStringLiteral("-l"), QStringLiteral("-d"), QStringLiteral("0.02"), QStringLiteral("-o"),
                   QStringLiteral("out.txt"), QStringLiteral("abc.txt")});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(readFile(QStringLiteral("out.txt")).count('\n') >= 4, 10000);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("interrupted"), err.constData());

    // Every line produced is in the file, whole and in order, and the summary counts them all.
    const QByteArray out = readFile(QStringLiteral("out.txt"));
    const qsizetype lines = out.count('\n');
    QByteArray expected;
    for (qsizetype i = 0; i < lines; ++i)
        expected += QByteArray(1, char('a' + i % 3)) + "\r\n";
    QCOMPARE(out, expected);
    QVERIFY2(err.contains(QByteArray::number(lines) + " lines"), err.constData());
}

void TestSend::helpAndVersion() {
    const Result help = send({QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    for (const char* option :
         {"--to",      "--output",  "--append",   "--delay",       "--random",   "--seed",
          "--loop",    "--count",   "--duration", "--slot",        "--quiet",    "--echo",
          "--help",    "--version", "SOURCE",     "Exit status",   "--pace",     "--speed",
          "--max-gap", "--retime",  "tcp://",     "tls://",        "relp://",    "--framing",
          "--ca",      "--cert",    "--key",      "--server-name", "--insecure", "--retry"})
        QVERIFY2(help.out.contains(option), option);
    const Result version = send({QStringLiteral("-v")});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QByteArray("talvex-send 1.2\n"));
}

void TestSend::progressOnATerminal_data() {
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("echo");
    QTest::newRow("progress line") << false << false;
    QTest::newRow("--quiet") << true << false;
    QTest::newRow("progress line and echo") << false << true;
}

void TestSend::progressOnATerminal() {
    QFETCH(bool, quiet);
    QFETCH(bool, echo);
    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("no script(1) to give the program a terminal");
    QVERIFY(writeFile(QStringLiteral("abc.txt"), Abc));
    // script(1) runs the command on a pseudo-terminal and copies what it shows.
    const QString command = QStringLiteral("%1 -d 0.3 -o out.txt abc.txt%2%3")
                                .arg(QStringLiteral(TALVEX_SEND), quiet ? QStringLiteral(" -q") : QString(),
                                     echo ? QStringLiteral(" --echo") : QString());
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral("script"), {QStringLiteral("-q"), QStringLiteral("-e"), QStringLiteral("-c"),
                                             command, QStringLiteral("/dev/null")});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray shown = process.readAllStandardOutput();
    QVERIFY2(shown.contains("3 lines in") && shown.contains("end of source"), shown.constData());
    // Refreshed in place: each refresh goes back to the start of the line and clears it.
    QCOMPARE(shown.contains("lines/s), 0 errors\x1b[K"), !quiet);
    // An echoed line never runs into the progress line: the progress line is cleared first.
    if (echo) {
        QVERIFY2(!QString::fromLatin1(shown).contains(QRegularExpression(QStringLiteral("errors[abc]"))),
                 shown.constData());
        QVERIFY2(shown.contains("\x1b[Ka\r\n") || shown.startsWith("a\r\n"), shown.constData());
    }
}

void TestSend::replayStampedAtTheRecordedPace() {
    // The child reads and writes local times in UTC, whatever this machine's zone.
    const LocalZone utc("UTC");
    QVERIFY(writeFile(QStringLiteral("log.txt"), "<165>1 2026-12-07T08:00:00.000Z h app - - - first\r\n"
                                                 "  continued, without a timestamp\r\n"
                                                 "<38>Dec  7 09:00:00 h sshd[1]: an hour later\r\n"
                                                 "2026-12-07 09:00:01,000 a second later\r\n"));
    const QDateTime before = QDateTime::currentDateTimeUtc();
    QElapsedTimer clock;
    clock.start();
    const Result r =
        send({QStringLiteral("--pace=recorded"), QStringLiteral("--speed=2"), QStringLiteral("--max-gap=0.6"),
              QStringLiteral("--retime"), QStringLiteral("--echo"), QStringLiteral("--summary=json"),
              QStringLiteral("-o"), QStringLiteral("out.txt"), QStringLiteral("log.txt")});
    const qint64 elapsed = clock.elapsed();
    const QDateTime after = QDateTime::currentDateTimeUtc();
    QCOMPARE(r.status, 0);
    // The hour is capped at 0.6 s, the second halved: the last line is never sooner than 1.1 s.
    QVERIFY2(elapsed >= 1100, QByteArray::number(elapsed).constData());

    // The file and the echo show the lines as sent: only their timestamps changed, to a moment
    // within the run, in their own forms.
    const QByteArray written = readFile(QStringLiteral("out.txt"));
    QCOMPARE(r.out, QByteArray(written).replace("\r\n", "\n"));
    const QByteArrayList lines = written.split('\n');
    QCOMPARE(lines.size(), 5);
    auto within = [&](const QDateTime& t) { return t.isValid() && t >= before.addMSecs(-1) && t <= after; };
    const QByteArray first = lines[0];
    QVERIFY2(first.startsWith("<165>1 ") && first.endsWith("Z h app - - - first\r"), first.constData());
    QVERIFY2(within(QDateTime::fromString(QString::fromLatin1(first.mid(7, 24)), Qt::ISODateWithMs)),
             first.constData());
    QCOMPARE(lines[1], QByteArray("  continued, without a timestamp\r"));
    QStringList seconds; // the RFC 3164 times of the run's seconds
    for (QDateTime t = before.addSecs(-1); t <= after; t = t.addSecs(1))
        seconds << QStringLiteral("%1 %2 %3")
                       .arg(QLocale::c().toString(t, QStringLiteral("MMM")))
                       .arg(t.date().day(), 2)
                       .arg(t.toString(QStringLiteral("HH:mm:ss")));
    QVERIFY2(lines[2].startsWith("<38>") && lines[2].endsWith(" h sshd[1]: an hour later\r") &&
                 seconds.contains(QString::fromLatin1(lines[2].mid(4, 15))),
             lines[2].constData());
    const QByteArray iso = lines[3];
    QVERIFY2(iso.endsWith(" a second later\r"), iso.constData());
    QDateTime local =
        QDateTime::fromString(QString::fromLatin1(iso.left(23)), QStringLiteral("yyyy-MM-dd HH:mm:ss,zzz"));
    local.setTimeZone(QTimeZone::utc());
    QVERIFY2(within(local), iso.constData());

    // The summary counts both kinds.
    const QJsonObject summary = QJsonDocument::fromJson(r.err.trimmed().split('\n').constLast()).object();
    QCOMPARE(summary.value(QStringLiteral("lines")).toInt(), 4);
    QCOMPARE(summary.value(QStringLiteral("retimed")).toInt(), 3);
    QCOMPARE(summary.value(QStringLiteral("not_retimed")).toInt(), 1);
}

QTEST_GUILESS_MAIN(TestSend)
#include "tst_send.moc"
