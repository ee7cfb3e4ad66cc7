// Benchmarks with the real window as the run's host, offscreen: sustained rate with the echo
// pane, and peak memory after a million echoed lines. Usage: talvex_bench_window rate|memory
#include "BenchKit.h"
#include "GenerationRun.h"
#include "TalvexFRM.h"
#include "UdpSink.h"

#include <QApplication>
#include <QTextStream>

using namespace BenchKit;

namespace {

void memory(qint64 lines) {
    WorkDir dir;
    writeSource(QStringLiteral("mem"), 1000);
    TalvexFRM window;
    window.show();
    CountingReceiver receiver;
    UdpSink udp;
    udp.setRemoteHost(QStringLiteral("127.0.0.1"));
    udp.setRemotePort(receiver.port());
    udp.bind(0);
    GenerationRun run(&window, &udp);
    run.setOutputChoice(1);
    run.setLoopFlag(1);
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&](qint64 count) {
        if (count == lines)
            run.stop();
    });
    const long before = peakRssKiB();
    const double start = monotonicSeconds();
    playAndWait(run, QStringLiteral("mem"), QStringLiteral("0.000001"), 1200);
    const double seconds = monotonicSeconds() - start;
    const long peak = peakRssKiB();
    const qsizetype paneLines = window.echoText().count(QLatin1Char('\n'));
    const QString benchmark = QStringLiteral("scale, loop mode, real window");
    printRow(benchmark, QStringLiteral("peak memory after %1 echoed lines").arg(lines),
             QStringLiteral("%1 MB (%2 MB at start)").arg(peak / 1024).arg(before / 1024),
             QStringLiteral("<= 300 MB"), verdict(peak / 1024 <= 300));
    printRow(benchmark, QStringLiteral("lines kept by the echo pane"), QString::number(paneLines),
             QStringLiteral("<= 100000"), verdict(paneLines <= 100000));
    printRow(benchmark, QStringLiteral("lines/s"), QString::number(double(lines) / seconds, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
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
    } else {
        QTextStream(stderr) << "usage: talvex_bench_window rate|memory\n";
        return 2;
    }
    return 0;
}
