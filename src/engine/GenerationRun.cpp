// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/GenerationRun.h"

#include "engine/FileErrors.h"
#include "engine/FileSink.h"
#include "engine/LineIndex.h"
#include "engine/LineOutput.h"
#include "engine/LinePacing.h"
#include "engine/LineRewriter.h"
#include "engine/RandomFraction.h"
#include "engine/RunHost.h"
#include "engine/SourceReader.h"
#include "engine/WaitTimer.h"

#include "i18n/StringTable.h"
#include "settings/NumberText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cmath>
#include <limits>

namespace {
constexpr qint64 MaxLineCounter = std::numeric_limits<qint32>::max();
// Lines without any wait go out in bursts of at most this many, or this long, between two
// turns of the event loop.
constexpr int BurstMaxLines = 1024;
constexpr qint64 BurstSliceNs = 2 * 1000 * 1000;
constexpr qint64 FallbackMarginNs = 300 * 1000;

// Stands in for the window when a front end has none: it shows nothing and asks nothing, and the
// run's signals say everything there is to know.
class NoWindow : public RunHost {
public:
    int languageOffset() const override { return 1; }
    void setRunButtons(bool, bool, bool) override {}
    void setControlsEnabled(int, bool) override {}
    void clearEcho() override {}
    void echoLine(const QByteArray&) override {}
    void setLineCountCaption(const QString&) override {}
    bool showsLineCount() const override { return false; }
    void showError(const QString&, const QString&) override {}
    bool askYesNo(const QString&, const QString&) override { return false; }
    void showInformation(const QString&, const QString&) override {}
    void restoreNormalWindow() override {}
};
} // namespace

struct GenerationRun::Private {
    enum class AfterWait { Produce, Reopen };

    GenerationRun* q = nullptr;
    NoWindow noWindow;
    RunHost* host = nullptr;
    LineOutput* network = nullptr;
    ExistingFile existingFile = ExistingFile::Ask;
    LinePacing* pacing = nullptr;
    LineRewriter* rewriter = nullptr;

    GenerationOrder order = GenerationOrder::Sequential;
    Output outputTo = Output::File;
    bool loop = false;
    LineEnds lineEnds = LineEnds::CarriageReturn;
    bool paused = false;
    bool stopRequested = false;
    bool quitRequested = false;
    qint64 lastLineIndex = 0;
    qint64 lineCounter = 0;
    double workingDelay = 0;

    QString sourceName;
    QString sourcePath;
    int streamFd = -1; // the source is this stream rather than sourcePath's file
    QSocketNotifier* inputNotifier = nullptr;
    qint64 sourceLine = 0;
    QString outputPath;
    SourceReader source;
    LineIndex index;
    FileSink output;
    QByteArray currentLine;

    bool running = false;
    bool passStart = false; // no end-of-source test made yet in this pass of the source
    AfterWait afterWait = AfterWait::Produce;
    bool inBurst = false;
    bool burstNext = false; // a line without wait is due and the burst may take it

    WaitTimer timer;
    QElapsedTimer clock;
    qint64 dueNs = 0;
    qint64 delayNs = 0;
    qint64 producedAtNs = -1; // when the last line went to its output, until the next wait starts
    qint64 startNs = 0;       // Play, for a schedule fixed in advance
    qint64 scheduled = 0;     // lines given a time by that schedule

    QString text(int n) const { return StringTable::lookup(n, host->languageOffset()); }
    bool randomMode() const { return order == GenerationOrder::Random; }

    void start(double delay);
    void freshStart(double delay);
    bool prepareOutput();
    void openSource();
    void cycle();
    void waitForInput();
    bool flushOutput();
    void armWait(AfterWait next);
    void scheduleRest();
    void onTimeout();
    void runBurst();
    void waitEnded();
    bool produce();
    void endOfSource(bool emptyPass);
    void finalReset(EndReason reason);
    void fail(const RunError& error);
    void endRun(EndReason reason);
};

// ---- the Play press --------------------------------------------------------------------------

