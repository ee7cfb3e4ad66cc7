// SPDX-License-Identifier: GPL-3.0-or-later
// talvex-send over the stream transports, as a child process, to receivers in this process that
// count what arrives: TCP at --delay 0 beside a bare C writer of framed lines (64 KiB a write),
// TLS at --delay 0 against the TCP figure of the same run, RELP beside a bare librelp client, and
// the processor time per line at 100 lines/s over UDP, TCP and TLS.
// Usage: talvex_bench_transport tcp|tls|relp|cpu
#include "BenchKit.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

extern "C" {
#include <librelp.h>
}

using namespace BenchKit;

namespace {

QString sendProgram() {
    return QStringLiteral(TALVEX_SEND);
}

// 100-byte syslog lines.
QByteArray line100(qint64 i) {
    QByteArray line =
        "<134>Oct 11 22:14:15 bench-host app[4242]: request " + QByteArray::number(i) + " served";
    line.append(100 - line.size(), '.');
    return line;
}

void writeSource(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        for (qint64 i = 0; i < 1000; ++i)
            file.write(line100(i) + "\n");
    }
}

// Counts octet-counted frames ("LEN SP MSG") in a byte stream that arrives in pieces.
class FrameCounter {
public:
    void feed(const char* data, qint64 size) {
        qint64 at = 0;
        while (at < size) {
            if (m_skip > 0) {
                const qint64 step = qMin(m_skip, size - at);
                m_skip -= step;
                at += step;
                if (m_skip == 0)
                    ++m_frames;
                continue;
            }
            const char c = data[at++];
            if (c == ' ') {
                m_skip = m_length;
                m_length = 0;
                if (m_skip == 0)
                    ++m_frames;
            } else {
                m_length = m_length * 10 + (c - '0');
            }
        }
    }
    qint64 frames() const { return m_frames; }

private:
    qint64 m_length = 0;
    qint64 m_skip = 0;
    qint64 m_frames = 0;
};

// One connection on 127.0.0.1, read to its end on a thread of its own, its frames counted;
// TLS when given a certificate and key.
class StreamSink {
public:
    explicit StreamSink(const QString& certFile = QString(), const QString& keyFile = QString()) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(m_listener, 4);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread(
            [this, certFile, keyFile] { certFile.isEmpty() ? readPlain() : readTls(certFile, keyFile); });
    }
    ~StreamSink() {
        ::shutdown(m_listener, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }
    // Waits for the sender to close, then the frames it counted.
    qint64 frames() {
        if (m_thread.joinable())
            m_thread.join();
        return m_frames;
    }

private:
    void readPlain() {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            return;
        std::vector<char> buffer(1 << 20);
        FrameCounter counter;
        for (;;) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            counter.feed(buffer.data(), n);
        }
        ::close(fd);
        m_frames = counter.frames();
    }
    void readTls(const QString& certFile, const QString& keyFile) {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            return;
        QFile cert(certFile);
        QFile key(keyFile);
        cert.open(QIODevice::ReadOnly);
        key.open(QIODevice::ReadOnly);
        QSslSocket socket;
        socket.setSocketDescriptor(fd);
        socket.setLocalCertificate(QSslCertificate(cert.readAll()));
        socket.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
        socket.startServerEncryption();
        FrameCounter counter;
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (socket.state() == QAbstractSocket::ConnectedState || socket.bytesAvailable() > 0) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(30000))
                break;
            const qint64 n = socket.read(buffer.data(), buffer.size());
            if (n > 0)
                counter.feed(buffer.constData(), n);
        }
        m_frames = counter.frames();
    }

    int m_listener = -1;
    quint16 m_port = 0;
    qint64 m_frames = 0;
    std::thread m_thread;
};

struct Run {
    int status = -1;
    QJsonObject summary;
    double cpuSeconds = 0;
};

double childrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Run runSend(const QStringList& args) {
    Run run;
    const double before = childrenCpuSeconds();
    QProcess send;
    send.start(sendProgram(),
               QStringList{QStringLiteral("-q"), QStringLiteral("--summary"), QStringLiteral("json")} + args);
    send.waitForFinished(600000);
    run.cpuSeconds = childrenCpuSeconds() - before;
    run.status = send.exitStatus() == QProcess::NormalExit ? send.exitCode() : -1;
    const QList<QByteArray> err = send.readAllStandardError().trimmed().split('\n');
    run.summary = QJsonDocument::fromJson(err.last()).object();
    return run;
}

