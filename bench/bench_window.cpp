// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks with the real window as the run's host, offscreen: sustained rate with the echo
// pane, peak memory after a million echoed lines, and a long soak run.
// Usage: talvex_bench_window rate|memory|soak [seconds]
#include "BenchKit.h"
#include "TalvexFRMTestAccess.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"
#include "window/TalvexFRM.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

using namespace BenchKit;

namespace {

// A looping UDP run of a 1,000-line source with the real window as its host, in a throwaway
// working directory, sending to a counting receiver on 127.0.0.1.
struct LoopingWindowRun {
    WorkDir dir;
    TalvexFRM window;
    CountingReceiver receiver;
    UdpSink udp;
    GenerationRun run{&window, &udp};

    explicit LoopingWindowRun(const QString& source) {
        writeSource(source, 1000);
        window.show();
        udp.setRemoteHost(QStringLiteral("127.0.0.1"));
        udp.setRemotePort(receiver.port());
        udp.bind(0);
        run.setOutput(Output::Syslog);
        run.setLoop(true);
    }
};

void memory(qint64 lines) {
    LoopingWindowRun bench(QStringLiteral("mem"));
    GenerationRun& run = bench.run;
    TalvexFRM& window = bench.window;
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&](qint64 count) {
        if (count == lines)
            run.stop();
    });
    const long before = peakRssKiB();
    const double start = monotonicSeconds();
    playAndWait(run, QStringLiteral("mem"), QStringLiteral("0.000001"), 1200);
    const double seconds = monotonicSeconds() - start;
    const long peak = peakRssKiB();
    const qsizetype paneLines = TalvexFRMTestAccess::echoText(window).count(QLatin1Char('\n'));
    const QString benchmark = QStringLiteral("scale, loop mode, real window");
    printRow(benchmark, QStringLiteral("peak memory after %1 echoed lines").arg(lines),
             QStringLiteral("%1 MB (%2 MB at start)").arg(peak / 1024).arg(before / 1024),
             QStringLiteral("<= 300 MB"), verdict(peak / 1024 <= 300));
    printRow(benchmark, QStringLiteral("lines kept by the echo pane"), QString::number(paneLines),
             QStringLiteral("<= 100000"), verdict(paneLines <= 100000));
    printRow(benchmark, QStringLiteral("lines/s"), QString::number(double(lines) / seconds, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
}

long currentRssKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (::sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// A looping UDP run at delay 0.001 s against a receiver for `seconds`: lines produced and
// received, the resident memory every 10 s (it must level off once the pane is full), CPU time.
void soak(int seconds) {
    LoopingWindowRun bench(QStringLiteral("soak"));
    GenerationRun& run = bench.run;
    CountingReceiver& receiver = bench.receiver;

    qint64 produced = 0;
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&](qint64 count) { produced = count; });
    QStringList samples;
    QElapsedTimer clock;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &run, [&] {
        samples << QStringLiteral("%1s:%2MB").arg(clock.elapsed() / 1000).arg(currentRssKiB() / 1024);
    });
    QTimer::singleShot(seconds * 1000, &run, [&run] { run.stop(); });
    clock.start();
    sampler.start(10000);
    const double cpuStart = processCpuSeconds();
    playAndWait(run, QStringLiteral("soak"), QStringLiteral("0.001"), seconds + 120);
    const double cpu = processCpuSeconds() - cpuStart;
    const double wall = double(clock.elapsed()) / 1000.0;
    const qint64 received = receiver.waitFor(produced, 3000);

    const QString benchmark = QStringLiteral("soak, loop, UDP, delay 0.001 s, real window");
    printRow(benchmark, QStringLiteral("wall time"), QStringLiteral("%1 s").arg(wall, 0, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("lines produced / received"),
             QStringLiteral("%1 / %2").arg(produced).arg(received), QStringLiteral("equal"),
             verdict(produced > 0 && produced == received));
    printRow(benchmark, QStringLiteral("lines per second"), QString::number(double(produced) / wall, 'f', 0),
             QStringLiteral("<= 1000"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("CPU time"),
             QStringLiteral("%1 s (%2 % of wall)").arg(cpu, 0, 'f', 1).arg(100 * cpu / wall, 0, 'f', 1),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("resident memory every 10 s"), samples.join(QLatin1Char(' ')),
             QStringLiteral("flat after the pane cap"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("peak memory"), QStringLiteral("%1 MB").arg(peakRssKiB() / 1024),
             QStringLiteral("<= 300 MB"), verdict(peakRssKiB() / 1024 <= 300));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (what == QLatin1String("rate")) {
        WorkDir dir; // the window reads Talvex.ini from the current directory
        TalvexFRM window;
        window.show();
        measureRate(window, QStringLiteral("rate, UDP, echo to the real window"), 200000);
    } else if (what == QLatin1String("memory")) {
        memory(1000000);
    } else if (what == QLatin1String("soak")) {
        soak(argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 600);
    } else {
        QTextStream(stderr) << "usage: talvex_bench_window rate|memory|soak [seconds]\n";
        return 2;
    }
    return 0;
}