void GenerationRun::Private::start(double delay) {
    // A stopped run has ended before Play is enabled again; a quitting program starts nothing.
    if (running || quitRequested)
        return;
    running = true;
    // Lock what would change the run's inputs.
    host->setRunButtons(false, true, true);
    host->setControlsEnabled(RunHost::AllLocked, false);
    if (!running)
        return;
    // Play after a Stop during a pause ends here, through the stop branch, starting nothing.
    if (paused) {
        paused = false;
        if (stopRequested) {
            waitEnded();
            return;
        }
        // Only a Stop can leave the flag set between runs; without one, start as usual.
    }
    freshStart(delay);
}

void GenerationRun::Private::freshStart(double delay) {
    // A fresh run: no stop pending, an empty pane, the counter from 0, the delay taken now.
    stopRequested = false;
    host->clearEcho();
    lineCounter = 0;
    workingDelay = delay;
    producedAtNs = -1;
    startNs = clock.nsecsElapsed();
    scheduled = 0;
    // Whatever a halted run left open is let go: this run starts from the top of its files.
    source.close();
    index.clear();

    // The output file, with the add-or-replace question when it exists.
    if (outputTo == Output::File && !prepareOutput())
        return;
    openSource();
}

bool GenerationRun::Private::prepareOutput() {
    const QString& path = outputPath;
    output.close(); // a file left open by a failed run is closed by the probe
    if (!QFileInfo(QFileInfo(path).path()).isDir()) {
        fail(FileErrors::pathNotFound(path));
        return false;
    }
    const QFileInfo probe(path);
    FileSink::Mode mode = FileSink::Mode::Truncate;
    if (probe.exists()) {
        if (probe.isDir()) {
            fail(FileErrors::notAFile(path));
            return false;
        }
        bool add = existingFile == ExistingFile::Append;
        if (existingFile == ExistingFile::Ask) {
            const QString question = text(Str::FileBefore) + sourceName + text(Str::FileExists) +
                                     QStringLiteral("\r\n\r\n") + text(Str::AddOrReplace);
            add = host->askYesNo(text(Str::FileTitle), question);
        }
        if (!running)
            return false; // quit or stopped while the question was up
        mode = add ? FileSink::Mode::Append : FileSink::Mode::Truncate;
    }
    // The source's own file, so the output can never be it by another name or a link.
    RunError ignored;
    const platform::File sourceFile = streamFd >= 0 ? platform::File::duplicate(streamFd)
                                                    : SourceReader::openForReading(sourcePath, &ignored);
    const RunError error = output.open(path, mode, &sourceFile, host->languageOffset());
    if (error.isError() && !error.isPassedOver()) {
        fail(error);
        return false;
    }
    return true;
}

void GenerationRun::Private::openSource() {
    // A missing file is passed over here; the end-of-source test then reports it.
    passStart = true;
    sourceLine = 0;
    source.setLineEnds(lineEnds);
    const RunError error = streamFd >= 0 ? source.openStream(streamFd, sourcePath) : source.open(sourcePath);
    if (error.isError() && !error.isPassedOver()) {
        fail(error);
        return;
    }
    if (source.isOpen() && randomMode()) {
        // Indexed at every start, so the draw always matches the source being played.
        const RunError indexError = index.build(sourcePath, lineEnds);
        if (indexError.isError()) {
            fail(indexError);
            return;
        }
        lastLineIndex = index.count() - 1;
    }
    cycle();
}

void GenerationRun::Private::cycle() {
    // The end-of-source test.
    bool atEnd = false;
    RunError error = source.checkEnd(&atEnd);
    if (error.isError()) {
        fail(error);
        return;
    }
    if (source.isWaitingForInput()) {
        waitForInput();
        return;
    }
    const bool emptyPass = passStart;
    passStart = false;
    if (atEnd) {
        endOfSource(emptyPass);
        return;
    }
    // Read: sequential and not paused only (the line read before a pause waits for its turn).
    if (!randomMode() && !paused) {
        error = source.readLine(&currentLine);
        if (error.isError()) {
            fail(error);
            return;
        }
        ++sourceLine;
    }
    armWait(AfterWait::Produce);
}

