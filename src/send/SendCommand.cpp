// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/SendCommand.h"

#include "engine/FileSink.h"
#include "engine/GenerationRun.h"
#include "engine/RandomFraction.h"
#include "engine/SourceReader.h"
#include "platform/Console.h"
#include "replay/RecordedPacing.h"
#include "replay/Retimer.h"
#include "send/InputSpool.h"
#include "transport/RelpOutput.h"
#include "transport/TcpOutput.h"
#include "transport/TlsOutput.h"
#include "transport/TransportError.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int ProgressIntervalMs = 250;

void printError(const QString& message) {
    const QByteArray text = QByteArrayLiteral("talvex-send: ") + message.toLocal8Bit() + '\n';
    platform::Console::writeStandardError(text);
}

QString errorText(const RunError& error) {
    return QStringLiteral("Err: %1 : %2").arg(error.number).arg(error.description);
}

// A rate with the precision it needs: "0.25", "1", "12.5", "44955".
QString rateText(double rate) {
    if (rate >= 100)
        return QString::number(rate, 'f', 0);
    QString text = QString::number(rate, 'f', rate >= 10 ? 1 : 2);
    while (text.contains(QLatin1Char('.')) &&
           (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text;
}

const char* endingText(int ending) {
    static const char* const texts[] = {"",
                                        "end of source",
                                        "count reached",
                                        "duration reached",
                                        "interrupted",
                                        "source is empty",
                                        "stopped by a failure",
                                        "stopped by a failure",
                                        "not started"};
    return texts[ending];
}
} // namespace

SendCommand::SendCommand(const SendOptions& options, QObject* parent)
    : QObject(parent), m_options(options),
      m_echo(options.delay > 0 || (options.rate > 0 && options.rate <= 100) || options.recordedPace),
      m_ratePacing(options.rate > 0 ? options.rate : 1) {
    m_progress = !options.quiet && platform::Console::standardErrorIsTerminal();
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &SendCommand::showProgress);
    m_durationTimer.setSingleShot(true);
    m_durationTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { stopWith(Ending::Duration); });
    // Echoed lines and the progress line share a terminal: the progress line makes way.
    if (m_progress && options.echo && platform::Console::standardOutputIsTerminal())
        m_echo.setBeforeEcho([this] { eraseProgress(); });
    m_udp.setBatching(true);
}

SendCommand::~SendCommand() {
    if (m_ownsStream && m_streamFd >= 0)
        ::close(m_streamFd);
}

void SendCommand::setOutputClosed() {
    if (m_options.echo)
        m_echo.setOutputClosed();
}

SendCommand::Status SendCommand::openSource() {
    // A pipe, a FIFO, a terminal or process substitution is a stream: played as its lines arrive,
    // or kept in a file first when the run must read it more than once.
    int fd = -1;
    if (m_options.fromStandardInput()) {
        fd = STDIN_FILENO;
    } else {
        struct stat named {};
        if (::stat(QFile::encodeName(m_options.source).constData(), &named) == 0 && !S_ISREG(named.st_mode) &&
            !S_ISDIR(named.st_mode)) {
            // Like any reader of a FIFO, wait here for its writer.
            do {
                fd = ::open(QFile::encodeName(m_options.source).constData(), O_RDONLY | O_CLOEXEC);
            } while (fd < 0 && errno == EINTR);
            if (fd < 0) {
                printError(QStringLiteral("cannot read %1: %2")
                               .arg(m_options.source, QString::fromLocal8Bit(std::strerror(errno))));
                return BadUsage;
            }
            m_ownsStream = true;
        }
    }
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fd == STDIN_FILENO) {
            // Standard input from a file: that file, read as any source is.
            m_sourcePath = QStringLiteral("/proc/self/fd/%1").arg(fd);
        } else {
            m_streamFd = fd;
            m_needsSpool = m_options.loop || m_options.random;
            return Success;
        }
    } else {
        m_sourcePath = m_options.source;
    }
    // The run would report a source it cannot read only once started; say it before anything is sent.
    RunError error;
    if (!SourceReader::openForReading(m_sourcePath, &error).isOpen()) {
        if (m_options.fromStandardInput())
            error.description.replace(m_sourcePath, QStringLiteral("standard input"));
        printError(errorText(error));
        return BadUsage;
    }
    return Success;
}

