// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchKit.h"

#include "engine/GenerationRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace BenchKit {

void CheapHost::echoLine(const QByteArray& line) {
    if (onEcho)
        onEcho();
    m_echo.push_back(QString::fromUtf8(line));
    if (m_echo.size() > 100000)
        m_echo.pop_front();
}

CountingReceiver::CountingReceiver(size_t keepTimes) : m_times(keepTimes) {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    // Large enough to ride out the receiver thread losing the processor for a while; the forced
    // variant goes past the system's ceiling when allowed.
    int size = 64 * 1024 * 1024;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    m_thread = std::thread([this] { loop(); });
}

CountingReceiver::~CountingReceiver() {
    m_quit = true;
    m_thread.join();
    ::close(m_fd);
}

void CountingReceiver::loop() {
    // Only the count and the arrival times matter: longer datagrams are cut to the buffer.
    constexpr int Batch = 256;
    constexpr size_t BufferSize = 2048;
    std::vector<char> buffers(Batch * BufferSize);
    iovec iov[Batch];
    mmsghdr messages[Batch];
    for (int i = 0; i < Batch; ++i) {
        iov[i] = {buffers.data() + i * BufferSize, BufferSize};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &iov[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    while (!m_quit.load()) {
        pollfd wait{m_fd, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0)
            continue;
        const int got = ::recvmmsg(m_fd, messages, Batch, MSG_DONTWAIT, nullptr);
        if (got <= 0)
            continue;
        const double now = monotonicSeconds();
        const qint64 first = m_count.load();
        for (qint64 i = first; i < first + got && i < qint64(m_times.size()); ++i)
            m_times[size_t(i)] = now;
        m_count.fetch_add(got);
    }
}

std::vector<double> CountingReceiver::times() const {
    return std::vector<double>(m_times.begin(),
                               m_times.begin() + std::min<qint64>(count(), qint64(m_times.size())));
}

qint64 CountingReceiver::waitFor(qint64 n, int quietMs) {
    qint64 last = count();
    double lastChange = monotonicSeconds();
    while (count() < n && (monotonicSeconds() - lastChange) * 1000 < quietMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (count() != last) {
            last = count();
            lastChange = monotonicSeconds();
        }
    }
    return count();
}

WorkDir::WorkDir() {
    QDir::setCurrent(m_dir.path());
    QDir().mkdir(GenerationRun::sourceFolder());
    QDir().mkdir(GenerationRun::outputFolder());
}

bool writeSource(const QString& name, qint64 lines) {
    QFile file(GenerationRun::sourcePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    for (qint64 i = 0; i < lines; ++i) {
        chunk += "<134>Oct 11 22:14:15 bench-host app[4242]: request " + QByteArray::number(i) +
                 " served in 12 ms\r\n";
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size();
}

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double processCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakRssKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const double rank = p / 100.0 * double(values.size() - 1);
    const size_t low = size_t(std::floor(rank));
    const size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (rank - double(low));
}

bool playAndWait(GenerationRun& run, const QString& source, const QString& delay, int timeoutSeconds) {
    QEventLoop loop;
    bool timedOut = false;
    QObject::connect(&run, &GenerationRun::runEnded, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutSeconds * 1000, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    run.play(source, delay);
    if (run.isRunning())
        loop.exec();
    return !timedOut;
}

void printRow(const QString& benchmark, const QString& measure, const QString& value, const QString& target,
              const QString& verdictText) {
    std::printf("ROW|%s|%s|%s|%s|%s\n", qPrintable(benchmark), qPrintable(measure), qPrintable(value),
                qPrintable(target), qPrintable(verdictText));
    std::fflush(stdout);
}

QString verdict(bool ok) {
    return ok ? QStringLiteral("ok") : QStringLiteral("MISSED");
}

} // namespace BenchKit

#include "engine/UdpSink.h"

namespace BenchKit {

void measureRate(RunHost& host, const QString& benchmark, qint64 lines) {
    WorkDir dir;
    writeSource(QStringLiteral("rate"), 1000);
    CountingReceiver receiver;
    UdpSink udp;
    udp.setRemoteHost(QStringLiteral("127.0.0.1"));
    udp.setRemotePort(receiver.port());
    udp.bind(0);
    GenerationRun run(&host, &udp);
    run.setOutput(Output::Syslog);
    run.setLoop(true);
    double end = 0;
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&](qint64 count) {
        if (count == lines) {
            end = monotonicSeconds();
            run.stop();
        }
    });
    const double start = monotonicSeconds();
    const double cpuStart = processCpuSeconds();
    const bool finished = playAndWait(run, QStringLiteral("rate"), QStringLiteral("0.000001"), 600);
    const double cpu = processCpuSeconds() - cpuStart;
    const qint64 received = receiver.waitFor(lines, 3000);
    const double rate = finished && end > start ? double(lines) / (end - start) : 0;
    printRow(benchmark, QStringLiteral("lines/s over %1 lines").arg(lines), QString::number(rate, 'f', 0),
             QStringLiteral(">= 20000"), verdict(rate >= 20000));
    printRow(benchmark, QStringLiteral("datagrams counted by receiver"), QString::number(received),
             QStringLiteral("= %1").arg(lines), verdict(received == lines));
    printRow(benchmark, QStringLiteral("engine process CPU per line"),
             QStringLiteral("%1 us").arg(cpu / double(lines) * 1e6, 0, 'f', 1), QStringLiteral("-"),
             QStringLiteral("info"));
}

} // namespace BenchKit
