// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of whole copies of Talvex, each a process of its own with the real window
// (talvex_bench_copy), initialised from Talvex.ini and played, sending to receivers of this
// process on 127.0.0.1. The copies run on the platform that QT_QPA_PLATFORM names (xcb on an X
// server, or offscreen).
// Usage: talvex_bench_copies linecost <lines> <delay> | waitcost | spacing [long] | copies <n> <seconds>
#include "BenchKit.h"
#include "ReferenceSender.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <arpa/inet.h>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace BenchKit;

namespace {

// Keeps every datagram arriving on its 127.0.0.1 port with the time it arrived.
class TimingReceiver {
public:
    TimingReceiver() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        // The port field takes no port above 32000, where the system's own picks begin.
        static quint16 next = quint16(20000 + (::getpid() * 37) % 10000);
        for (int tries = 0; tries < 2000 && m_port == 0; ++tries, ++next) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(next);
            if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                m_port = next;
        }
        ++next;
        m_thread = std::thread([this] { loop(); });
    }
    ~TimingReceiver() {
        m_quit = true;
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }
    qint64 count() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return qint64(m_payloads.size());
    }
    QList<QByteArray> payloads() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_payloads;
    }
    std::vector<double> arrivals() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrivals;
    }

private:
    void loop() {
        std::vector<char> buffer(70000);
        while (!m_quit.load()) {
            pollfd wait{m_fd, POLLIN, 0};
            if (::poll(&wait, 1, 100) <= 0)
                continue;
            const double now = monotonicSeconds();
            ssize_t got;
            while ((got = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT)) >= 0) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_arrivals.push_back(now);
                m_payloads.append(QByteArray(buffer.data(), qsizetype(got)));
            }
        }
    }

    int m_fd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_quit{false};
    std::mutex m_mutex;
    std::vector<double> m_arrivals;
    QList<QByteArray> m_payloads;
    std::thread m_thread;
};

// The lines of copy i's source: each names its copy and number; some carry accented bytes in
// UTF-8 or in Latin-1, which the output must pass on untouched.
QList<QByteArray> sourceLines(int copy, int lines) {
    QList<QByteArray> result;
    for (int n = 1; n <= lines; ++n) {
        QByteArray line = "<134>Dec  7 12:00:00 bench-host copy" + QByteArray::number(copy) + "[42]: line " +
                          QByteArray::number(n);
        if (n % 3 == 1)
            line += " caf\xc3\xa9";
        else if (n % 3 == 2)
            line += " caf\xe9 \x80";
        result << line;
    }
    return result;
}

struct CopyResult {
    qint64 lines = 0;
    double cpu = 0;
    double wall = 0;
    long peakKiB = -1;
    bool finished = false;
};

// `count` copies in one folder, copy i playing its own source of `lines` lines at `delay` to its
// own receiver; returns when every copy has ended (or after `timeoutSeconds`).
struct CopiesRun {
    WorkDir dir;
    std::vector<std::unique_ptr<TimingReceiver>> receivers;
    std::vector<QList<QByteArray>> sources;
    std::vector<CopyResult> results;