SendCommand::Status SendCommand::checkOutput() {
    // Every reason the output file cannot be used is found here, before the first line: a folder
    // missing, a folder in its place, no right to write, a FIFO without reader, the source itself.
    RunError ignored;
    const platform::File source = m_streamFd >= 0 ? platform::File::duplicate(m_streamFd)
                                                  : SourceReader::openForReading(m_sourcePath, &ignored);
    FileSink probe;
    const RunError error = probe.open(m_options.outputPath, FileSink::Mode::Append, &source);
    if (error.isError()) {
        printError(errorText(error));
        return BadUsage;
    }
    return Success;
}

SendCommand::Status SendCommand::prepare() {
    for (const QString& notice : m_options.notices)
        printError(notice);
    if (const Status status = openSource(); status != Success)
        return status;
    if (m_options.toFile())
        return checkOutput();

    if (m_options.overStream())
        return openTransport();
    const bool bound = m_udp.open(m_options.destination.host, m_options.destination.port);
    const RunError error = m_udp.destinationError();
    if (error.isError()) {
        printError(errorText(error));
        return BadUsage;
    }
    if (!bound) {
        printError(QStringLiteral("cannot open a UDP socket for %1").arg(m_udp.remoteAddress().toString()));
        return BadUsage;
    }
    return Success;
}

SendCommand::Status SendCommand::openTransport() {
    // The receiver is reached (and its certificate checked) now: a receiver that cannot be used
    // is found before the first line.
    const Destination& destination = m_options.destination;
    const qint64 retryMs = qint64(m_options.retry * 1000);
    RunError error;
    if (destination.transport == Destination::Transport::Relp) {
        m_relp = std::make_unique<RelpOutput>(destination);
        m_relp->setRetryMs(retryMs);
        // librelp's waits for an acknowledgement only end at its time-out (or a signal): a
        // receiver that stops answering must not hold the run long past its duration.
        if (m_options.duration > 0)
            m_relp->setAnswerTimeoutSeconds(int(std::clamp(std::ceil(m_options.duration), 1.0,
                                                           double(RelpOutput::DefaultAnswerTimeoutSeconds))));
        error = m_relp->open();
    } else if (destination.transport == Destination::Transport::Tls) {
        auto tls = std::make_unique<TlsOutput>(destination, m_options.framing, m_options.tls);
        error = tls->prepare();
        if (!error.isError() && m_options.tls.insecure)
            printError(QStringLiteral("--insecure: the certificate of %1 is not checked; whoever is in "
                                      "between can read and change the lines")
                           .arg(destination.toString()));
        m_stream = std::move(tls);
    } else {
        m_stream = std::make_unique<TcpOutput>(destination, m_options.framing);
    }
    if (m_stream) {
        m_stream->setRetryMs(retryMs);
        if (!error.isError())
            error = m_stream->open();
    }
    if (error.isError()) {
        printError(errorText(error));
        return BadUsage;
    }
    return Success;
}

LineOutput* SendCommand::network() {
    if (m_stream)
        return m_stream.get();
    if (m_relp)
        return m_relp.get();
    return &m_udp;
}

void SendCommand::setStopSignals(int descriptor, int* flag) {
    m_limits.setStopDescriptor(descriptor);
    applyLimits();
    if (m_relp)
        m_relp->setStopFlag(flag);
}

void SendCommand::applyLimits() {
    if (m_stream)
        m_stream->setWaitLimits(m_limits);
    if (m_relp)
        m_relp->setWaitLimits(m_limits);
}

void SendCommand::runFailed(const RunError& error) {
    m_runError = error;
}

