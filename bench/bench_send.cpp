// SPDX-License-Identifier: GPL-3.0-or-later
// talvex-send benchmarks: the rate without delay to a loopback receiver, and the spacing of its
// lines at 10 ms and 1 s beside a clock_nanosleep reference sender, as a receiver sees them.
// Usage: talvex_bench_send rate|pacing|true-rate
#include "BenchKit.h"
#include "ReferenceSender.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <cmath>
#include <thread>
#include <vector>

#include <sys/resource.h>

using namespace BenchKit;

namespace {

QString sendProgram() {
    return QStringLiteral(TALVEX_SEND);
}

QByteArray line80(qint64 i) {
    QByteArray line =
        "<134>Oct 11 22:14:15 bench-host app[4242]: request " + QByteArray::number(i) + " served";
    line.append(80 - line.size(), '.');
    return line;
}

bool writeLines(const QString& path, qint64 lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (qint64 i = 0; i < lines; ++i)
        file.write(line80(i) + "\r\n");
    return true;
}

// Spacing error of consecutive arrivals: |gap - delay|, in milliseconds.
std::vector<double> spacingErrors(const std::vector<double>& times, double delay) {
    std::vector<double> errors;
    for (size_t i = 1; i < times.size(); ++i)
        errors.push_back(std::fabs(times[i] - times[i - 1] - delay) * 1000);
    return errors;
}

void rate() {
    const qint64 lines = 1000000;
    WorkDir dir;
    writeLines(QStringLiteral("rate.txt"), 1000);
    CountingReceiver receiver;
    QProcess send;
    send.start(sendProgram(),
               {QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-l"),
                QStringLiteral("-n"), QString::number(lines), QStringLiteral("-t"),
                QStringLiteral("127.0.0.1:%1").arg(receiver.port()), QStringLiteral("rate.txt")});
    const double start = monotonicSeconds();
    send.waitForFinished(600000);
    const double wall = monotonicSeconds() - start;
    const qint64 received = receiver.waitFor(lines, 3000);
    // The program's own figure, from its first line to its last: "... (N lines/s) ...".
    const QString summary = QString::fromLocal8Bit(send.readAllStandardError()).trimmed();
    const qsizetype open = summary.indexOf(QLatin1Char('('));
    const double sendRate = open < 0 ? 0 : summary.mid(open + 1).section(QLatin1Char(' '), 0, 0).toDouble();
    const QString benchmark = QStringLiteral("send-rate, talvex-send -d 0, 80-byte lines");

    // What a bare sendto loop gets through the same loopback: the ceiling of this machine.
    QList<QByteArray> reference;
    for (qint64 i = 0; i < 1000; ++i)
        reference << line80(i);
    QList<QByteArray> all;
    for (qint64 i = 0; i < lines; ++i)
        all << reference.at(i % 1000);
    CountingReceiver bare;
    const double bareStart = monotonicSeconds();
    ReferenceSender::send(bare.port(), all, 0);
    const double bareRate = double(lines) / (monotonicSeconds() - bareStart);
    const qint64 bareReceived = bare.waitFor(lines, 3000);
    printRow(QStringLiteral("send-rate, reference sendto loop"),
             QStringLiteral("lines/s over %1 lines").arg(lines), QString::number(bareRate, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(QStringLiteral("send-rate, reference sendto loop"),
             QStringLiteral("datagrams counted by receiver"), QString::number(bareReceived),
             QStringLiteral("= %1").arg(lines), QStringLiteral("info"));
    CountingReceiver batched;
    const ReferenceSender::Result batchedResult = ReferenceSender::sendBatched(batched.port(), all, 64);
    const double batchedRate = double(lines) / batchedResult.wallSeconds;
    batched.waitFor(lines, 3000);
    printRow(QStringLiteral("send-rate, reference sendmmsg loop of 64"),
             QStringLiteral("lines/s over %1 lines").arg(lines), QString::number(batchedRate, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("lines/s over %1 lines").arg(lines), QString::number(sendRate, 'f', 0),
             QStringLiteral(">= 1.5 x sendto loop (%1)").arg(1.5 * bareRate, 0, 'f', 0),
             verdict(sendRate >= 1.5 * bareRate));
    printRow(benchmark, QStringLiteral("datagrams counted by receiver"), QString::number(received),
             QStringLiteral("= %1").arg(lines), verdict(received == lines));
    printRow(benchmark, QStringLiteral("process start to exit"), QStringLiteral("%1 s").arg(wall, 0, 'f', 2),
             QStringLiteral("-"), QStringLiteral("info"));
}

double childrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// --rate on its absolute schedule: the rate the receiver sees over the run, against the one asked;
// at 100 lines/s also the spacing and the processor time per line, beside the reference sender
// running at the same time to its own receiver.
void trueRate(double asked, double seconds) {
    WorkDir dir;
    writeLines(QStringLiteral("rate.txt"), 1000);
    const qint64 expected = qint64(asked * seconds);
    CountingReceiver receiver{size_t(expected + 16)};
    const bool withReference = asked == 100;
    QList<QByteArray> reference;
    for (qint64 i = 0; withReference && i < expected; ++i)
        reference << line80(i % 1000);
    CountingReceiver theirs{size_t(reference.size())};
    ReferenceSender::Result referenceResult;
    // The program's start and end cost the same whatever the run: measured on a run of one line
    // and taken off, as the reference's thread is timed from its first line.
    double startCpu = 0;
    if (withReference) {
        CountingReceiver startReceiver;
        const double before = childrenCpuSeconds();
        QProcess::execute(sendProgram(), {QStringLiteral("-q"), QStringLiteral("-n"), QStringLiteral("1"),
                                          QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-t"),
                                          QStringLiteral("127.0.0.1:%1").arg(startReceiver.port()),
                                          QStringLiteral("rate.txt")});
        startCpu = childrenCpuSeconds() - before;
    }
    const double cpuBefore = childrenCpuSeconds();
    QProcess send;
    send.start(sendProgram(),
               {QStringLiteral("-q"), QStringLiteral("--rate"), QString::number(asked), QStringLiteral("-l"),
                QStringLiteral("-n"), QString::number(expected), QStringLiteral("-t"),
                QStringLiteral("127.0.0.1:%1").arg(receiver.port()), QStringLiteral("rate.txt")});
    std::thread referenceThread([&] {
        if (withReference)
            referenceResult = ReferenceSender::send(theirs.port(), reference, std::int64_t(1e9 / asked));
    });
    send.waitForFinished(int(seconds * 1000) + 120000);
    referenceThread.join();
    const double cpu = std::max(0.0, childrenCpuSeconds() - cpuBefore - startCpu);
    receiver.waitFor(expected, 2000);
    const std::vector<double> times = receiver.times();
    const double span = times.size() > 1 ? times.back() - times.front() : 0;
    const double achieved = span > 0 ? double(times.size() - 1) / span : 0;
    const double off = asked > 0 ? std::fabs(achieved / asked - 1) * 100 : 100;
    const QString benchmark = QStringLiteral("send-true-rate, --rate %1 for %2 s").arg(asked).arg(seconds);
    printRow(benchmark, QStringLiteral("achieved rate at the receiver"),
             QStringLiteral("%1 lines/s (%2 % off)").arg(achieved, 0, 'f', 3).arg(off, 0, 'f', 4),
             QStringLiteral("within 0.1 %"), verdict(off <= 0.1));
    printRow(benchmark, QStringLiteral("datagrams received"), QString::number(receiver.count()),
             QStringLiteral("= %1").arg(expected), verdict(receiver.count() == expected));
    if (!withReference)
        return;
    theirs.waitFor(reference.size(), 2000);
    auto ms = [](double v) { return QStringLiteral("%1 ms").arg(v, 0, 'f', 3); };
    const double p99 = percentile(spacingErrors(times, 1 / asked), 99);
    const double refP99 = percentile(spacingErrors(theirs.times(), 1 / asked), 99);
    printRow(benchmark, QStringLiteral("spacing error p99, talvex-send / reference"),
             ms(p99) + QStringLiteral(" / ") + ms(refP99), QStringLiteral("<= 1 ms"), verdict(p99 <= 1.0));
    const double ours = cpu / double(std::max<qint64>(receiver.count(), 1)) * 1e6;
    const double theirsCpu =
        referenceResult.cpuSeconds / double(std::max<qint64>(referenceResult.sent, 1)) * 1e6;
    printRow(benchmark,
             QStringLiteral("CPU per line (start excluded), talvex-send / clock_nanosleep reference"),
             QStringLiteral("%1 / %2 us").arg(ours, 0, 'f', 1).arg(theirsCpu, 0, 'f', 1),
             QStringLiteral("<= ref + 20 us"), verdict(ours <= theirsCpu + 20));
}

void pacing(double delay, int lines) {
    WorkDir dir;
    writeLines(QStringLiteral("pace.txt"), lines);
    QList<QByteArray> reference;
    for (int i = 0; i < lines; ++i)
        reference << line80(i);
    // Both at once, so they meet the same machine; each to its own receiver.
    CountingReceiver ours{size_t(lines)};
    CountingReceiver theirs{size_t(lines)};
    QProcess send;
    send.start(sendProgram(),
               {QStringLiteral("-q"), QStringLiteral("-d"), QString::number(delay), QStringLiteral("-t"),
                QStringLiteral("127.0.0.1:%1").arg(ours.port()), QStringLiteral("pace.txt")});
    std::thread referenceThread(
        [&] { ReferenceSender::send(theirs.port(), reference, std::int64_t(delay * 1e9)); });
    send.waitForFinished(int(delay * lines * 1000) + 60000);
    referenceThread.join();
    ours.waitFor(lines, 2000);
    theirs.waitFor(lines, 2000);
    const std::vector<double> a = spacingErrors(ours.times(), delay);
    const std::vector<double> b = spacingErrors(theirs.times(), delay);
    const QString benchmark = QStringLiteral("send-pacing, delay %1 s x %2").arg(delay).arg(lines);
    auto ms = [](double v) { return QStringLiteral("%1 ms").arg(v, 0, 'f', 3); };
    const double p50 = percentile(a, 50);
    const double p99 = percentile(a, 99);
    const double refP50 = percentile(b, 50);
    const double refP99 = percentile(b, 99);
    // Judged beside the reference: no more than a quarter of a millisecond worse.
    printRow(benchmark, QStringLiteral("spacing error p50, talvex-send"), ms(p50),
             QStringLiteral("<= ref + 0.25 ms"), verdict(p50 <= refP50 + 0.25));
    printRow(benchmark, QStringLiteral("spacing error p99, talvex-send"), ms(p99),
             QStringLiteral("<= ref + 1 ms"), verdict(p99 <= refP99 + 1.0));
    printRow(benchmark, QStringLiteral("spacing error p50, reference"), ms(refP50), QStringLiteral("-"),
             QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("spacing error p99, reference"), ms(refP99), QStringLiteral("-"),
             QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("datagrams received, talvex-send / reference"),
             QStringLiteral("%1 / %2").arg(ours.count()).arg(theirs.count()),
             QStringLiteral("= %1").arg(lines), verdict(ours.count() == lines && theirs.count() == lines));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (what == QLatin1String("rate")) {
        rate();
    } else if (what == QLatin1String("pacing")) {
        pacing(0.01, 500);
        pacing(1, 60);
    } else if (what == QLatin1String("true-rate")) {
        trueRate(1, 60);
        trueRate(100, 60);
        trueRate(10000, 10);
        trueRate(100000, 10);
    } else {
        QTextStream(stderr) << "usage: talvex_bench_send rate|pacing|true-rate\n";
        return 2;
    }
    return 0;
}