void GenerationRun::Private::waitForInput() {
    // A stream with no whole line yet: the lines already produced go out, and the event loop
    // wakes the run when more has come, whatever the wait.
    if (!flushOutput())
        return;
    if (!inputNotifier) {
        inputNotifier = new QSocketNotifier(streamFd, QSocketNotifier::Read, q);
        QObject::connect(inputNotifier, &QSocketNotifier::activated, q, [this] {
            inputNotifier->setEnabled(false);
            if (running)
                cycle();
        });
    }
    inputNotifier->setEnabled(true);
}

bool GenerationRun::Private::flushOutput() {
    if (outputTo == Output::File || !network)
        return true;
    const RunError error = network->flush();
    if (error.isError()) {
        fail(error);
        return false;
    }
    return true;
}

// ---- the wait ----------------------------------------------------------------------------------

void GenerationRun::Private::armWait(AfterWait next) {
    afterWait = next;
    double delay = workingDelay;
    if (!(delay > 0))
        delay = 0;
    // Far beyond any accepted delay; keeps the nanoseconds finite.
    const double delayNs = std::min(delay * 1e9, 1e18);
    this->delayNs = static_cast<qint64>(std::ceil(delayNs));
    // A wait that follows a line runs from the moment that line went out, not from the end of
    // what came after it (the window's work, the read of the next line): lines leave the delay
    // apart, however long the window took.
    dueNs = (producedAtNs >= 0 ? producedAtNs : clock.nsecsElapsed()) + this->delayNs;
    producedAtNs = -1;
    const bool paced = pacing && next == AfterWait::Produce;
    if (paced)
        dueNs = startNs + pacing->dueNs(scheduled++, randomMode() ? QByteArray() : currentLine);
    // With no wait at all (a delay of 0, which only the command line gives), or a schedule that a
    // timer per line cannot keep, a pass through the event loop per line would cost more than the
    // line itself: the burst running takes it, and the average holds.
    const bool dueNow = paced ? dueNs <= clock.nsecsElapsed() : this->delayNs == 0;
    if (inBurst && dueNow && next == AfterWait::Produce) {
        burstNext = true;
        return;
    }
    scheduleRest();
}

void GenerationRun::Private::scheduleRest() {
    // The wait goes back to the event loop whatever its length, so every other handler runs in
    // it, and the timer costs nothing while it waits. The precise timer sleeps in the kernel until
    // the line is due: waking a few tens of microseconds late costs less than finishing each wait
    // on the processor. The fallback timer only knows milliseconds, so it is set a little early
    // and the last moments are finished by looking at the clock from the event loop: at most a
    // tenth of the delay.
    if (!flushOutput())
        return;
    const qint64 remaining = dueNs - clock.nsecsElapsed();
    const qint64 margin = timer.isPrecise() ? 0 : std::min(FallbackMarginNs, delayNs / 10);
    timer.start(remaining > margin ? remaining - margin : 0);
}

void GenerationRun::Private::onTimeout() {
    if (!running)
        return;
    if (clock.nsecsElapsed() < dueNs) {
        scheduleRest(); // a wait never ends early
        return;
    }
    if (afterWait == AfterWait::Reopen) {
        source.close();
        openSource();
        return;
    }
    runBurst();
}

void GenerationRun::Private::runBurst() {
    // One line, or with a delay of 0 as many as follow each other within a slice; then the event
    // loop has its turn, so Stop and the other handlers are seen within a few milliseconds.
    inBurst = true;
    const qint64 sliceEnd = clock.nsecsElapsed() + BurstSliceNs;
    int lines = 0;
    do {
        burstNext = false;
        waitEnded();
    } while (burstNext && running && ++lines < BurstMaxLines && clock.nsecsElapsed() < sliceEnd);
    inBurst = false;
    if (burstNext && running) {
        burstNext = false;
        scheduleRest();
    }
}

// ---- after the wait ----------------------------------------------------------------------------

