// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunHost.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

class GenerationRun;

// Shared pieces of the benchmarks: a window stand-in that does what the window does with a
// line (decode it, keep the last 100,000), a loopback receiver that counts datagrams on its own
// thread, process clocks, and the one-line result format that bench/run.sh tabulates.
namespace BenchKit {

class CheapHost : public RunHost {
public:
    int languageOffset() const override { return 0; }
    void setRunButtons(bool, bool, bool) override {}
    void setControlsEnabled(int, bool) override {}
    void clearEcho() override { m_echo.clear(); }
    void echoLine(const QByteArray& line) override;
    void setLineCountCaption(const QString& caption) override { m_caption = caption; }
    void showError(const QString& error, const QString&) override { errors << error; }
    bool askYesNo(const QString&, const QString&) override { return false; }
    void showInformation(const QString&, const QString&) override {}
    void restoreNormalWindow() override {}

    QStringList errors;
    // Called at each echo, that is right after the wait and the line's hand-over to its output.
    std::function<void()> onEcho;

private:
    std::deque<QString> m_echo;
    QString m_caption;
};

// Counts datagrams arriving on 127.0.0.1 from its own thread, many per system call, and notes
// when each of the first `keepTimes` arrived.
class CountingReceiver {
public:
    explicit CountingReceiver(size_t keepTimes = 0);
    ~CountingReceiver();
    quint16 port() const { return m_port; }
    qint64 count() const { return m_count.load(); }
    // Waits (blocking) until `n` datagrams were counted or nothing came for `quietMs`.
    qint64 waitFor(qint64 n, int quietMs);
    // Arrival times in seconds of the first min(count, keepTimes) datagrams.
    std::vector<double> times() const;

private:
    void loop();
    int m_fd = -1;
    quint16 m_port = 0;
    std::vector<double> m_times;
    std::atomic<qint64> m_count{0};
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

// A temporary directory made current, with the run's folders.
class WorkDir {
public:
    WorkDir();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Writes "Logs Source/<name>.txt" with `lines` syslog-like CRLF lines.
bool writeSource(const QString& name, qint64 lines);

double monotonicSeconds();
double processCpuSeconds();
long peakRssKiB();
double percentile(std::vector<double> values, double p);

// Plays and spins the event loop until the run ends; false on timeout.
bool playAndWait(GenerationRun& run, const QString& source, const QString& delay, int timeoutSeconds);

// "ROW|benchmark|measure|value|target|verdict", read by bench/run.sh.
void printRow(const QString& benchmark, const QString& measure, const QString& value, const QString& target,
              const QString& verdict);
QString verdict(bool ok);

} // namespace BenchKit

namespace BenchKit {
// Sustained rate: delay 0.000001 s, UDP output to a counting receiver, looping a 1,000-line
// source until `lines` lines; prints the rows under `benchmark`.
void measureRate(RunHost& host, const QString& benchmark, qint64 lines);
} // namespace BenchKit