double lineRate(const Run& run) {
    return run.summary.value(QStringLiteral("lines_per_second")).toDouble();
}

bool makeCertificate(const QString& dir) {
    QProcess openssl;
    openssl.setWorkingDirectory(dir);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), QStringLiteral("bench.key"), QStringLiteral("-out"),
                   QStringLiteral("bench.pem"), QStringLiteral("-days"), QStringLiteral("1"),
                   QStringLiteral("-subj"), QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1")});
    return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
}

constexpr qint64 StreamLines = 3000000;

// The plainest TCP sender: the same framed lines, 64 KiB a write().
double bareWriterRate(qint64 lines, qint64* received) {
    QByteArray block;
    qint64 inBlock = 0;
    while (block.size() < 64 * 1024 - 110) {
        const QByteArray l = line100(inBlock % 1000);
        block += QByteArray::number(l.size()) + ' ' + l;
        ++inBlock;
    }
    StreamSink sink;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(sink.port());
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const double start = monotonicSeconds();
    qint64 sent = 0;
    while (sent < lines) {
        const char* p = block.constData();
        qint64 left = block.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, p, size_t(left));
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        sent += inBlock;
    }
    const double seconds = monotonicSeconds() - start;
    ::close(fd);
    *received = sink.frames();
    return double(sent) / seconds;
}

