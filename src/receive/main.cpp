// SPDX-License-Identifier: GPL-3.0-or-later
// talvex-receive: the receiving end of talvex-send, for checks by hand and delivery proofs in CI.
#include "receive/ReceiveCommand.h"
#include "receive/ReceiveOptions.h"

#include "platform/Console.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
// Ctrl+C, `kill`, a closed terminal or Ctrl+\ end the reception with the summary, and the status
// says it went well.
bool interruptOnTerminationSignals(ReceiveCommand& command) {
    auto* watcher = new platform::TerminationSignals(&command);
    QObject::connect(watcher, &platform::TerminationSignals::received, &command, &ReceiveCommand::interrupt);
    return watcher->watch(platform::TerminationSignals::Terminate | platform::TerminationSignals::Interrupt |
                          platform::TerminationSignals::HangUp | platform::TerminationSignals::Quit);
}

} // namespace

int main(int argc, char* argv[]) {
    // First of all: the output file must not take the number of a closed standard stream.
    const bool outputClosed = platform::Console::prepareCommandLineProgram();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvex-receive"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));

    ReceiveOptions options;
    QString text;
    switch (ReceiveOptions::parse(QCoreApplication::arguments(), &options, &text)) {
    case ReceiveOptions::Action::Help:
    case ReceiveOptions::Action::Version:
        platform::Console::print(stdout, text);
        return ReceiveCommand::Success;
    case ReceiveOptions::Action::Error:
        platform::Console::print(
            stderr, QStringLiteral("talvex-receive: %1\nTry 'talvex-receive --help' for more information.\n")
                        .arg(text));
        return ReceiveCommand::BadUsage;
    case ReceiveOptions::Action::Run:
        break;
    }

    if (outputClosed && options.echo) {
        platform::Console::print(stderr,
                                 QStringLiteral("talvex-receive: --echo: standard output is closed\n"));
        return ReceiveCommand::BadUsage;
    }

    ReceiveCommand command(options);
    // Watched before listening: a signal from a script that saw the "listening on" line is
    // never lost.
    if (!interruptOnTerminationSignals(command)) {
        platform::Console::print(stderr,
                                 QStringLiteral("talvex-receive: cannot watch for SIGINT and SIGTERM\n"));
        return ReceiveCommand::BadUsage;
    }
    if (const ReceiveCommand::Status status = command.prepare(); status != ReceiveCommand::Success)
        return status;
    return command.run();
}