    CopiesRun(int count, int lines, const QString& delay, int timeoutSeconds,
              const QStringList& copyArgs = {}) {
        QByteArray ini;
        for (int i = 1; i <= count; ++i) {
            receivers.push_back(std::make_unique<TimingReceiver>());
            sources.push_back(sourceLines(i, lines));
            QFile source(QStringLiteral("Logs Source/c%1.txt").arg(i));
            if (source.open(QIODevice::WriteOnly))
                source.write(sources.back().join("\r\n") + "\r\n");
            ini += "[Source " + QByteArray::number(i) + "]\r\nDelay=" + delay.toLatin1() +
                   "\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\nUDP_Port_Syslog=" +
                   QByteArray::number(receivers.back()->port()) + "\r\nSourceFile=c" + QByteArray::number(i) +
                   "\r\nLoop=0\r\n";
        }
        {
            QFile settings(QStringLiteral("Talvex.ini"));
            if (settings.open(QIODevice::WriteOnly))
                settings.write(ini);
        } // closed before any copy reads it

        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/talvex_bench_copy");
        std::vector<std::unique_ptr<QProcess>> copies;
        for (int i = 0; i < count; ++i) {
            copies.push_back(std::make_unique<QProcess>());
            copies.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            copies.back()->start(program, QStringList{dir.path()} + copyArgs);
        }
        results.resize(size_t(count));
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i) {
            QProcess& copy = *copies[size_t(i)];
            const qint64 left = std::max<qint64>(1000, qint64(timeoutSeconds) * 1000 - clock.elapsed());
            if (!copy.waitForFinished(int(left))) {
                copy.kill();
                copy.waitForFinished();
            }
            for (const QByteArray& line : copy.readAllStandardOutput().split('\n')) {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() == 5 && f[0] == "done") {
                    CopyResult& r = results[size_t(i)];
                    r.lines = f[1].toLongLong();
                    r.cpu = f[2].toDouble();
                    r.wall = f[3].toDouble();
                    r.peakKiB = f[4].toLong();
                    r.finished = true;
                }
            }
        }
        // The last datagrams may still be on their way.
        for (int i = 0; i < count; ++i) {
            for (int wait = 0; wait < 50 && receivers[size_t(i)]->count() < lines; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    int exactCopies() {
        int exact = 0;
        for (size_t i = 0; i < receivers.size(); ++i) {
            const QList<QByteArray> got = receivers[i]->payloads();
            if (got == sources[i]) {
                ++exact;
                continue;
            }
            qsizetype same = 0;
            while (same < got.size() && same < sources[i].size() && got[same] == sources[i][same])
                ++same;
            std::fprintf(stderr, "copy %d: %lld datagrams, %lld lines, first difference at %lld\n",
                         int(i + 1), qint64(got.size()), qint64(sources[i].size()), qint64(same));
        }
        return exact;
    }
};

// How far each interval between two arrivals is from the delay, in milliseconds.
std::vector<double> spacingErrorsMs(const std::vector<double>& arrivals, double delay) {
    std::vector<double> errors;
    for (size_t i = 1; i < arrivals.size(); ++i)
        errors.push_back(std::fabs(arrivals[i] - arrivals[i - 1] - delay) * 1000);
    return errors;
}

QString platform() {
    const QString name = qEnvironmentVariable("QT_QPA_PLATFORM");
    return name == QLatin1String("xcb")
               ? QStringLiteral("xcb, X server %1").arg(qEnvironmentVariable("DISPLAY"))
               : name;
}

// A copy's processor time per line it played, in milliseconds; NaN when it did not finish.
double cpuPerLineMs(const CopyResult& r) {
    return r.finished && r.lines > 0 ? r.cpu / double(r.lines) * 1000 : NAN;
}

// "m (a, b, c)": the median of the rounds' values, then each round's, in `unit`.
QString roundsText(const std::vector<double>& values, const char* unit, int decimals = 4) {
    QStringList each;
    for (const double v : values)
        each << QString::number(v, 'f', decimals);
    return QStringLiteral("%1 %2 (rounds: %3)")
        .arg(percentile(values, 50), 0, 'f', decimals)
        .arg(QLatin1String(unit), each.join(QStringLiteral(", ")));
}

// Processor time per line of one copy at `delay`, with the pane filling up, with the pane past
// its cap and with the window minimised, beside a bare Qt program's and the plain reference
// sender's. The machine's own cost per wake-up drifts by more than the differences looked for,
// so the runs take turns, round after round, and each row gives the median; the cap's row
// compares each round's two runs with each other.
void lineCost(int lines, double delay) {
    const int rounds = 3;
    const int perRun = std::max(1, lines / rounds);
    const QString benchmark = QStringLiteral("one line, real window (%1), %2 x %3 lines at %4 s")
                                  .arg(platform())
                                  .arg(rounds)
                                  .arg(perRun)
                                  .arg(delay);
    std::vector<double> filling, capped, minimised, bare, reference, cappedChange, fillingShare, cappedShare;
    int exactRuns = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& mode :
             {QString(), QStringLiteral("capped"), QStringLiteral("minimised"), QStringLiteral("bare")}) {
            CopiesRun run(1, perRun, QString::number(delay), int(perRun * delay) + 180,
                          mode.isEmpty() ? QStringList{} : QStringList{mode});
            const CopyResult& r = run.results[0];
            const double perLineMs = cpuPerLineMs(r);
            const double share = 100 * r.cpu / std::max(r.wall, 1e-9);
            if (mode.isEmpty()) {
                filling.push_back(perLineMs);
                fillingShare.push_back(share);
            } else if (mode == QLatin1String("capped")) {
                capped.push_back(perLineMs);
                cappedShare.push_back(share);
                cappedChange.push_back(100 * (perLineMs - filling.back()) / filling.back());
            } else if (mode == QLatin1String("minimised")) {
                minimised.push_back(perLineMs);
            } else {
                bare.push_back(perLineMs);
            }
            if ((mode.isEmpty() || mode == QLatin1String("capped")) && run.exactCopies() == 1)
                ++exactRuns;
        }
        // The floor: what sending a line at this pace costs at the least. A quarter of the lines do.
        const int referenceLines = std::max(1, perRun / 4);
        TimingReceiver receiver;
        const ReferenceSender::Result sent = ReferenceSender::send(
            receiver.port(), sourceLines(1, referenceLines), std::int64_t(std::llround(delay * 1e9)));
        reference.push_back(sent.cpuSeconds / double(std::max<qint64>(sent.sent, 1)) * 1000);
    }
    const double fillingMs = percentile(filling, 50);
    printRow(benchmark, QStringLiteral("process CPU per line"), roundsText(filling, "ms"),
             QStringLiteral("<= 0.15 ms"), verdict(fillingMs <= 0.15));
    const double change = percentile(cappedChange, 50);
    printRow(benchmark, QStringLiteral("process CPU per line, pane past its cap"),
             roundsText(capped, "ms") +
                 QStringLiteral(", %1 % against the same round").arg(change, 0, 'f', 1),
             QStringLiteral("within 10 %"), verdict(std::fabs(change) <= 10));
    printRow(benchmark, QStringLiteral("process CPU / wall"), roundsText(fillingShare, "%", 2),
             QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("process CPU / wall, pane past its cap"),
             roundsText(cappedShare, "%", 2), QStringLiteral("-"), QStringLiteral("info"));
    printRow(benchmark, QStringLiteral("runs received byte-exact"),
             QStringLiteral("%1 / %2").arg(exactRuns).arg(2 * rounds), QStringLiteral("all"),
             verdict(exactRuns == 2 * rounds));
    // What the window process costs with nothing painted: the part of a line no frame can save.
    printRow(benchmark, QStringLiteral("process CPU per line, window minimised (nothing painted)"),
             roundsText(minimised, "ms"), QStringLiteral("-"), QStringLiteral("info"));
    // What any Qt program costs a line that waits and sends the way a copy does, before Talvex.
    printRow(benchmark,
             QStringLiteral("reference bare Qt program (empty window minimised, timerfd, QUdpSocket)"),
             roundsText(bare, "ms"), QStringLiteral("-"), QStringLiteral("reference"));
    printRow(benchmark, QStringLiteral("reference clock_nanosleep sender: CPU per line"),
             roundsText(reference, "ms"), QStringLiteral("-"), QStringLiteral("reference"));
}

