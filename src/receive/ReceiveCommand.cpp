// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/ReceiveCommand.h"

#include "engine/SourceReader.h"
#include "platform/Console.h"
#include "receive/Reception.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {
constexpr int ProgressIntervalMs = 250;

void printError(const QString& message) {
    platform::Console::writeStandardError(QByteArrayLiteral("talvex-receive: ") + message.toLocal8Bit() +
                                          '\n');
}

int milliseconds(double seconds) {
    return static_cast<int>(std::min(seconds * 1000, 2.0e9));
}

QString plural(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

const char* endingText(int ending) {
    static const char* const texts[] = {"",
                                        "count reached",
                                        "idle time reached",
                                        "duration reached",
                                        "timeout: fewer messages than the count",
                                        "interrupted",
                                        "stopped by a failure"};
    return texts[ending];
}
} // namespace

ReceiveCommand::ReceiveCommand(const ReceiveOptions& options, QObject* parent)
    : QObject(parent), m_options(options) {
    m_reception =
        std::make_unique<Reception>([this](QByteArrayView bytes, const QHostAddress&) { message(bytes); });
    connect(m_reception.get(), &Reception::batchRead, this, &ReceiveCommand::batchRead);
    connect(m_reception.get(), &Reception::warning, this, [](const QString& text) { printError(text); });
    m_output.setEcho(options.echo);
    m_output.setLineEnd(options.lineEnd);
    m_progress = !options.quiet && platform::Console::standardErrorIsTerminal();
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &ReceiveCommand::showProgress);
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &ReceiveCommand::checkIdle);
    for (QTimer* timer : {&m_durationTimer, &m_timeoutTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { endWith(Ending::Duration); });
    connect(&m_timeoutTimer, &QTimer::timeout, this, [this] { endWith(Ending::Timeout); });
}

ReceiveCommand::~ReceiveCommand() = default;

ReceiveCommand::Status ReceiveCommand::prepare() {
    if (!m_options.expectPath.isEmpty()) {
        m_check = std::make_unique<DeliveryCheck>();
        const RunError error = SourceReader::forEachLine(
            m_options.expectPath, [this](const QByteArray& line) { m_check->expect(line); },
            m_options.lineEnds);
        if (error.isError()) {
            printError(QStringLiteral("--expect %1: %2").arg(m_options.expectPath, error.description));
            return BadUsage;
        }
    }
    if (!m_options.outputPath.isEmpty() && !m_output.openFile(m_options.outputPath, m_options.append)) {
        printError(m_output.error());
        return BadUsage;
    }
    if (!m_options.tls.isEmpty()) {
        QSslConfiguration tls;
        QString error;
        if (!m_options.tls.load(&tls, &error)) {
            printError(error);
            return BadUsage;
        }
        m_reception->setTlsConfiguration(tls);
    }
    const ListenError error = m_reception->listen(m_options.listen);
    if (error.isError()) {
        printError(error.text);
        return BadUsage;
    }
    // Said before anything arrives, so a script (or a person) knows the port the system chose.
    for (const QString& address : m_reception->listening())
        printError(QStringLiteral("listening on %1").arg(address));
    return Success;
}

ReceiveCommand::Status ReceiveCommand::run() {
    m_clock.start();
    if (m_progress)
        m_progressTimer.start();
    if (m_options.idle > 0)
        m_idleTimer.start(milliseconds(m_options.idle));
    if (m_options.duration > 0)
        m_durationTimer.start(milliseconds(m_options.duration));
    if (m_options.timeout > 0)
        m_timeoutTimer.start(milliseconds(m_options.timeout));
    if (m_ending == Ending::None)
        m_loop.exec();
    m_reception->close();
    m_progressTimer.stop();
    m_idleTimer.stop();
    m_durationTimer.stop();
    m_timeoutTimer.stop();
    if (!m_output.flush() && m_ending != Ending::OutputFailed)
        m_ending = Ending::OutputFailed;
    if (m_progress)
        platform::Console::writeStandardError(QByteArrayLiteral("\r\x1b[K"));
    if (m_ending == Ending::OutputFailed)
        printError(m_output.error());

    Status status = Success;
    if (m_ending == Ending::Timeout || m_ending == Ending::OutputFailed)
        status = Failed;
    if (m_check && m_check->report().missing > 0)
        status = Failed;
    printSummary(status);
    return status;
}

void ReceiveCommand::interrupt() {
    endWith(Ending::Interrupted);
}

void ReceiveCommand::message(QByteArrayView bytes) {
    m_lastArrivalNs = m_clock.nsecsElapsed();
    if (m_firstArrivalNs < 0)
        m_firstArrivalNs = m_lastArrivalNs;
    m_output.write(bytes);
    if (m_check)
        m_check->arrived(bytes);
    if (m_options.count > 0 && m_reception->messages() >= m_options.count)
        endWith(Ending::Count);
}

void ReceiveCommand::batchRead() {
    if (!m_output.flush())
        endWith(Ending::OutputFailed);
}

void ReceiveCommand::checkIdle() {
    // Re-armed for what is left rather than restarted at each message: a flood costs no timer work.
    const qint64 last = m_lastArrivalNs < 0 ? 0 : m_lastArrivalNs;
    const qint64 quietMs = (m_clock.nsecsElapsed() - last) / 1000000;
    const qint64 idleMs = milliseconds(m_options.idle);
    if (quietMs >= idleMs)
        endWith(Ending::Idle);
    else
        m_idleTimer.start(int(idleMs - quietMs));
}

