// SPDX-License-Identifier: GPL-3.0-or-later
// Engine benchmarks: pacing of the wait, its processor cost, sustained rate, and the cost of a
// random draw on a large source. Usage: talvex_bench pacing|waitcost|rate|scale
#include "BenchKit.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

#include <ctime>
#include <vector>

using namespace BenchKit;

namespace {

void pacing(double delay, int lines) {
    WorkDir dir;
    const QString name = QStringLiteral("pace");
    writeSource(name, lines);
    CheapHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    std::vector<double> lateMs;
    // A wait starts after the previous line went to its output and the next one was read; the
    // line is due one delay later and is echoed as soon as it went to its output. Measuring from
    // the previous line's hand-over to this echo bounds the lateness from above (it includes the
    // read and the output's own cost).
    double waitStart = 0;
    host.onEcho = [&] { lateMs.push_back((monotonicSeconds() - waitStart - delay) * 1000); };
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&] { waitStart = monotonicSeconds(); });
    waitStart = monotonicSeconds();
    const double cpuStart = processCpuSeconds();
    playAndWait(run, name, QString::number(delay), int(delay * lines) + 120);
    const double cpu = processCpuSeconds() - cpuStart;
    const QString benchmark = QStringLiteral("pacing, delay %1 s x %2").arg(delay).arg(lines);
    const double p50 = percentile(lateMs, 50);
    const double p99 = percentile(lateMs, 99);
    printRow(benchmark, QStringLiteral("lateness p50"), QStringLiteral("%1 ms").arg(p50, 0, 'f', 3),
             QStringLiteral("<= 0.2 ms"), verdict(p50 <= 0.2));
    printRow(benchmark, QStringLiteral("lateness p99"), QStringLiteral("%1 ms").arg(p99, 0, 'f', 3),
             QStringLiteral("<= 1 ms"), verdict(p99 <= 1.0));
    printRow(benchmark, QStringLiteral("lateness max"),
             QStringLiteral("%1 ms").arg(percentile(lateMs, 100), 0, 'f', 3), QStringLiteral("-"),
             QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("lines produced"), QString::number(lateMs.size()),
             QStringLiteral("= %1").arg(lines), verdict(int(lateMs.size()) == lines));
    printRow(benchmark, QStringLiteral("process CPU / wall"),
             QStringLiteral("%1 %").arg(cpu / (delay * lines) * 100, 0, 'f', 2), QStringLiteral("-"),
             QStringLiteral("info"));
}

void waitCost() {
    WorkDir dir;
    const QString name = QStringLiteral("cost");
    writeSource(name, 10);
    CheapHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    // The processor time spent inside each wait: from a line's hand-over to its output until the
    // next line is echoed, right after its own hand-over (a write to a file). Part of it is the kernel's own
    // cost of putting a process to sleep and waking it, which a plain clock_nanosleep pays too; what the wait
    // spends beyond that would be spinning.
    double waitCpu = 0;
    double handedOver = -1;
    int waits = 0;
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&] { handedOver = processCpuSeconds(); });
    host.onEcho = [&] {
        if (handedOver >= 0) {
            waitCpu += processCpuSeconds() - handedOver;
            ++waits;
        }
    };
    const double wallStart = monotonicSeconds();
    const double cpuStart = processCpuSeconds();
    playAndWait(run, name, QStringLiteral("1"), 60);
    const double wall = monotonicSeconds() - wallStart;
    const double cpu = processCpuSeconds() - cpuStart;
    const double percent = cpu / wall * 100;
    printRow(QStringLiteral("cost of waiting, delay 1 s x 10"), QStringLiteral("process CPU / wall"),
             QStringLiteral("%1 % (%2 ms CPU in %3 s)")
                 .arg(percent, 0, 'f', 3)
                 .arg(cpu * 1000, 0, 'f', 1)
                 .arg(wall, 0, 'f', 2),
             QStringLiteral("<= 1 %"), verdict(percent <= 1.0));

    double sleepCpu = 0;
    const int sleeps = 5;
    for (int i = 0; i < sleeps; ++i) {
        const double before = processCpuSeconds();
        const timespec fifth{0, 200 * 1000 * 1000};
        ::clock_nanosleep(CLOCK_MONOTONIC, 0, &fifth, nullptr);
        sleepCpu += processCpuSeconds() - before;
    }
    const double perWaitUs = waits > 0 ? waitCpu / waits * 1e6 : 0;
    const double perSleepUs = sleepCpu / sleeps * 1e6;
    printRow(QStringLiteral("cost of waiting, delay 1 s x 10"),
             QStringLiteral("CPU inside one wait, mean of %1").arg(waits),
             QStringLiteral("%1 us").arg(perWaitUs, 0, 'f', 1), QStringLiteral("-"), QStringLiteral("info"));
    printRow(QStringLiteral("cost of waiting, reference"), QStringLiteral("CPU inside one clock_nanosleep"),
             QStringLiteral("%1 us").arg(perSleepUs, 0, 'f', 1), QStringLiteral("-"), QStringLiteral("info"));
    printRow(QStringLiteral("cost of waiting, delay 1 s x 10"),
             QStringLiteral("CPU inside one wait beyond the reference (spinning)"),
             QStringLiteral("%1 us").arg(perWaitUs - perSleepUs, 0, 'f', 1), QStringLiteral("<= 50 us"),
             verdict(waits == 9 && perWaitUs - perSleepUs <= 50));
}