void waitCost() {
    const int lines = 60;
    CopiesRun run(1, lines, QStringLiteral("1"), lines + 120);
    const CopyResult& r = run.results[0];
    const QString benchmark =
        QStringLiteral("one copy, real window (%1), delay 1 s x %2").arg(platform()).arg(lines);
    const double percent = 100 * r.cpu / std::max(r.wall, 1e-9);
    printRow(benchmark, QStringLiteral("process CPU / wall"),
             QStringLiteral("%1 % (%2 ms CPU in %3 s)")
                 .arg(percent, 0, 'f', 4)
                 .arg(r.cpu * 1000, 0, 'f', 1)
                 .arg(r.wall, 0, 'f', 1),
             QStringLiteral("<= 0.02 %"), verdict(r.finished && r.lines == lines && percent <= 0.02));
    printRow(benchmark, QStringLiteral("process CPU per line, all included"),
             QStringLiteral("%1 us").arg(r.cpu / std::max<qint64>(r.lines, 1) * 1e6, 0, 'f', 0),
             QStringLiteral("-"), QStringLiteral("info"));
}

void spacingRows(const QString& sender, const std::vector<double>& arrivals, int lines, double delay) {
    const std::vector<double> errors = spacingErrorsMs(arrivals, delay);
    const double p50 = percentile(errors, 50);
    const double p99 = percentile(errors, 99);
    const QString benchmark = QStringLiteral("spacing at the receiver, %1 x %2 s").arg(lines).arg(delay);
    printRow(benchmark, sender + QStringLiteral(": error p50 / p99 / max"),
             QStringLiteral("%1 / %2 / %3 ms (%4 lines)")
                 .arg(p50, 0, 'f', 3)
                 .arg(p99, 0, 'f', 3)
                 .arg(percentile(errors, 100), 0, 'f', 3)
                 .arg(arrivals.size()),
             QStringLiteral("<= 0.15 / <= 1 ms"),
             sender.startsWith(QLatin1String("Talvex"))
                 ? verdict(int(arrivals.size()) == lines && p50 <= 0.15 && p99 <= 1.0)
                 : QStringLiteral("reference"));
}