bool SendCommand::spoolInput() {
    m_spool = std::make_unique<InputSpool>();
    if (!m_spool->start(m_streamFd)) {
        m_failure = m_spool->error();
        return false;
    }
    QEventLoop loop;
    bool ok = false;
    connect(m_spool.get(), &InputSpool::finished, &loop, [&](bool done) {
        ok = done;
        loop.quit();
    });
    if (m_progress)
        m_progressTimer.start();
    loop.exec();
    m_progressTimer.stop();
    if (m_ending == Ending::Interrupted)
        return true;
    if (!ok) {
        m_failure = m_spool->error();
        return false;
    }
    m_sourcePath = m_spool->path();
    m_streamFd = -1;
    return true;
}

SendCommand::Status SendCommand::run() {
    m_clock.start();
    if (m_needsSpool) {
        if (!spoolInput())
            return finish(Ending::Unusable);
        if (m_ending == Ending::Interrupted)
            return finish(Ending::Interrupted);
    }
    if (m_streamFd < 0 && QFileInfo(m_sourcePath).size() == 0)
        return finish(Ending::EmptySource);

    RandomFraction::setSeed(m_options.seed);
    // No window: the run is followed through its signals.
    m_run = std::make_unique<GenerationRun>(nullptr, network());
    m_run->setExistingFile(m_options.append ? GenerationRun::ExistingFile::Append
                                            : GenerationRun::ExistingFile::Replace);
    m_run->setGenerationOrder(m_options.random ? GenerationOrder::Random : GenerationOrder::Sequential);
    m_run->setOutput(m_options.toFile() ? Output::File : Output::Syslog);
    m_run->setLoop(m_options.loop);
    m_run->setLineEnds(m_options.lineEnds);
    if (m_options.rate > 0)
        m_run->setPacing(&m_ratePacing);
    if (m_options.recordedPace) {
        const qint64 maxGapNs = m_options.maxGapSeconds < 0
                                    ? RecordedPacing::NoGapLimit
                                    : qint64(std::llround(m_options.maxGapSeconds * 1e9));
        m_recordedPacing = std::make_unique<RecordedPacing>(m_options.speed, maxGapNs);
        m_run->setPacing(m_recordedPacing.get());
    }
    if (m_options.retime) {
        m_retimer = std::make_unique<Retimer>();
        m_run->setRewriter(m_retimer.get());
    }
    connect(m_run.get(), &GenerationRun::lineProduced, this, &SendCommand::lineProduced);
    connect(m_run.get(), &GenerationRun::failed, this, &SendCommand::runFailed);

    QEventLoop loop;
    connect(m_run.get(), &GenerationRun::runEnded, &loop, &QEventLoop::quit);
    if (m_progress || m_options.echo)
        m_progressTimer.start();
    if (m_options.duration > 0) {
        m_durationTimer.start(static_cast<int>(std::min(m_options.duration * 1000, 2.0e9)));
        // A receiver that stops reading holds the run outside the event loop: the duration ends
        // that wait too.
        m_limits.setDeadline(
            QDeadlineTimer(static_cast<qint64>(std::min(m_options.duration * 1000, 9.0e15))));
        applyLimits();
    }
    m_clock.start();
    if (m_streamFd >= 0)
        m_run->playStream(m_streamFd,
                          m_options.fromStandardInput() ? QStringLiteral("standard input") : m_options.source,
                          m_options.outputPath, m_options.delay);
    else
        m_run->playFile(m_sourcePath, m_options.outputPath, m_options.delay);
    if (m_run->isRunning())
        loop.exec();
    m_progressTimer.stop();
    m_durationTimer.stop();
    if (m_options.echo)
        m_echo.flush();
    // The end of the session: TCP and TLS close in order, RELP waits for the last acknowledgements.
    if (m_stream)
        m_stream->close();
    if (m_relp)
        m_relp->close();

    Ending ending = m_ending == Ending::None ? Ending::EndOfSource : m_ending;
    if (m_runError.number == TransportError::Interrupted) {
        // A wait on the receiver cut short by a stop request or the duration: the run ends as
        // those do, not as a failure.
        ending = m_limits.deadline().hasExpired() && m_ending != Ending::Interrupted ? Ending::Duration
                                                                                     : Ending::Interrupted;
    } else if (m_runError.isError()) {
        ending = Ending::Failed;
        m_failure = errorText(m_runError);
        if (m_options.fromStandardInput() && !m_sourcePath.isEmpty())
            m_failure.replace(m_sourcePath, QStringLiteral("standard input"));
        if (const qint64 line = m_run->sourceLineNumber(); line > 0)
            m_failure += QStringLiteral(" (line %1 of the source)").arg(line);
    } else if (m_echo.failed()) {
        ending = Ending::EchoFailed;
        m_failure = m_echo.error();
    }
    return finish(ending);
}

