// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/UdpSink.h"
#include "send/ConsoleHost.h"
#include "send/SendOptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTemporaryFile>
#include <QTimer>

#include <memory>

class GenerationRun;

// One talvex-send run: gets the source and the destination ready, plays the engine's run with a
// console host, ends it at the count, the duration or an interruption, keeps the progress line
// on a terminal up to date, and prints the summary. Exit statuses as documented in --help.
class SendCommand : public QObject {
    Q_OBJECT
public:
    enum Status { Success = 0, RunFailed = 1, BadUsage = 2 };

    explicit SendCommand(const SendOptions& options, QObject* parent = nullptr);
    ~SendCommand() override;

    // Reads standard input when asked to, checks that the source can be read and the destination
    // used. Success, or BadUsage with the reason already on standard error.
    Status prepare();
    // Plays the run to its end and returns the exit status.
    Status run();
    // SIGINT or SIGTERM: end the run as Stop does; the output file keeps every line produced.
    void interrupt();

private:
    enum class Ending { None, EndOfSource, Count, Duration, Interrupted, Failed, EchoFailed };

    Status copyStandardInput();
    void lineProduced(qint64 count);
    void stopWith(Ending ending);
    void showProgress();
    QString progressText() const;

    SendOptions m_options;
    QString m_sourcePath;
    QTemporaryFile m_stdinCopy;
    std::unique_ptr<ConsoleHost> m_host;
    UdpSink m_udp;
    std::unique_ptr<GenerationRun> m_run;
    QElapsedTimer m_clock;
    QTimer m_progressTimer;
    QTimer m_durationTimer;
    bool m_progress = false;
    qint64 m_lines = 0;
    Ending m_ending = Ending::None;
};