void spacing(int lines, double delay) {
    {
        CopiesRun run(1, lines, QString::number(delay), int(lines * delay) + 120);
        spacingRows(QStringLiteral("Talvex, real window (%1)").arg(platform()), run.receivers[0]->arrivals(),
                    lines, delay);
        const CopyResult& r = run.results[0];
        printRow(QStringLiteral("spacing at the receiver, %1 x %2 s").arg(lines).arg(delay),
                 QStringLiteral("Talvex: process CPU / wall"),
                 QStringLiteral("%1 %").arg(100 * r.cpu / std::max(r.wall, 1e-9), 0, 'f', 3),
                 QStringLiteral("-"), QStringLiteral("info"));
    }
    TimingReceiver receiver;
    const ReferenceSender::Result sent = ReferenceSender::send(receiver.port(), sourceLines(1, lines),
                                                               std::int64_t(std::llround(delay * 1e9)));
    for (int wait = 0; wait < 50 && receiver.count() < lines; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    spacingRows(QStringLiteral("reference clock_nanosleep sender"), receiver.arrivals(), lines, delay);
    printRow(QStringLiteral("spacing at the receiver, %1 x %2 s").arg(lines).arg(delay),
             QStringLiteral("reference: thread CPU / wall"),
             QStringLiteral("%1 %").arg(100 * sent.cpuSeconds / std::max(sent.wallSeconds, 1e-9), 0, 'f', 3),
             QStringLiteral("-"), QStringLiteral("info"));
}

void copies(int count, int seconds) {
    CopiesRun run(count, seconds, QStringLiteral("1"), seconds + 180);
    double cpu = 0;
    double wall = 0;
    int finished = 0;
    long worstKiB = 0;
    QStringList peaks;
    for (const CopyResult& r : run.results) {
        cpu += r.cpu;
        wall = std::max(wall, r.wall);
        finished += r.finished && r.lines == seconds ? 1 : 0;
        worstKiB = std::max(worstKiB, r.peakKiB);
        peaks << QString::number(double(r.peakKiB) / 1024, 'f', 1);
    }
    const QString benchmark = QStringLiteral("%1 copies, one folder, real windows (%2), delay 1 s x %3")
                                  .arg(count)
                                  .arg(platform())
                                  .arg(seconds);
    printRow(benchmark, QStringLiteral("copies that played every line"),
             QStringLiteral("%1 / %2").arg(finished).arg(count), QStringLiteral("all"),
             verdict(finished == count));
    printRow(benchmark, QStringLiteral("copies received byte-exact"),
             QStringLiteral("%1 / %2").arg(run.exactCopies()).arg(count), QStringLiteral("all"),
             verdict(run.exactCopies() == count));
    const double percent = 100 * cpu / std::max(wall, 1e-9);
    printRow(benchmark, QStringLiteral("CPU of all copies / one core's wall"),
             QStringLiteral("%1 % (%2 ms CPU in %3 s)")
                 .arg(percent, 0, 'f', 3)
                 .arg(cpu * 1000, 0, 'f', 0)
                 .arg(wall, 0, 'f', 1),
             QStringLiteral("<= 2 %"), verdict(percent <= 2.0));
    printRow(benchmark, QStringLiteral("peak resident memory of each copy"),
             QStringLiteral("max %1 MB (%2)")
                 .arg(double(worstKiB) / 1024, 0, 'f', 1)
                 .arg(peaks.join(QLatin1Char(' '))),
             QStringLiteral("<= 40 MB"), verdict(worstKiB > 0 && worstKiB <= 40 * 1024));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto arg = [&](int i, double fallback) {
        return argc > i ? QString::fromLocal8Bit(argv[i]).toDouble() : fallback;
    };
    if (what == QLatin1String("linecost")) {
        lineCost(int(arg(2, 10000)), arg(3, 0.01));
    } else if (what == QLatin1String("waitcost")) {
        waitCost();
    } else if (what == QLatin1String("spacing")) {
        spacing(500, 0.01);
        if (argc > 2 && QString::fromLocal8Bit(argv[2]) == QLatin1String("long"))
            spacing(60, 1);
    } else if (what == QLatin1String("copies")) {
        copies(int(arg(2, 20)), int(arg(3, 60)));
    } else {
        QTextStream(stderr)
            << "usage: talvex_bench_copies linecost <lines> <delay> | waitcost | spacing [long] | "
               "copies <n> <seconds>\n";
        return 2;
    }
    return 0;
}
