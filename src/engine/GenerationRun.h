// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineEnds.h"
#include "engine/RunError.h"
#include "settings/SettingValues.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

class LineOutput;
class LinePacing;
class LineRewriter;
class RunHost;

// The generation run and its run control (Play, Pause, Stop, loop, quit), as a timer-driven
// cycle on the UI thread: Play does the fresh-start steps and arms a precise single-shot timer
// for the first wait; each timeout is one "after the wait" step. Other handlers (Pause, Stop,
// quit, language switch) run between two timeouts, where nested yields of a spinning loop
// would have run them. No wait spins on the processor; waits use a monotonic clock.
class GenerationRun : public QObject {
    Q_OBJECT
public:
    // Why a run ended.
    enum class EndReason { EndOfSource, Stopped, Quit, Failed };
    // What to do with an output file that is already there.
    enum class ExistingFile { Ask, Append, Replace };

    // `network` takes the lines when the output is Syslog (the window's UDP sink, or a transport
    // of the command line); the file output is the run's own. `host` is the window the run drives;
    // a front end without one passes null and follows the run through its signals alone.
    GenerationRun(RunHost* host, LineOutput* network, QObject* parent = nullptr);
    ~GenerationRun() override;

    // Folders, relative to the current directory at the moment of use.
    static QString sourceFolder();                        // "Logs Source"
    static QString outputFolder();                        // "Logs Générés"
    static QString sourcePath(const QString& sourceName); // "Logs Source/<name>.txt"
    static QString outputPath(const QString& sourceName); // "Logs Générés/<name>.txt"

    // Window-wide run state.
    GenerationOrder generationOrder() const;
    void setGenerationOrder(GenerationOrder order);
    Output output() const;
    void setOutput(Output output);
    bool loops() const;
    void setLoop(bool on);
    // How the source's lines end; the window's rule unless set. Taken at the next Play.
    void setLineEnds(LineEnds ends);
    // A schedule fixed in advance instead of the delay after each line (null: the delay). Not owned.
    void setPacing(LinePacing* pacing);
    // Changes each line right before it goes out (null: lines go as read). Not owned.
    void setRewriter(LineRewriter* rewriter);
    // Ask (the window's way, through the host's question) unless set.
    void setExistingFile(ExistingFile answer);
    bool isPaused() const;
    void setPaused(bool paused); // the initialisation clears it
    bool stopRequested() const;
    bool quitRequested() const;
    qint64 lastLineIndex() const;
    void setLastLineIndex(qint64 index);
    qint64 lineCounter() const;
    // The number, from 1, of the line of the source produced last or being produced.
    qint64 sourceLineNumber() const;

    // True from Play until the run has ended (a wait is armed or a line is being produced).
    bool isRunning() const;

    // Handlers.
    void play(const QString& sourceName, const QString& delayText); // Play click
    // The same run on a source and an output named by their paths (the command line's Play):
    // `sourcePath` read, `outputPath` written in file mode, `delaySeconds` before each line
    // (0 or less: no wait). The texts of the question and the completion name the source's file.
    void playFile(const QString& sourcePath, const QString& outputPath, double delaySeconds);
    // The same on a stream (a pipe, standard input) read as its lines arrive, in file order and
    // once: `fd` stays the caller's; `name` names it in messages.
    void playStream(int fd, const QString& name, const QString& outputPath, double delaySeconds);
    void pause();       // Pause click
    void stop();        // Stop click
    void requestQuit(); // Quit button / window close: no further line; output file closed

signals:
    // After a line has been counted, echoed and handed to its output without failure.
    void lineProduced(qint64 count, const QByteArray& line);
    void runEnded(GenerationRun::EndReason reason); // whatever the way
    // The run halted on this error (after the host's error display was shown), just before it ends.
    void failed(const RunError& error);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
