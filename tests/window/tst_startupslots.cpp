// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWorkDir.h"
#include "settings/Settings.h"

#include <QProcess>
#include <QSet>
#include <QtTest>

#include <memory>

// Slots claimed by real copies of the program (talvex_copy), each in its own process, all in
// one working directory.
class TestStartupSlots : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void twentyCopiesThenTheLimit();
    void killedCopyIsReclaimed();
    void liveCopyKeepsItsSlot();
    void handWrittenMarkIsRespected();
    void freeSlotBetweenTakenOnes();
    void absentMarkWithKeysIsFreeAndLoaded();

private:
    struct Copy {
        std::unique_ptr<QProcess> process;
        QStringList report;
        int slot = -1;
        bool closed = false;
        QList<QStringList> boxes; // icon, title, text
        QString value(const QString& name) const {
            for (const QString& line : report) {
                if (line.startsWith(name + QLatin1Char(' ')))
                    return line.mid(name.size() + 1);
            }
            return QStringLiteral("<none>");
        }
    };

    std::unique_ptr<Copy> start();
    static bool waitForReport(Copy& copy, int timeoutMs = 60000);
    static bool quit(Copy& copy);
    std::unique_ptr<Copy> startAndReport();

    std::unique_ptr<TestWorkDir> m_dir;
};

void TestStartupSlots::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Logs Source")));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\nb\r\n"));
}

void TestStartupSlots::cleanup() {
    m_dir.reset();
}

std::unique_ptr<TestStartupSlots::Copy> TestStartupSlots::start() {
    auto copy = std::make_unique<Copy>();
    copy->process = std::make_unique<QProcess>();
    copy->process->setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/talvex_copy"));
    copy->process->setArguments({m_dir->path()});
    copy->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    copy->process->start();
    return copy;
}

bool TestStartupSlots::waitForReport(Copy& copy, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (copy.process->canReadLine()) {
            const QString line = QString::fromUtf8(copy.process->readLine()).chopped(1);
            copy.report << line;
            if (line.startsWith(QStringLiteral("slot ")))
                copy.slot = line.mid(5).toInt();
            else if (line.startsWith(QStringLiteral("box ")))
                copy.boxes << line.mid(4).split(QLatin1Char('\t'));
            else if (line == QStringLiteral("closed"))
                copy.closed = true;
            if (line == QStringLiteral("ready") || line == QStringLiteral("closed"))
                return true;
        }
        if (deadline.hasExpired() || copy.process->state() == QProcess::NotRunning)
            return false;
        copy.process->waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 1000)));
    }
}

bool TestStartupSlots::quit(Copy& copy) {
    copy.process->write("quit\n");
    return copy.process->waitForFinished(30000) && copy.process->exitStatus() == QProcess::NormalExit &&
           copy.process->exitCode() == 0;
}

std::unique_ptr<TestStartupSlots::Copy> TestStartupSlots::startAndReport() {
    auto copy = start();
    if (!waitForReport(*copy))
        qWarning() << "no report from a copy:" << copy->report;
    return copy;
}

void TestStartupSlots::twentyCopiesThenTheLimit() {
    std::vector<std::unique_ptr<Copy>> copies;
    for (int i = 0; i < 20; ++i)
        copies.push_back(start());
    QSet<int> claimed;
    for (auto& copy : copies) {
        QVERIFY2(waitForReport(*copy), qPrintable(copy->report.join(QLatin1Char('|'))));
        QVERIFY(!copy->closed);
        claimed.insert(copy->slot);
    }
    QSet<int> all;
    for (int n = 1; n <= 20; ++n)
        all.insert(n);
    QCOMPARE(claimed, all);

    const QByteArray before = m_dir->read(QStringLiteral("Talvex.ini"));
    auto refused = startAndReport();
    QVERIFY(refused->closed);
    QCOMPARE(refused->slot, 0);
    // The empty delay of a fresh slot is never reached: the limit box is the only one.
    QCOMPARE(refused->boxes.size(), 1);
    QCOMPARE(refused->boxes.at(0),
             QStringList({QStringLiteral("Warning"), QStringLiteral("Seuil Maximum"),
                          QStringLiteral(
                              "Il y a d\u00e9j\u00e0 20Talvex en m\u00e9moire. Ce seuil est le maximum.")}));
    QVERIFY(refused->process->waitForFinished(30000));
    QCOMPARE(refused->process->exitCode(), 0);
    // Not a single Memory mark, nor anything else, changed.
    QCOMPARE(m_dir->read(QStringLiteral("Talvex.ini")), before);

    for (auto& copy : copies)
        QVERIFY(quit(*copy));
    for (int n = 1; n <= 20; ++n)
        QCOMPARE(Settings::read(QStringLiteral("Source %1").arg(n), QStringLiteral("Memory")),
                 QStringLiteral("0"));
}

void TestStartupSlots::killedCopyIsReclaimed() {
    auto first = startAndReport();
    QCOMPARE(first->slot, 1);
    first->process->kill(); // SIGKILL: no release runs
    QVERIFY(first->process->waitForFinished(30000));
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("Memory")), QStringLiteral("1"));

    auto next = startAndReport();
    QCOMPARE(next->slot, 1);
    QVERIFY(quit(*next));
}

void TestStartupSlots::liveCopyKeepsItsSlot() {
    auto first = startAndReport();
    QCOMPARE(first->slot, 1);
    auto second = startAndReport();
    QCOMPARE(second->slot, 2);

    // Even with its mark cleared behind its back, a live copy's slot is not handed out.
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("Memory"), QStringLiteral("0"));
    auto third = startAndReport();
    QCOMPARE(third->slot, 3);

    QVERIFY(quit(*third));
    QVERIFY(quit(*second));
    QVERIFY(quit(*first));
}

void TestStartupSlots::handWrittenMarkIsRespected() {
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Source 1]\r\nMemory=1\r\n"));
    auto copy = startAndReport();
    QCOMPARE(copy->slot, 2);
    QVERIFY(quit(*copy));
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("Memory")), QStringLiteral("1"));
}

void TestStartupSlots::freeSlotBetweenTakenOnes() {
    auto a = startAndReport();
    auto b = startAndReport();
    auto c = startAndReport();
    QCOMPARE(a->slot, 1);
    QCOMPARE(b->slot, 2);
    QCOMPARE(c->slot, 3);
    QVERIFY(quit(*b));

    auto d = startAndReport();
    QCOMPARE(d->slot, 2);
    QVERIFY(quit(*d));
    QVERIFY(quit(*c));
    QVERIFY(quit(*a));
}

void TestStartupSlots::absentMarkWithKeysIsFreeAndLoaded() {
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"), "[Source 1]\r\nDelay=25\r\nUDP_Port_Syslog=8000\r\n"
                                                       "HostIP=10.0.0.5\r\nSourceFile=web\r\n"));
    auto copy = startAndReport();
    QCOMPARE(copy->slot, 1);
    QCOMPARE(copy->value(QStringLiteral("delay")), QStringLiteral("25"));
    QCOMPARE(copy->value(QStringLiteral("port")), QStringLiteral("8000"));
    QCOMPARE(copy->value(QStringLiteral("host")), QStringLiteral("10.0.0.5"));
    QCOMPARE(copy->value(QStringLiteral("source")), QStringLiteral("web"));
    QVERIFY(copy->boxes.isEmpty());
    QCOMPARE(Settings::read(QStringLiteral("Source 1"), QStringLiteral("Memory")), QStringLiteral("1"));
    QVERIFY(quit(*copy));
}

QTEST_GUILESS_MAIN(TestStartupSlots)
#include "tst_startupslots.moc"