SendCommand::Status SendCommand::finish(Ending ending) {
    m_ending = ending;
    eraseProgress();
    Status status = Success;
    if (ending == Ending::Failed || ending == Ending::EchoFailed)
        status = RunFailed;
    else if (ending == Ending::Unusable)
        status = BadUsage;
    if (!m_failure.isEmpty())
        printError(m_failure);
    printSummary(status);
    return status;
}

void SendCommand::printSummary(Status status) {
    const double seconds = m_clock.isValid() ? double(m_clock.nsecsElapsed()) / 1e9 : 0;
    // Lines that never reached the retimer (none were produced) count as neither.
    const qint64 retimed = m_retimer ? m_retimer->retimed() : 0;
    const qint64 notRetimed = m_retimer ? m_retimer->unchanged() : 0;
    if (!m_options.jsonSummary) {
        const QString retimeText = m_options.retime ? QStringLiteral(", %1 retimed, %2 left as %3")
                                                          .arg(retimed)
                                                          .arg(notRetimed)
                                                          .arg(notRetimed == 1 ? QStringLiteral("it was")
                                                                               : QStringLiteral("they were"))
                                                    : QString();
        printError(progressText() + retimeText + QStringLiteral(", ") +
                   QLatin1String(endingText(int(m_ending))) + deliveryText());
        return;
    }
    QJsonObject summary{
        {QStringLiteral("lines"), m_lines},
        {QStringLiteral("bytes"), m_bytes},
        {QStringLiteral("errors"), status == RunFailed ? 1 : 0},
        {QStringLiteral("seconds"), seconds},
        {QStringLiteral("lines_per_second"), seconds > 0 ? double(m_lines) / seconds : 0.0},
        {QStringLiteral("end"), QLatin1String(endingText(int(m_ending)))},
        {QStringLiteral("error"), m_failure},
        {QStringLiteral("exit_status"), int(status)},
    };
    if (m_options.retime) {
        summary.insert(QStringLiteral("retimed"), retimed);
        summary.insert(QStringLiteral("not_retimed"), notRetimed);
    }
    summary.insert(QStringLiteral("transport"),
                   m_options.toFile() ? QStringLiteral("file")
                                      : Destination::schemeName(m_options.destination.transport));
    if (m_stream || m_relp) {
        const DeliveryCounts& c = m_stream ? m_stream->counts() : m_relp->counts();
        summary.insert(QStringLiteral("written"), c.written);
        summary.insert(QStringLiteral("unsent"), c.unsent);
        summary.insert(QStringLiteral("reconnects"), c.reconnects);
        if (m_stream) {
            summary.insert(QStringLiteral("at_risk"), c.atRisk);
        } else {
            summary.insert(QStringLiteral("acknowledged"), c.acknowledged);
            summary.insert(QStringLiteral("acknowledged_exact"), c.acknowledgedExact);
        }
    }
    platform::Console::writeStandardError(QJsonDocument(summary).toJson(QJsonDocument::Compact) + '\n');
}

