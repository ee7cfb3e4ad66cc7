// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the first random run of a fresh process on "Logs Source/<name>.txt" in <dir> and prints
// each produced line, hex-encoded, one per output line. The random-order test starts it twice
// to check that two program starts draw the same sequence.
#include "FakeRunHost.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        QTextStream(stderr) << "usage: random_run_helper <dir> <source name> <line count>\n";
        return 2;
    }
    if (!QDir::setCurrent(args.at(1)))
        return 2;
    const qint64 wanted = args.at(3).toLongLong();

    FakeRunHost host;
    host.answerYes = false;
    UdpSink udp;
    GenerationRun run(&host, &udp);
    run.setGenerationOrder(GenerationOrder::Random);
    QTextStream out(stdout);
    QObject::connect(&run, &GenerationRun::lineProduced, &run, [&](qint64 count, const QByteArray& line) {
        out << line.toHex() << '\n';
        if (count >= wanted)
            run.stop();
    });
    QObject::connect(&run, &GenerationRun::runEnded, &app, &QCoreApplication::quit);
    run.play(args.at(2), QStringLiteral("0.000001"));
    if (run.isRunning())
        app.exec();
    out.flush();
    return host.errorCount == 0 ? 0 : 1;
}