double tcpRate(bool print) {
    WorkDir dir;
    writeSource(QStringLiteral("rate.txt"));
    StreamSink sink;
    const Run run =
        runSend({QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-l"), QStringLiteral("-n"),
                 QString::number(StreamLines), QStringLiteral("-t"),
                 QStringLiteral("tcp://127.0.0.1:%1").arg(sink.port()), QStringLiteral("rate.txt")});
    const qint64 received = sink.frames();
    const double rate = lineRate(run);
    if (!print)
        return rate;
    const QString benchmark = QStringLiteral("transport-tcp, talvex-send -d 0, 100-byte lines");
    printRow(benchmark, QStringLiteral("lines/s over %1 lines").arg(StreamLines),
             QString::number(rate, 'f', 0), QStringLiteral(">= 1000000"),
             verdict(rate >= 1000000 && run.status == 0));
    printRow(benchmark, QStringLiteral("frames counted by the receiver"), QString::number(received),
             QStringLiteral("= %1").arg(StreamLines), verdict(received == StreamLines));
    qint64 bareReceived = 0;
    const double bare = bareWriterRate(StreamLines, &bareReceived);
    printRow(QStringLiteral("transport-tcp, bare C writer, 64 KiB a write"),
             QStringLiteral("lines/s over %1 lines").arg(StreamLines), QString::number(bare, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(QStringLiteral("transport-tcp, talvex-send / bare writer"), QStringLiteral("ratio"),
             QString::number(rate / bare, 'f', 2), QStringLiteral("-"), QStringLiteral("info"));
    return rate;
}

void tlsRate() {
    const double tcp = tcpRate(false);
    WorkDir dir;
    writeSource(QStringLiteral("rate.txt"));
    if (!makeCertificate(dir.path())) {
        printRow(QStringLiteral("transport-tls"), QStringLiteral("certificate"),
                 QStringLiteral("openssl failed"), QStringLiteral("-"), QStringLiteral("not run"));
        return;
    }
    StreamSink sink(dir.path() + QStringLiteral("/bench.pem"), dir.path() + QStringLiteral("/bench.key"));
    const Run run = runSend({QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-l"),
                             QStringLiteral("-n"), QString::number(StreamLines), QStringLiteral("-t"),
                             QStringLiteral("tls://127.0.0.1:%1").arg(sink.port()), QStringLiteral("--ca"),
                             QStringLiteral("bench.pem"), QStringLiteral("rate.txt")});
    const qint64 received = sink.frames();
    const double rate = lineRate(run);
    const QString benchmark = QStringLiteral("transport-tls, talvex-send -d 0, 100-byte lines");
    printRow(benchmark, QStringLiteral("lines/s over %1 lines").arg(StreamLines),
             QString::number(rate, 'f', 0), QStringLiteral(">= TCP / 2 (%1)").arg(tcp / 2, 0, 'f', 0),
             verdict(rate >= tcp / 2 && run.status == 0));
    printRow(benchmark, QStringLiteral("frames counted by the receiver"), QString::number(received),
             QStringLiteral("= %1").arg(StreamLines), verdict(received == StreamLines));
}

// A librelp receiver in this process: counts what it is given, acknowledging each line.
class RelpSink {
public:
    RelpSink() {
        m_port = freePort();
        relpEngineConstruct(&m_engine);
        relpEngineSetDbgprint(m_engine, &quiet);
        relpEngineSetEnableCmd(m_engine, reinterpret_cast<unsigned char*>(const_cast<char*>("syslog")),
                               eRelpCmdState_Required);
        relpEngineSetSyslogRcv2(m_engine, &received);
        relpSrv_t* server = nullptr;
        relpEngineListnerConstruct(m_engine, &server);
        QByteArray port = QByteArray::number(m_port);
        relpSrvSetLstnPort(server, reinterpret_cast<unsigned char*>(port.data()));
        relpSrvSetLstnAddr(server, reinterpret_cast<unsigned char*>(const_cast<char*>("127.0.0.1")));
        relpSrvSetUsrPtr(server, this);
        relpEngineListnerConstructFinalize(m_engine, server);
        m_thread = std::thread([this] { relpEngineRun(m_engine); });
        QThread::msleep(200);
    }
    ~RelpSink() {
        relpEngineSetStop(m_engine);
        // The engine looks at the stop only when something happens: a connection makes it look.
        QTcpSocket wake;
        wake.connectToHost(QHostAddress::LocalHost, m_port);
        wake.waitForConnected(1000);
        m_thread.join();
        relpEngineDestruct(&m_engine);
    }
    quint16 port() const { return m_port; }
    qint64 count() const { return m_count.load(); }

private:
    static void quiet(char*, ...) {}
    static relpRetVal received(void* user, unsigned char*, unsigned char*, unsigned char*, size_t) {
        static_cast<RelpSink*>(user)->m_count.fetch_add(1, std::memory_order_relaxed);
        return RELP_RET_OK;
    }
    static quint16 freePort() {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
    }

    relpEngine_t* m_engine = nullptr;
    quint16 m_port = 0;
    std::atomic<qint64> m_count{0};
    std::thread m_thread;
};

void quietRelp(char*, ...) {}

// The plainest RELP sender: librelp's client in a loop, default window.
double bareRelpRate(quint16 port, qint64 lines) {
    relpEngine_t* engine = nullptr;
    relpClt_t* client = nullptr;
    relpEngineConstruct(&engine);
    relpEngineSetDbgprint(engine, &quietRelp);
    relpEngineSetEnableCmd(engine, reinterpret_cast<unsigned char*>(const_cast<char*>("syslog")),
                           eRelpCmdState_Required);
    relpEngineCltConstruct(engine, &client);
    QByteArray portText = QByteArray::number(port);
    if (relpCltConnect(client, AF_INET, reinterpret_cast<unsigned char*>(portText.data()),
                       reinterpret_cast<unsigned char*>(const_cast<char*>("127.0.0.1"))) != RELP_RET_OK)
        return 0;
    QList<QByteArray> texts;
    for (int i = 0; i < 1000; ++i)
        texts << line100(i);
    const double start = monotonicSeconds();
    for (qint64 i = 0; i < lines; ++i) {
        QByteArray& t = texts[i % 1000];
        relpCltSendSyslog(client, reinterpret_cast<unsigned char*>(t.data()), size_t(t.size()));
    }
    relpEngineCltDestruct(engine, &client); // waits for the last acknowledgements
    const double seconds = monotonicSeconds() - start;
    relpEngineDestruct(&engine);
    return double(lines) / seconds;
}

void relpRate() {
    const qint64 lines = 300000;
    WorkDir dir;
    writeSource(QStringLiteral("rate.txt"));
    double rate = 0;
    Run run;
    qint64 counted = 0;
    {
        RelpSink sink;
        run = runSend({QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-l"), QStringLiteral("-n"),
                       QString::number(lines), QStringLiteral("-t"),
                       QStringLiteral("relp://127.0.0.1:%1").arg(sink.port()), QStringLiteral("rate.txt")});
        rate = lineRate(run);
        counted = sink.count();
    }
    const QString benchmark = QStringLiteral("transport-relp, talvex-send -d 0, window 128");
    printRow(benchmark, QStringLiteral("lines/s over %1 lines").arg(lines), QString::number(rate, 'f', 0),
             QStringLiteral(">= 50000"), verdict(rate >= 50000 && run.status == 0));
    const qint64 acknowledged = run.summary.value(QStringLiteral("acknowledged")).toInteger();
    printRow(benchmark, QStringLiteral("acknowledged (summary) / counted by the receiver"),
             QStringLiteral("%1 / %2").arg(acknowledged).arg(counted), QStringLiteral("= %1").arg(lines),
             verdict(acknowledged == lines && counted == lines));
    RelpSink bareSink;
    const double bare = bareRelpRate(bareSink.port(), lines);
    printRow(QStringLiteral("transport-relp, bare librelp client loop"),
             QStringLiteral("lines/s over %1 lines").arg(lines), QString::number(bare, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
}

// Processor time per line at 100 lines/s: TCP and TLS against UDP, in turn. Each is the
// difference between a run of 1200 lines and one of 200, so the start (Qt, TLS library, handshake)
// is left out and only the lines count.
void cpuPerLine() {
    WorkDir dir;
    writeSource(QStringLiteral("rate.txt"));
    makeCertificate(dir.path());
    const qint64 shortRun = 200;
    const qint64 longRun = 1200;
    const QString pem = dir.path() + QStringLiteral("/bench.pem");
    const QString key = dir.path() + QStringLiteral("/bench.key");
    // The processor time of `lines` lines at 100 lines/s to a fresh receiver; false when a receiver
    // did not count them all.
    auto paced = [&](const QString& scheme, qint64 lines, bool* complete) {
        std::unique_ptr<CountingReceiver> udp;
        std::unique_ptr<StreamSink> stream;
        QStringList to;
        if (scheme == QLatin1String("udp")) {
            udp = std::make_unique<CountingReceiver>();
            to << QStringLiteral("127.0.0.1:%1").arg(udp->port());
        } else {
            stream = scheme == QLatin1String("tls") ? std::make_unique<StreamSink>(pem, key)
                                                    : std::make_unique<StreamSink>();
            to << QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(stream->port());
            if (scheme == QLatin1String("tls"))
                to << QStringLiteral("--ca") << pem;
        }
        const Run run =
            runSend(QStringList{QStringLiteral("--rate"), QStringLiteral("100"), QStringLiteral("-l"),
                                QStringLiteral("-n"), QString::number(lines), QStringLiteral("-t")} +
                    to + QStringList{QStringLiteral("rate.txt")});
        const qint64 counted = udp ? udp->waitFor(lines, 2000) : stream->frames();
        *complete = *complete && counted == lines && run.status == 0;
        return run.cpuSeconds;
    };
    auto perLine = [&](const QString& scheme, bool* complete) {
        const double shortCpu = paced(scheme, shortRun, complete);
        const double longCpu = paced(scheme, longRun, complete);
        return (longCpu - shortCpu) / double(longRun - shortRun) * 1e6;
    };
    const QString benchmark = QStringLiteral("transport-cpu, --rate 100, per line past the start");
    bool complete = true;
    const double udp = perLine(QStringLiteral("udp"), &complete);
    printRow(benchmark, QStringLiteral("CPU per line, UDP"), QStringLiteral("%1 us").arg(udp, 0, 'f', 1),
             QStringLiteral("-"), QStringLiteral("info"));
    for (const QString& scheme : {QStringLiteral("tcp"), QStringLiteral("tls")}) {
        bool all = true;
        const double cpu = perLine(scheme, &all);
        printRow(benchmark, QStringLiteral("CPU per line, %1").arg(scheme.toUpper()),
                 QStringLiteral("%1 us").arg(cpu, 0, 'f', 1), QStringLiteral("<= UDP + 20 us"),
                 verdict(cpu <= udp + 20 && all && complete));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (what == QLatin1String("tcp"))
        tcpRate(true);
    else if (what == QLatin1String("tls"))
        tlsRate();
    else if (what == QLatin1String("relp"))
        relpRate();
    else if (what == QLatin1String("cpu"))
        cpuPerLine();
    else {
        QTextStream(stderr) << "usage: talvex_bench_transport tcp|tls|relp|cpu\n";
        return 2;
    }
    return 0;
}