QString SendCommand::deliveryText() const {
    // What the receiver got, as far as the transport can tell.
    if (!m_stream && !m_relp)
        return QString();
    const DeliveryCounts& c = m_stream ? m_stream->counts() : m_relp->counts();
    const auto lines = [](qint64 n) {
        return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
    };
    QString text = QStringLiteral("; %1: %2 written").arg(m_options.destination.toString(), lines(c.written));
    if (m_stream)
        text += c.atRisk == 0 ? QStringLiteral(", none at risk")
                              : QStringLiteral(", %1 at risk (written to a connection that later broke)")
                                    .arg(lines(c.atRisk));
    else if (c.acknowledgedExact)
        text += QStringLiteral(", %1 acknowledged").arg(c.acknowledged);
    else
        text += QStringLiteral(", at least %1 acknowledged").arg(c.acknowledged);
    if (c.unsent > 0)
        text += QStringLiteral(", %1 not sent").arg(c.unsent);
    if (c.reconnects > 0)
        text +=
            QStringLiteral(", %1 %2")
                .arg(c.reconnects)
                .arg(c.reconnects == 1 ? QStringLiteral("reconnection") : QStringLiteral("reconnections"));
    return text;
}

void SendCommand::lineProduced(qint64 count, const QByteArray& line) {
    m_lines = count;
    m_bytes += line.size();
    if (!m_lineFeedNoticed && m_options.lineEnds == LineEnds::CarriageReturn && line.contains('\n')) {
        m_lineFeedNoticed = true;
        eraseProgress();
        printError(QStringLiteral("the source has line feeds inside its lines: with --line-ends cr only a "
                                  "carriage return ends a line; --line-ends any splits at line feeds too"));
    }
    if (m_options.echo)
        m_echo.write(line);
    if (m_echo.failed())
        stopWith(Ending::EchoFailed);
    else if (m_options.count > 0 && count >= m_options.count)
        stopWith(Ending::Count);
}

void SendCommand::interrupt() {
    // The outputs end without waiting on the receiver any more.
    m_limits.setDeadline(QDeadlineTimer(0));
    applyLimits();
    if (m_spool && m_ending == Ending::None) {
        m_ending = Ending::Interrupted;
        m_spool->cancel();
        return;
    }
    stopWith(Ending::Interrupted);
}

void SendCommand::stopWith(Ending ending) {
    if (!m_run || !m_run->isRunning())
        return;
    m_ending = ending;
    // Lines kept for a batch are produced lines: they go out now, and a refusal is the run's failure.
    if (const RunError error = m_udp.flush(); error.isError())
        m_runError = error;
    m_run->stop(); // closes the output file with every line produced in it
}

QString SendCommand::progressText() const {
    const double seconds = m_clock.isValid() ? double(m_clock.nsecsElapsed()) / 1e9 : 0;
    if (m_spool && !m_run)
        return QStringLiteral("reading standard input: %1 bytes in %2 s")
            .arg(m_spool->bytes())
            .arg(seconds, 0, 'f', 1);
    const double rate = seconds > 0 ? double(m_lines) / seconds : 0;
    const QString rateShown = rateText(rate);
    // A wait on the receiver cut short by a stop is how the run ends, not an error.
    const bool failed = m_runError.isError() && m_runError.number != TransportError::Interrupted;
    const int errors = failed || m_echo.failed() ? 1 : 0;
    return QStringLiteral("%1 %2 in %3 s (%4 %5/s), %6 %7")
        .arg(m_lines)
        .arg(m_lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(seconds, 0, 'f', 1)
        .arg(rateShown, rateShown == QLatin1String("1") ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(errors)
        .arg(errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"));
}

void SendCommand::eraseProgress() {
    if (!m_progressShown)
        return;
    m_progressShown = false;
    platform::Console::writeStandardError(QByteArrayLiteral("\r\x1b[K"));
}

void SendCommand::showProgress() {
    if (m_options.echo)
        m_echo.flush();
    if (!m_progress)
        return;
    const QByteArray line = "\r" + progressText().toLocal8Bit() + "\x1b[K";
    platform::Console::writeStandardError(line);
    m_progressShown = true;
}
