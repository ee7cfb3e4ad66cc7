// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/SendCommand.h"

#include "engine/GenerationRun.h"
#include "engine/RandomFraction.h"
#include "engine/SourceReader.h"
#include "platform/Console.h"

#include <QDir>
#include <QEventLoop>

#include <cerrno>
#include <cstring>

namespace {
constexpr int ProgressIntervalMs = 250;

void printError(const QString& message) {
    const QByteArray text = QByteArrayLiteral("talvex-send: ") + message.toLocal8Bit() + '\n';
    platform::Console::writeStandardError(text);
}

QString errorText(const RunError& error) {
    return QStringLiteral("Err: %1 : %2").arg(error.number).arg(error.description);
}
} // namespace

SendCommand::SendCommand(const SendOptions& options, QObject* parent)
    : QObject(parent), m_options(options),
      m_host(std::make_unique<ConsoleHost>(options.append, options.echo, options.delay > 0)) {
    m_progress = !options.quiet && platform::Console::standardErrorIsTerminal();
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &SendCommand::showProgress);
    m_durationTimer.setSingleShot(true);
    m_durationTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { stopWith(Ending::Duration); });
}

SendCommand::~SendCommand() = default;

SendCommand::Status SendCommand::copyStandardInput() {
    // The run reads its source more than once (a loop, the random index), so standard input is
    // read to its end first, into a private file that goes when the program ends.
    m_stdinCopy.setFileTemplate(QDir::tempPath() + QStringLiteral("/talvex-send-XXXXXX.txt"));
    if (!m_stdinCopy.open()) {
        printError(QStringLiteral("cannot keep standard input in a temporary file: %1")
                       .arg(m_stdinCopy.errorString()));
        return BadUsage;
    }
    QByteArray block(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = platform::Console::readStandardInput(block.data(), block.size());
        if (got == 0)
            break;
        if (got < 0) {
            printError(QStringLiteral("cannot read standard input: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return BadUsage;
        }
        if (m_stdinCopy.write(block.constData(), got) != got) {
            printError(QStringLiteral("cannot keep standard input in %1: %2")
                           .arg(m_stdinCopy.fileName(), m_stdinCopy.errorString()));
            return BadUsage;
        }
    }
    if (!m_stdinCopy.flush()) {
        printError(QStringLiteral("cannot keep standard input in %1: %2")
                       .arg(m_stdinCopy.fileName(), m_stdinCopy.errorString()));
        return BadUsage;
    }
    m_sourcePath = m_stdinCopy.fileName();
    return Success;
}

SendCommand::Status SendCommand::prepare() {
    if (m_options.source == QLatin1String("-")) {
        if (const Status status = copyStandardInput(); status != Success)
            return status;
    } else {
        m_sourcePath = m_options.source;
    }
    // The run would report a source it cannot read only once started; say it before anything is sent.
    RunError error;
    if (!SourceReader::openForReading(m_sourcePath, &error).isOpen()) {
        printError(errorText(error));
        return BadUsage;
    }

    if (!m_options.toFile()) {
        const bool bound = m_udp.open(m_options.host, m_options.port);
        error = m_udp.destinationError();
        if (error.isError()) {
            printError(errorText(error));
            return BadUsage;
        }
        if (!bound) {
            printError(
                QStringLiteral("cannot open a UDP socket for %1").arg(m_udp.remoteAddress().toString()));
            return BadUsage;
        }
    }
    return Success;
}

SendCommand::Status SendCommand::run() {
    RandomFraction::setSeed(m_options.seed);
    m_run = std::make_unique<GenerationRun>(m_host.get(), &m_udp);
    m_run->setGenerationOrder(m_options.random ? GenerationOrder::Random : GenerationOrder::Sequential);
    m_run->setOutput(m_options.toFile() ? Output::File : Output::Syslog);
    m_run->setLoop(m_options.loop);
    connect(m_run.get(), &GenerationRun::lineProduced, this, [this](qint64 count) { lineProduced(count); });

    QEventLoop loop;
    connect(m_run.get(), &GenerationRun::runEnded, &loop, &QEventLoop::quit);
    if (m_progress || (m_options.echo && m_options.delay <= 0))
        m_progressTimer.start();
    if (m_options.duration > 0)
        m_durationTimer.start(static_cast<int>(std::min(m_options.duration * 1000, 2.0e9)));
    m_clock.start();
    m_run->playFile(m_sourcePath, m_options.outputPath, m_options.delay);
    if (m_run->isRunning())
        loop.exec();
    m_progressTimer.stop();
    m_durationTimer.stop();
    m_host->flushEcho();

    if (m_ending == Ending::None)
        m_ending = m_host->failed() ? Ending::Failed : Ending::EndOfSource;
    if (m_host->failed())
        m_ending = Ending::Failed;
    if (m_progress) {
        const QByteArray clear("\r\x1b[K");
        platform::Console::writeStandardError(clear);
    }
    if (m_ending == Ending::Failed)
        printError(m_host->error());
    if (m_ending == Ending::EchoFailed)
        printError(QStringLiteral("standard output could not take the lines; run stopped"));

    static const char* const endings[] = {"",
                                          "end of source",
                                          "count reached",
                                          "duration reached",
                                          "interrupted",
                                          "stopped by a failure",
                                          "stopped by a failure"};
    printError(progressText() + QStringLiteral(", ") + QLatin1String(endings[static_cast<int>(m_ending)]));
    return m_ending == Ending::Failed || m_ending == Ending::EchoFailed ? RunFailed : Success;
}

void SendCommand::lineProduced(qint64 count) {
    m_lines = count;
    if (m_host->echoFailed())
        stopWith(Ending::EchoFailed);
    else if (m_options.count > 0 && count >= m_options.count)
        stopWith(Ending::Count);
}

void SendCommand::interrupt() {
    stopWith(Ending::Interrupted);
}

void SendCommand::stopWith(Ending ending) {
    if (!m_run || !m_run->isRunning())
        return;
    m_ending = ending;
    m_run->stop(); // closes the output file with every line produced in it
}

QString SendCommand::progressText() const {
    const double seconds = m_clock.isValid() ? double(m_clock.nsecsElapsed()) / 1e9 : 0;
    const double rate = seconds > 0 ? double(m_lines) / seconds : 0;
    const int errors = m_host->failed() || m_ending == Ending::EchoFailed ? 1 : 0;
    return QStringLiteral("%1 %2 in %3 s (%4 lines/s), %5 %6")
        .arg(m_lines)
        .arg(m_lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(seconds, 0, 'f', 1)
        .arg(rate, 0, 'f', 0)
        .arg(errors)
        .arg(errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"));
}

void SendCommand::showProgress() {
    m_host->flushEcho();
    if (!m_progress)
        return;
    const QByteArray line = "\r" + progressText().toLocal8Bit() + "\x1b[K";
    platform::Console::writeStandardError(line);
}
