// SPDX-License-Identifier: GPL-3.0-or-later
// talvex-receive benchmarks: the rate at which it takes what arrives, beside the rate at which it
// was sent, with what was lost. Over UDP the sender is talvex-send at --delay 0; over TCP a plain
// blocking writer of ready-made frames (octet counting, then line feeds), as fast as the socket goes.
// Usage: talvex_bench_receive udp|tcp
#include "BenchKit.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace BenchKit;

namespace {

QByteArray line80(qint64 i) {
    QByteArray line =
        "<134>Oct 11 22:14:15 bench-host app[4242]: request " + QByteArray::number(i) + " served";
    line.append(80 - line.size(), '.');
    return line;
}

// talvex-receive on a port of the system's choice; the port, or 0 when it did not start.
quint16 startReceiver(QProcess& receiver, const QString& scheme, qint64 count) {
    receiver.setReadChannel(QProcess::StandardError);
    receiver.start(QStringLiteral(TALVEX_RECEIVE),
                   {QStringLiteral("-q"), QStringLiteral("--summary"), QStringLiteral("json"),
                    QStringLiteral("-l"), scheme + QStringLiteral("://127.0.0.1:0"), QStringLiteral("-n"),
                    QString::number(count), QStringLiteral("--idle"), QStringLiteral("5")});
    QByteArray err;
    static const QRegularExpression listening(QStringLiteral("listening on \\w+://[^ ]+:(\\d+)\n"));
    while (receiver.waitForReadyRead(10000)) {
        err += receiver.readAllStandardError();
        const QRegularExpressionMatch m = listening.match(QString::fromLocal8Bit(err));
        if (m.hasMatch())
            return m.captured(1).toUShort();
    }
    return 0;
}

QJsonObject lastJson(const QByteArray& err) {
    // The summary is the last line that is an object.
    const QList<QByteArray> lines = err.trimmed().split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith('{'))
            return QJsonDocument::fromJson(*it).object();
    }
    return QJsonObject();
}

// `share`: the part of the sent rate the receiver must reach. Over TCP the writer can only go as fast
// as the receiver reads (flow control), so the two rates tie, and a little slack absorbs the
// receiver's last read after the writer's last write.
void printReceiverRows(const QString& benchmark, const QJsonObject& got, double sentRate, qint64 count,
                       double share) {
    const double rate = got.value(QStringLiteral("messages_per_second")).toDouble();
    const qint64 messages = got.value(QStringLiteral("messages")).toInteger();
    printRow(benchmark, QStringLiteral("sent, messages/s"), QString::number(sentRate, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("received, messages/s"), QString::number(rate, 'f', 0),
             QStringLiteral(">= %1 x sent (%2)").arg(share).arg(share * sentRate, 0, 'f', 0),
             verdict(rate >= share * sentRate));
    printRow(benchmark, QStringLiteral("messages received"), QString::number(messages),
             QStringLiteral("= %1").arg(count), verdict(messages == count));
    if (got.contains(QStringLiteral("datagrams_dropped")) && benchmark.contains(QLatin1String("UDP")))
        printRow(benchmark, QStringLiteral("datagrams dropped at the socket"),
                 QString::number(got.value(QStringLiteral("datagrams_dropped")).toInteger()),
                 QStringLiteral("= 0"),
                 verdict(got.value(QStringLiteral("datagrams_dropped")).toInteger() == 0));
}

void udp() {
    const qint64 count = 1000000;
    WorkDir dir;
    QFile source(QStringLiteral("rate.txt"));
    if (!source.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (qint64 i = 0; i < 1000; ++i)
        source.write(line80(i) + "\r\n");
    source.close();
    const QString benchmark = QStringLiteral("receive-rate, UDP, talvex-send -d 0 -> talvex-receive");

    QProcess receiver;
    const quint16 port = startReceiver(receiver, QStringLiteral("udp"), count);
    if (port == 0) {
        printRow(benchmark, QStringLiteral("start"), QStringLiteral("failed"), QStringLiteral("-"),
                 verdict(false));
        return;
    }
    QProcess send;
    send.start(QStringLiteral(TALVEX_SEND),
               {QStringLiteral("-q"), QStringLiteral("--summary"), QStringLiteral("json"),
                QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-l"), QStringLiteral("-n"),
                QString::number(count), QStringLiteral("-t"), QStringLiteral("127.0.0.1:%1").arg(port),
                QStringLiteral("rate.txt")});
    send.waitForFinished(600000);
    receiver.waitForFinished(600000);
    const double sentRate =
        lastJson(send.readAllStandardError()).value(QStringLiteral("lines_per_second")).toDouble();
    printReceiverRows(benchmark, lastJson(receiver.readAllStandardError()), sentRate, count, 0.95);
}

// Ready-made frames written with plain blocking send() calls: the ceiling of the socket itself.
void tcp(bool octetCounting) {
    const qint64 count = 1000000;
    const QString benchmark =
        octetCounting ? QStringLiteral("receive-rate, TCP octet counting, plain writer -> talvex-receive")
                      : QStringLiteral("receive-rate, TCP line feeds, plain writer -> talvex-receive");
    QByteArray block;
    for (qint64 i = 0; i < 1000; ++i) {
        const QByteArray m = line80(i);
        block += octetCounting ? QByteArray::number(m.size()) + ' ' + m : m + '\n';
    }
    QProcess receiver;
    const quint16 port = startReceiver(receiver, QStringLiteral("tcp"), count);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (port == 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        printRow(benchmark, QStringLiteral("start"), QStringLiteral("failed"), QStringLiteral("-"),
                 verdict(false));
        ::close(fd);
        return;
    }
    const double start = monotonicSeconds();
    for (qint64 sent = 0; sent < count; sent += 1000) {
        for (qsizetype done = 0; done < block.size();) {
            const ssize_t n = ::send(fd, block.constData() + done, size_t(block.size() - done), 0);
            if (n <= 0)
                break;
            done += n;
        }
    }
    const double sentRate = double(count) / (monotonicSeconds() - start);
    ::close(fd);
    receiver.waitForFinished(600000);
    printReceiverRows(benchmark, lastJson(receiver.readAllStandardError()), sentRate, count, 0.9);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("udp");
    if (what == QLatin1String("udp")) {
        udp();
    } else if (what == QLatin1String("tcp")) {
        tcp(true);
        tcp(false);
    } else {
        return 2;
    }
    return 0;
}