void GenerationRun::Private::waitEnded() {
    // Play after a Stop during a pause comes here with the stop request set.
    if (stopRequested) {
        paused = false;
        host->setRunButtons(true, false, false);
        finalReset(EndReason::Stopped);
        return;
    }
    if (!paused && !produce())
        return;
    cycle();
}

bool GenerationRun::Private::produce() {
    if (randomMode()) {
        if (index.count() == 0) {
            fail(FileErrors::inputPastEnd(sourcePath));
            return false;
        }
        const qint64 drawn = RandomFraction::below(index.count());
        const RunError error = index.readLine(drawn, &currentLine);
        if (error.isError()) {
            fail(error);
            return false;
        }
        sourceLine = drawn + 1;
    }
    if (lineCounter >= MaxLineCounter) {
        fail(RunError::make(
            RunError::Overflow,
            QStringLiteral("Overflow: the line counter cannot go past %1").arg(MaxLineCounter)));
        return false;
    }
    ++lineCounter;
    if (rewriter)
        rewriter->rewrite(&currentLine);
    // The line goes out first and is shown after: whatever the window does with it then adds
    // nothing to the time between two lines at the receiver. A line whose output fails is
    // counted and shown all the same, before the error.
    const RunError error = outputTo == Output::File ? output.write(currentLine) : network->write(currentLine);
    producedAtNs = clock.nsecsElapsed();
    if (host->showsLineCount())
        host->showProducedLine(text(Str::Lines) + QStringLiteral(": ") + QString::number(lineCounter),
                               currentLine);
    else
        host->echoLine(currentLine);
    if (!running)
        return false;
    if (error.isError()) {
        fail(error);
        return false;
    }
    emit q->lineProduced(lineCounter, currentLine);
    return running;
}

void GenerationRun::Private::endOfSource(bool emptyPass) {
    if (stopRequested) {
        finalReset(EndReason::Stopped);
        return;
    }
    if (!flushOutput())
        return;
    if (!loop) {
        const QString message =
            text(Str::GenerationOf) + sourceName + text(Str::GenerationDone) + QStringLiteral("\r\n\r\n");
        host->showInformation(text(Str::FileTitle), message);
        if (!running)
            return; // quit while the message was up: touch nothing more
        host->setControlsEnabled(RunHost::FrmLecture | RunHost::FrmSyslog | RunHost::CmdSrc, true);
        host->restoreNormalWindow();
        source.close();
        output.close();
        index.clear();
        finalReset(EndReason::EndOfSource);
        return;
    }
    source.close();
    if (emptyPass) {
        // An empty source would otherwise loop without ever letting the window breathe:
        // one delay per pass keeps it live and lets Stop end the run.
        armWait(AfterWait::Reopen);
        return;
    }
    openSource();
}

void GenerationRun::Private::finalReset(EndReason reason) {
    // Back to idle; the label keeps its last count.
    stopRequested = false;
    paused = false;
    host->setRunButtons(true, false, false);
    lineCounter = 0;
    endRun(reason);
}

void GenerationRun::Private::fail(const RunError& error) {
    // The error display; buttons and locks keep their running state (halted) until Stop.
    host->showError(QStringLiteral("Err: ") + QString::number(error.number) + QStringLiteral(" : ") +
                        error.description,
                    text(Str::UnknownError));
    timer.stop();
    if (running)
        emit q->failed(error);
    endRun(EndReason::Failed);
}

void GenerationRun::Private::endRun(EndReason reason) {
    timer.stop();
    if (inputNotifier)
        inputNotifier->setEnabled(false);
    if (!running)
        return;
    running = false;
    emit q->runEnded(reason);
}

// ---- public side -------------------------------------------------------------------------------

GenerationRun::GenerationRun(RunHost* host, LineOutput* network, QObject* parent)
    : QObject(parent), d(std::make_unique<Private>()) {
    d->q = this;
    d->host = host ? host : &d->noWindow;
    d->network = network;
    d->clock.start();
    connect(&d->timer, &WaitTimer::timeout, this, [this] { d->onTimeout(); });
}

GenerationRun::~GenerationRun() {
    d->timer.stop();
}