void ReceiveCommand::endWith(Ending ending) {
    if (m_ending != Ending::None)
        return;
    m_ending = ending;
    // Nothing more is counted from here, even the rest of a batch being read.
    m_reception->stop();
    m_loop.quit();
}

QString ReceiveCommand::progressText() const {
    const double seconds = double(m_clock.nsecsElapsed()) / 1e9;
    const qint64 span = m_lastArrivalNs - m_firstArrivalNs;
    const double rate = span > 0 ? double(m_reception->messages() - 1) / (double(span) / 1e9) : 0;
    return QStringLiteral("%1, %2 in %3 s (%4 messages/s)")
        .arg(plural(m_reception->messages(), "message", "messages"),
             plural(m_reception->bytes(), "byte", "bytes"))
        .arg(seconds, 0, 'f', 1)
        .arg(rate, 0, 'f', 0);
}

void ReceiveCommand::showProgress() {
    platform::Console::writeStandardError("\r" + progressText().toLocal8Bit() + "\x1b[K");
}

void ReceiveCommand::printSummary(Status status) {
    const Reception& r = *m_reception;
    const qint64 span = m_lastArrivalNs - m_firstArrivalNs;
    const double rate = span > 0 ? double(r.messages() - 1) / (double(span) / 1e9) : 0;
    const DeliveryCheck::Report check = m_check ? m_check->report() : DeliveryCheck::Report();

    if (m_options.summary == ReceiveOptions::Summary::Json) {
        QJsonObject senders;
        for (const auto& [address, count] : r.perSender())
            senders.insert(address, count);
        QJsonObject o{{QStringLiteral("messages"), r.messages()},
                      {QStringLiteral("bytes"), r.bytes()},
                      {QStringLiteral("seconds"), double(m_clock.nsecsElapsed()) / 1e9},
                      {QStringLiteral("messages_per_second"), rate},
                      {QStringLiteral("connections"), r.connections()},
                      {QStringLiteral("framing_errors"), r.framingErrors()},
                      {QStringLiteral("tls_handshakes_failed"), r.handshakeFailures()},
                      {QStringLiteral("datagrams_dropped"), qint64(r.droppedDatagrams())},
                      {QStringLiteral("ambiguous"), m_output.ambiguous()},
                      {QStringLiteral("senders"), senders},
                      {QStringLiteral("other_senders"), r.otherSenders()},
                      {QStringLiteral("end"), QLatin1String(endingText(int(m_ending)))},
                      {QStringLiteral("exit_status"), int(status)}};
        if (m_check) {
            QJsonObject e{{QStringLiteral("expected"), check.expected},
                          {QStringLiteral("arrived"), check.arrived},
                          {QStringLiteral("missing"), check.missing},
                          {QStringLiteral("extra"), check.extra},
                          {QStringLiteral("duplicated"), check.duplicated}};
            if (m_options.inOrder) {
                QJsonValue first;
                if (check.outOfOrderArrival > 0)
                    first = QJsonObject{{QStringLiteral("arrival"), check.outOfOrderArrival},
                                        {QStringLiteral("line"), check.outOfOrderLine},
                                        {QStringLiteral("text"), QString::fromUtf8(check.outOfOrderText)}};
                e.insert(QStringLiteral("first_out_of_order"), first);
            }
            o.insert(QStringLiteral("expect"), e);
        }
        platform::Console::writeStandardError(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
        return;
    }

    printError(QStringLiteral("%1, %2 in %3 s (%4 messages/s), %5, %6")
                   .arg(plural(r.messages(), "message", "messages"), plural(r.bytes(), "byte", "bytes"))
                   .arg(double(m_clock.nsecsElapsed()) / 1e9, 0, 'f', 1)
                   .arg(rate, 0, 'f', 0)
                   .arg(plural(r.connections(), "connection", "connections"),
                        QLatin1String(endingText(int(m_ending)))));
    for (const auto& [address, count] : r.perSender())
        printError(QStringLiteral("from %1: %2").arg(address, plural(count, "message", "messages")));
    if (r.otherSenders() > 0)
        printError(
            QStringLiteral("from other senders: %1").arg(plural(r.otherSenders(), "message", "messages")));
    if (r.droppedDatagrams() > 0)
        printError(QStringLiteral("%1 dropped by the system: the receive buffer was full")
                       .arg(plural(qint64(r.droppedDatagrams()), "datagram", "datagrams")));
    if (r.framingErrors() > 0)
        printError(QStringLiteral("%1 closed for a broken framing")
                       .arg(plural(r.framingErrors(), "connection", "connections")));
    if (r.handshakeFailures() > 0)
        printError(QStringLiteral("%1 closed: the TLS handshake failed")
                       .arg(plural(r.handshakeFailures(), "connection", "connections")));
    if (m_output.ambiguous() > 0)
        printError(QStringLiteral("%1 the line end written after each: ambiguous in the output")
                       .arg(plural(m_output.ambiguous(), "message holds", "messages hold")));
    if (m_check) {
        printError(QStringLiteral("expected %1: %2 arrived, %3 missing, %4 extra, %5 duplicated")
                       .arg(check.expected)
                       .arg(check.arrived)
                       .arg(check.missing)
                       .arg(check.extra)
                       .arg(check.duplicated));
        if (m_options.inOrder)
            printError(check.outOfOrderArrival == 0
                           ? QStringLiteral("all in order")
                           : QStringLiteral("first out of order: arrival %1 is line %2 of %3: \"%4\"")
                                 .arg(check.outOfOrderArrival)
                                 .arg(check.outOfOrderLine)
                                 .arg(m_options.expectPath, QString::fromUtf8(check.outOfOrderText)));
    }
}
