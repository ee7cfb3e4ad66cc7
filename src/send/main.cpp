// talvex-send: the Talvex run from the command line, for scripts and CI pipelines.
#include "SendCommand.h"
#include "SendOptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// Ctrl+C or `kill` ends the run as Stop does: the output file keeps every line, the summary is
// printed, and the status says the run went well.
bool interruptOnTerminationSignals(SendCommand& command) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &command);
    QObject::connect(notifier, &QSocketNotifier::activated, &command, [&command] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        command.interrupt();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT})
        ::sigaction(sig, &action, nullptr);
    return true;
}

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvex-send"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));
    // A reader of --echo that goes away is seen as a failed write, not a sudden death.
    std::signal(SIGPIPE, SIG_IGN);

    SendOptions options;
    QString text;
    switch (SendOptions::parse(QCoreApplication::arguments(), &options, &text)) {
    case SendOptions::Action::Help:
    case SendOptions::Action::Version:
        print(stdout, text);
        return SendCommand::Success;
    case SendOptions::Action::Error:
        print(stderr,
              QStringLiteral("talvex-send: %1\nTry 'talvex-send --help' for more information.\n").arg(text));
        return SendCommand::BadUsage;
    case SendOptions::Action::Run:
        break;
    }

    SendCommand command(options);
    if (const SendCommand::Status status = command.prepare(); status != SendCommand::Success)
        return status;
    if (!interruptOnTerminationSignals(command)) {
        print(stderr, QStringLiteral("talvex-send: cannot watch for SIGINT and SIGTERM\n"));
        return SendCommand::BadUsage;
    }
    return command.run();
}