QString GenerationRun::sourceFolder() {
    return QStringLiteral("Logs Source");
}

QString GenerationRun::outputFolder() {
    return QStringLiteral("Logs Générés");
}

QString GenerationRun::sourcePath(const QString& sourceName) {
    return sourceFolder() + QLatin1Char('/') + sourceName + QStringLiteral(".txt");
}

QString GenerationRun::outputPath(const QString& sourceName) {
    return outputFolder() + QLatin1Char('/') + sourceName + QStringLiteral(".txt");
}

GenerationOrder GenerationRun::generationOrder() const {
    return d->order;
}

void GenerationRun::setGenerationOrder(GenerationOrder order) {
    d->order = order;
}

Output GenerationRun::output() const {
    return d->outputTo;
}

void GenerationRun::setOutput(Output output) {
    d->outputTo = output;
}

bool GenerationRun::loops() const {
    return d->loop;
}

void GenerationRun::setLoop(bool on) {
    d->loop = on;
}

void GenerationRun::setLineEnds(LineEnds ends) {
    d->lineEnds = ends;
}

void GenerationRun::setPacing(LinePacing* pacing) {
    d->pacing = pacing;
}

void GenerationRun::setRewriter(LineRewriter* rewriter) {
    d->rewriter = rewriter;
}

void GenerationRun::setExistingFile(ExistingFile answer) {
    d->existingFile = answer;
}

qint64 GenerationRun::sourceLineNumber() const {
    return d->sourceLine;
}

bool GenerationRun::isPaused() const {
    return d->paused;
}

void GenerationRun::setPaused(bool paused) {
    d->paused = paused;
}

bool GenerationRun::stopRequested() const {
    return d->stopRequested;
}

bool GenerationRun::quitRequested() const {
    return d->quitRequested;
}

qint64 GenerationRun::lastLineIndex() const {
    return d->lastLineIndex;
}

void GenerationRun::setLastLineIndex(qint64 index) {
    d->lastLineIndex = index;
}

qint64 GenerationRun::lineCounter() const {
    return d->lineCounter;
}

bool GenerationRun::isRunning() const {
    return d->running;
}

void GenerationRun::play(const QString& sourceName, const QString& delayText) {
    if (d->running || d->quitRequested)
        return; // the paths of a run going on stay as they are
    d->sourceName = sourceName;
    d->sourcePath = sourcePath(sourceName);
    d->streamFd = -1;
    d->outputPath = outputPath(sourceName);
    d->start(TextToNumber(delayText));
}

void GenerationRun::playFile(const QString& sourcePath, const QString& outputPath, double delaySeconds) {
    if (d->running || d->quitRequested)
        return;
    d->sourceName = QFileInfo(sourcePath).completeBaseName();
    d->sourcePath = sourcePath;
    d->streamFd = -1;
    d->outputPath = outputPath;
    d->start(delaySeconds);
}

void GenerationRun::playStream(int fd, const QString& name, const QString& outputPath, double delaySeconds) {
    if (d->running || d->quitRequested)
        return;
    d->sourceName = name;
    d->sourcePath = name;
    d->streamFd = fd;
    d->loop = false; // a stream is read once
    d->order = GenerationOrder::Sequential;
    d->outputPath = outputPath;
    d->start(delaySeconds);
}

void GenerationRun::pause() {
    d->paused = !d->paused;
    d->host->setRunButtons(false, true, true);
    d->host->setControlsEnabled(RunHost::FrmLecture | RunHost::FrmSyslog, false);
}

void GenerationRun::stop() {
    d->stopRequested = true;
    d->host->setRunButtons(true, false, false);
    d->host->setControlsEnabled(RunHost::AllLocked, true);
    d->source.close();
    d->output.close();
    d->network->close();
    // A run waiting between two lines sees the request at once and ends without another step.
    d->index.clear();
    d->endRun(EndReason::Stopped);
}

void GenerationRun::requestQuit() {
    d->quitRequested = true;
    d->timer.stop();
    d->source.close();
    d->output.close();
    d->index.clear();
    d->endRun(EndReason::Quit);
}
