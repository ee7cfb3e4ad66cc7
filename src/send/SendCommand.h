// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RatePacing.h"
#include "engine/RunError.h"
#include "engine/UdpSink.h"
#include "send/ConsoleEcho.h"
#include "send/SendOptions.h"
#include "transport/WaitLimits.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class GenerationRun;
class InputSpool;
class LineOutput;
class RelpOutput;
class StreamOutput;
struct RunError;
class RecordedPacing;
class Retimer;

// One talvex-send run: gets the source and the destination ready, plays the engine's run with a
// console host, ends it at the count, the duration or an interruption, keeps the progress line
// on a terminal up to date, and prints the summary. Exit statuses as SendOptions::statusTable().
class SendCommand : public QObject {
    Q_OBJECT
public:
    enum Status { Success = 0, RunFailed = 1, BadUsage = 2 };

    explicit SendCommand(const SendOptions& options, QObject* parent = nullptr);
    ~SendCommand() override;

    // Checks the source and the destination, before anything is sent. Success, or BadUsage with
    // the reason already on standard error.
    Status prepare();
    // Plays the run to its end and returns the exit status.
    Status run();
    // A signal to end: the run ends as Stop does; the output file keeps every line produced.
    void interrupt();
    // Standard output was closed when the program started.
    void setOutputClosed();
    // What tells a wait on a receiver that the user asked to stop: a descriptor readable from the
    // signal's arrival, and a flag for librelp's own waits.
    void setStopSignals(int descriptor, int* flag);

private:
    enum class Ending {
        None,
        EndOfSource,
        Count,
        Duration,
        Interrupted,
        EmptySource,
        Failed,
        EchoFailed,
        Unusable
    };

    Status openSource();
    Status checkOutput();
    Status openTransport();
    LineOutput* network();
    void applyLimits();
    void runFailed(const RunError& error);
    QString deliveryText() const;
    bool spoolInput();
    void lineProduced(qint64 count, const QByteArray& line);
    void stopWith(Ending ending);
    void showProgress();
    void eraseProgress();
    QString progressText() const;
    Status finish(Ending ending);
    void printSummary(Status status);

    SendOptions m_options;
    QString m_sourcePath; // the file the run reads; empty while it reads the stream
    int m_streamFd = -1;  // a stream source, read as its lines arrive
    bool m_ownsStream = false;
    bool m_needsSpool = false;
    std::unique_ptr<InputSpool> m_spool;
    ConsoleEcho m_echo;
    UdpSink m_udp;
    std::unique_ptr<StreamOutput> m_stream; // tcp://, tls://
    std::unique_ptr<RelpOutput> m_relp;     // relp://
    WaitLimits m_limits;
    RunError m_runError; // what halted the run, if anything
    RatePacing m_ratePacing;
    std::unique_ptr<RecordedPacing> m_recordedPacing;
    std::unique_ptr<Retimer> m_retimer;
    std::unique_ptr<GenerationRun> m_run;
    QElapsedTimer m_clock;
    QTimer m_progressTimer;
    QTimer m_durationTimer;
    bool m_progress = false;        // a progress line is kept on standard error
    bool m_progressShown = false;   // and is on the screen now
    bool m_lineFeedNoticed = false; // the notice about line feeds was given
    qint64 m_lines = 0;
    qint64 m_bytes = 0;
    QString m_failure; // what ended the run with status 1 or 2
    Ending m_ending = Ending::None;
};
