// SPDX-License-Identifier: GPL-3.0-or-later
// Replay at the recorded pace: talvex-send --pace recorded plays the web access sample (RFC 5424,
// milliseconds) faster than recorded to a loopback receiver, beside a clock_nanosleep sender that
// sends the same lines on the same schedule. Each arrival gap is compared with the recorded gap
// divided by the speed; the times are read from the lines here, not by Talvex's own reader.
// Usage: talvex_bench_replay [SPEED]   (default 60: the half-hour sample in about 31 s)
#include "BenchKit.h"
#include "ReferenceSender.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>

#include <cmath>
#include <thread>
#include <vector>

using namespace BenchKit;

namespace {

const QString Sample = QStringLiteral(TALVEX_EXAMPLES "/access.txt");

// The sample's lines, and when each was logged, in milliseconds since the first.
bool readSample(QList<QByteArray>* lines, std::vector<double>* loggedMs) {
    QFile file(Sample);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArrayList all = file.readAll().split('\n');
    all.removeLast();
    qint64 first = 0;
    for (QByteArray line : all) {
        line.chop(1); // the CR
        // "<190>1 2026-12-07T14:02:13.526+01:00 ..."
        const QDateTime t = QDateTime::fromString(QString::fromLatin1(line.mid(line.indexOf(' ') + 1, 29)),
                                                  Qt::ISODateWithMs);
        if (!t.isValid())
            return false;
        if (lines->isEmpty())
            first = t.toMSecsSinceEpoch();
        lines->append(line);
        loggedMs->push_back(double(t.toMSecsSinceEpoch() - first));
    }
    return !lines->isEmpty();
}

// |arrival gap - recorded gap / speed| for each line after the first, in milliseconds; and how far
// the last line arrived from its place on the schedule, counted from the first arrival.
std::vector<double> gapErrors(const std::vector<double>& arrivals, const std::vector<double>& dueMs,
                              double* endError) {
    std::vector<double> errors;
    for (size_t i = 1; i < arrivals.size() && i < dueMs.size(); ++i)
        errors.push_back(std::fabs((arrivals[i] - arrivals[i - 1]) * 1000 - (dueMs[i] - dueMs[i - 1])));
    *endError = arrivals.size() == dueMs.size() && !arrivals.empty()
                    ? std::fabs((arrivals.back() - arrivals.front()) * 1000 - dueMs.back())
                    : NAN;
    return errors;
}

void replay(double speed) {
    QList<QByteArray> lines;
    std::vector<double> loggedMs;
    const QString benchmark =
        QStringLiteral("replay, --pace recorded --speed %1 --retime, access.txt").arg(speed);
    if (!readSample(&lines, &loggedMs)) {
        printRow(benchmark, QStringLiteral("sample"), QStringLiteral("unreadable: ") + Sample,
                 QStringLiteral("-"), QStringLiteral("not run"));
        return;
    }
    const qsizetype n = lines.size();
    std::vector<double> dueMs;
    std::vector<std::int64_t> dueNs;
    for (const double logged : loggedMs) {
        dueMs.push_back(logged / speed);
        dueNs.push_back(std::llround(logged / speed * 1e6));
    }
    // Both at once, so they meet the same machine; each to its own receiver.
    CountingReceiver ours{size_t(n)};
    CountingReceiver theirs{size_t(n)};
    QProcess send;
    send.start(QStringLiteral(TALVEX_SEND),
               {QStringLiteral("-q"), QStringLiteral("--pace"), QStringLiteral("recorded"),
                QStringLiteral("--speed"), QString::number(speed), QStringLiteral("--retime"),
                QStringLiteral("-t"), QStringLiteral("127.0.0.1:%1").arg(ours.port()), Sample});
    ReferenceSender::Result reference;
    std::thread referenceThread(
        [&] { reference = ReferenceSender::sendOnSchedule(theirs.port(), lines, dueNs); });
    const bool finished = send.waitForFinished(int(dueMs.back()) + 60000);
    referenceThread.join();
    ours.waitFor(n, 2000);
    theirs.waitFor(n, 2000);
    const QString summary = QString::fromLocal8Bit(send.readAllStandardError()).trimmed();

    double endOurs = NAN;
    double endTheirs = NAN;
    const std::vector<double> a = gapErrors(ours.times(), dueMs, &endOurs);
    const std::vector<double> b = gapErrors(theirs.times(), dueMs, &endTheirs);
    auto ms = [](double v) { return QStringLiteral("%1 ms").arg(v, 0, 'f', 3); };
    const double p99 = percentile(a, 99);
    const double refP99 = percentile(b, 99);
    printRow(benchmark, QStringLiteral("gap error p50, talvex-send"), ms(percentile(a, 50)),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("gap error p99, talvex-send"), ms(p99),
             QStringLiteral("<= ref + 1 ms"), verdict(p99 <= refP99 + 1.0));
    printRow(benchmark, QStringLiteral("gap error max, talvex-send"), ms(percentile(a, 100)),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("gap error p50, reference"), ms(percentile(b, 50)),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("gap error p99, reference"), ms(refP99), QStringLiteral("-"),
             QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("gap error max, reference"), ms(percentile(b, 100)),
             QStringLiteral("-"), QStringLiteral("info"));
    // An absolute schedule does not drift: the last line is where the schedule puts it.
    printRow(benchmark, QStringLiteral("last line off its place, talvex-send / reference"),
             ms(endOurs) + QStringLiteral(" / ") + ms(endTheirs), QStringLiteral("<= ref + 1 ms"),
             verdict(endOurs <= endTheirs + 1.0));
    printRow(benchmark, QStringLiteral("datagrams received, talvex-send / reference"),
             QStringLiteral("%1 / %2").arg(ours.count()).arg(theirs.count()), QStringLiteral("= %1").arg(n),
             verdict(finished && ours.count() == n && theirs.count() == n));
    printRow(benchmark, QStringLiteral("replay length, recorded / speed"),
             QStringLiteral("%1 s").arg(dueMs.back() / 1000, 0, 'f', 1), QStringLiteral("-"),
             QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("talvex-send summary"), summary.section(QLatin1Char('\n'), -1),
             QStringLiteral("-"), QStringLiteral("info"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double speed = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 60;
    replay(speed > 0 ? speed : 60);
    return 0;
}