// Cost per line of a random run (after indexing) on a source of `lines` lines, in microseconds.
double randomCostPerLine(qint64 lines, qint64 draws, double* indexSeconds) {
    const QString name = QStringLiteral("random%1").arg(lines);
    writeSource(name, lines);
    CheapHost host;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    run.setGenerationOrder(GenerationOrder::Random);
    double firstLine = 0;
    double last = 0;
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&](qint64 count) {
        if (count == 1)
            firstLine = monotonicSeconds();
        if (count == draws + 1) {
            last = monotonicSeconds();
            run.stop();
        }
    });
    const double start = monotonicSeconds();
    run.play(name, QStringLiteral("0.000001"));
    *indexSeconds = monotonicSeconds() - start;
    if (run.isRunning()) {
        QEventLoop loop;
        QObject::connect(&run, &GenerationRun::runEnded, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return (last - firstLine) / double(draws) * 1e6;
}

void scale() {
    WorkDir dir;
    const qint64 draws = 50000;
    double indexSmall = 0;
    double indexLarge = 0;
    const double small = randomCostPerLine(1000, draws, &indexSmall);
    const double large = randomCostPerLine(1000000, draws, &indexLarge);
    const QString benchmark = QStringLiteral("scale, random order");
    printRow(benchmark, QStringLiteral("cost per line, 1,000-line source"),
             QStringLiteral("%1 us").arg(small, 0, 'f', 1), QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("cost per line, 1,000,000-line source"),
             QStringLiteral("%1 us").arg(large, 0, 'f', 1), QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("ratio large / small"), QString::number(large / small, 'f', 2),
             QStringLiteral("<= 2"), verdict(large / small <= 2.0));
    printRow(benchmark, QStringLiteral("Play press incl. indexing 1,000,000 lines"),
             QStringLiteral("%1 ms").arg(indexLarge * 1000, 0, 'f', 0), QStringLiteral("-"),
             QStringLiteral("info"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (what == QLatin1String("pacing")) {
        pacing(0.01, 500);
        pacing(1, 10);
    } else if (what == QLatin1String("waitcost")) {
        waitCost();
    } else if (what == QLatin1String("rate")) {
        CheapHost host;
        measureRate(host, QStringLiteral("rate, UDP, echo to a stand-in window"), 200000);
    } else if (what == QLatin1String("scale")) {
        scale();
    } else {
        QTextStream(stderr) << "usage: talvex_bench pacing|waitcost|rate|scale\n";
        return 2;
    }
    return 0;
}
