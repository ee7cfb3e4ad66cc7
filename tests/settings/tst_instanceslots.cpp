// SPDX-License-Identifier: GPL-3.0-or-later
#include "Permissions.h"
#include "TestWorkDir.h"
#include "settings/InstanceSlots.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

const QString SlotChild = QStringLiteral(SLOT_CHILD);

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString memory(int slot) {
    return Settings::read(InstanceSlots::sectionName(slot), QStringLiteral("Memory"));
}

bool setMemory(int slot, const QString& value) {
    return Settings::write(InstanceSlots::sectionName(slot), QStringLiteral("Memory"), value);
}

QString recordOf(int slot) {
    return QStringLiteral("Talvex.slot%1.lock").arg(slot);
}

bool permissionsIgnored() {
    return !permissionsEnforced();
}

// A copy of the program in its own process, as far as slots go.
class Child {
public:
    explicit Child(const QStringList& arguments = {}) {
        m_process.setWorkingDirectory(QDir::currentPath());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(SlotChild, arguments);
    }
    // For a child started with "hold <lock file>": whether it has the lock.
    bool held() { return readLine() == "held"; }
    ~Child() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    // The slot it claimed, or -1 when it said nothing in time.
    int slot() {
        if (m_slot < 0) {
            const QByteArray line = readLine();
            bool ok = false;
            const int value = line.toInt(&ok);
            m_slot = ok ? value : -1;
        }
        return m_slot;
    }
    bool release() {
        m_process.write("release\n");
        return readLine() == "released" && m_process.waitForFinished(30000) && m_process.exitCode() == 0;
    }
    bool closeInput() {
        m_process.closeWriteChannel();
        return readLine() == "released" && m_process.waitForFinished(30000) && m_process.exitCode() == 0;
    }
    bool killHard() {
        m_process.kill(); // SIGKILL: no release, no destructor
        return m_process.waitForFinished(30000);
    }

private:
    QByteArray readLine() {
        QDeadlineTimer deadline(60000);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() ||
                !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                return {};
        }
        return m_process.readLine().trimmed();
    }

    QProcess m_process;
    int m_slot = -1;
};

} // namespace

class TestInstanceSlots : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sectionNames();
    void marks_data();
    void marks();
    void takesTheGapBetweenTakenSlots();
    void sectionWithoutMemoryIsFree();
    void releaseWritesZeroAndKeepsKeys();
    void releaseWithoutSlotWritesNothing();
    void claimTwiceKeepsTheSlot();
    void twoObjectsOfOneProcess();
    void allTakenWritesNothing();
    void recordHoldsTheProcessId();
    void endWithoutReleaseLeavesAReclaimableSlot();
    void leftoverRecordWithFreeMark();
    void readOnlySettingsFileStillExclusive();
    void startedProgramsDoNotKeepTheSlot();
    void removedWorkingDirectory();
    void busyScanLockIsNotTheLimit();
    void lockFileLinksAreNeverFollowed_data();
    void lockFileLinksAreNeverFollowed();

    void twentyChildrenTwentySlots();
    void killedChildSlotIsReclaimed();
    void liveChildSlotIsNeverTaken();
    void childReleaseFreesItsSlot();

private:
    std::unique_ptr<TestWorkDir> m_dir;
};

void TestInstanceSlots::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
}

void TestInstanceSlots::cleanup() {
    QFile::setPermissions(m_dir->filePath(QStringLiteral("Talvex.ini")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_dir.reset();
}

void TestInstanceSlots::sectionNames() {
    QCOMPARE(InstanceSlots::sectionName(1), QStringLiteral("Source 1"));
    QCOMPARE(InstanceSlots::sectionName(20), QStringLiteral("Source 20"));
    InstanceSlots none;
    QCOMPARE(none.slot(), 0);
    QCOMPARE(none.section(), QString());
}

void TestInstanceSlots::marks_data() {
    // What slot 1 holds by hand (no record file) and which slot a copy then takes.
    QTest::addColumn<QString>("mark");
    QTest::addColumn<bool>("present");
    QTest::addColumn<int>("expected");
    QTest::newRow("1 is taken") << "1" << true << 2;
    QTest::newRow("-1 is taken") << "-1" << true << 2;
    QTest::newRow("2 is taken") << "2" << true << 2;
    QTest::newRow("1abc is taken") << "1abc" << true << 2;
    QTest::newRow("0.5 is taken") << "0.5" << true << 2;
    QTest::newRow("0 is free") << "0" << true << 1;
    QTest::newRow("0.0 is free") << "0.0" << true << 1;
    QTest::newRow("blank 0 is free") << " 0" << true << 1;
    QTest::newRow("empty is free") << "" << true << 1;
    QTest::newRow("yes is free") << "yes" << true << 1;
    QTest::newRow("absent is free") << "" << false << 1;
}

void TestInstanceSlots::marks() {
    QFETCH(QString, mark);
    QFETCH(bool, present);
    QFETCH(int, expected);
    if (present)
        QVERIFY(setMemory(1, mark));
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), expected);
    QCOMPARE(slots_.slot(), expected);
    QCOMPARE(slots_.section(), InstanceSlots::sectionName(expected));
    QCOMPARE(memory(expected), QStringLiteral("1"));
    if (expected != 1)
        QCOMPARE(memory(1), mark); // a mark that is not ours stays as it was
}

void TestInstanceSlots::takesTheGapBetweenTakenSlots() {
    QVERIFY(setMemory(1, QStringLiteral("1")));
    QVERIFY(setMemory(2, QStringLiteral("0")));
    QVERIFY(setMemory(3, QStringLiteral("1")));
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 2);
    QCOMPARE(slots_.section(), QStringLiteral("Source 2"));
    QCOMPARE(memory(2), QStringLiteral("1"));
    QCOMPARE(memory(4), QString());
}

void TestInstanceSlots::sectionWithoutMemoryIsFree() {
    QVERIFY(Settings::write(QStringLiteral("Source 1"), QStringLiteral("Delay"), QStringLiteral("25")));
    QVERIFY(
        Settings::write(QStringLiteral("Source 1"), QStringLiteral("HostIP"), QStringLiteral("10.0.0.9")));
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 1);
    QCOMPARE(fileBytes(Settings::path()),
             QByteArray("[Source 1]\r\nDelay=25\r\nHostIP=10.0.0.9\r\nMemory=1\r\n"));
}

void TestInstanceSlots::releaseWritesZeroAndKeepsKeys() {
    QVERIFY(setMemory(1, QStringLiteral("1")));
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 2);
    QVERIFY(Settings::write(QStringLiteral("Source 2"), QStringLiteral("Delay"), QStringLiteral("30")));
    QVERIFY(QFile::exists(recordOf(2)));
    slots_.release();
    QCOMPARE(slots_.slot(), 0);
    QCOMPARE(slots_.section(), QString());
    QCOMPARE(fileBytes(Settings::path()),
             QByteArray("[Source 1]\r\nMemory=1\r\n[Source 2]\r\nMemory=0\r\nDelay=30\r\n"));
    QVERIFY(!QFile::exists(recordOf(2)));

    // A second release (the Quit button, then the teardown) changes nothing.
    const QByteArray before = fileBytes(Settings::path());
    slots_.release();
    QCOMPARE(fileBytes(Settings::path()), before);

    // The next copy takes the slot back, with its settings.
    InstanceSlots next;
    QCOMPARE(next.claim(), 2);
    QCOMPARE(Settings::read(next.section(), QStringLiteral("Delay")), QStringLiteral("30"));
}

void TestInstanceSlots::releaseWithoutSlotWritesNothing() {
    InstanceSlots slots_;
    slots_.release();
    QVERIFY(!QFile::exists(Settings::path()));
}

void TestInstanceSlots::claimTwiceKeepsTheSlot() {
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 1);
    const QByteArray before = fileBytes(Settings::path());
    // A new scan would find slot 1 held (its record is locked) and move on to slot 2.
    QCOMPARE(slots_.claim(), 1);
    QCOMPARE(slots_.slot(), 1);
    QCOMPARE(fileBytes(Settings::path()), before);
    QVERIFY(!QFile::exists(recordOf(2)));
}

void TestInstanceSlots::twoObjectsOfOneProcess() {
    InstanceSlots first;
    InstanceSlots second;
    QCOMPARE(first.claim(), 1);
    QCOMPARE(second.claim(), 2);
    first.release();
    InstanceSlots third;
    QCOMPARE(third.claim(), 1);
}

void TestInstanceSlots::allTakenWritesNothing() {
    for (int n = 1; n <= InstanceSlots::Capacity; ++n)
        QVERIFY(setMemory(n, QStringLiteral("1")));
    QVERIFY(Settings::write(QStringLiteral("Source 21"), QStringLiteral("Memory"), QStringLiteral("0")));
    const QByteArray before = fileBytes(Settings::path());
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 0); // never beyond slot 20
    QCOMPARE(slots_.refusal(), InstanceSlots::Refusal::AllTaken);
    QCOMPARE(slots_.slot(), 0);
    QCOMPARE(slots_.section(), QString());
    QCOMPARE(fileBytes(Settings::path()), before);
    QVERIFY(QDir().entryList({QStringLiteral("Talvex.slot*")}).isEmpty());
    slots_.release();
    QCOMPARE(fileBytes(Settings::path()), before);
}

void TestInstanceSlots::recordHoldsTheProcessId() {
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 1);
    QCOMPARE(fileBytes(recordOf(1)).trimmed(), QByteArray::number(QCoreApplication::applicationPid()));
}

void TestInstanceSlots::endWithoutReleaseLeavesAReclaimableSlot() {
    {
        InstanceSlots gone;
        QCOMPARE(gone.claim(), 1);
    }
    // The mark stays, but its record is no longer held by anyone: the slot is given again.
    QCOMPARE(memory(1), QStringLiteral("1"));
    QVERIFY(QFile::exists(recordOf(1)));
    InstanceSlots next;
    QCOMPARE(next.claim(), 1);
}

void TestInstanceSlots::leftoverRecordWithFreeMark() {
    QFile record(recordOf(1));
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.write("12345\n");
    record.close();
    QVERIFY(setMemory(1, QStringLiteral("0")));
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 1);
}

void TestInstanceSlots::readOnlySettingsFileStillExclusive() {
    if (permissionsIgnored())
        QSKIP("file permissions are not enforced for this process");
    QVERIFY(setMemory(1, QStringLiteral("0")));
    QVERIFY(QFile::setPermissions(Settings::path(), QFileDevice::ReadOwner));
    const QByteArray before = fileBytes(Settings::path());
    InstanceSlots first;
    QCOMPARE(first.claim(), 1); // the mark cannot be written...
    QCOMPARE(fileBytes(Settings::path()), before);
    InstanceSlots second;
    QCOMPARE(second.claim(), 2); // ...but the held record keeps slot 1 taken
    first.release();
    QVERIFY(!QFile::exists(recordOf(1)));
    InstanceSlots third;
    QCOMPARE(third.claim(), 1);
}

void TestInstanceSlots::startedProgramsDoNotKeepTheSlot() {
    // A program started while a slot is held (the companion program, for one) must not
    // inherit the record and keep the slot looking alive after this copy has ended.
    auto holder = std::make_unique<InstanceSlots>();
    QCOMPARE(holder->claim(), 1);
    Child started; // claims slot 2 and keeps running
    QCOMPARE(started.slot(), 2);
    holder.reset(); // this copy ends without a release
    InstanceSlots next;
    QCOMPARE(next.claim(), 1);
    QVERIFY(started.release());
}

void TestInstanceSlots::removedWorkingDirectory() {
    QVERIFY(QDir().mkdir(QStringLiteral("gone")));
    QVERIFY(QDir::setCurrent(QStringLiteral("gone")));
    QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("gone")));
    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), 1); // nothing can be read or written: the copy runs in slot 1
    slots_.release();
    QCOMPARE(slots_.slot(), 0);
    const QStringList atRoot = QDir(QStringLiteral("/")).entryList({QStringLiteral("Talvex*")}, QDir::Files);
    QVERIFY2(atRoot.isEmpty(), qPrintable(atRoot.join(QLatin1Char(' '))));
}

void TestInstanceSlots::busyScanLockIsNotTheLimit() {
    // A copy hung while it holds the scan lock: the wait ends, and it is not the twenty-copies limit.
    Child hung({QStringLiteral("hold"), QStringLiteral("Talvex.ini.slots.lock")});
    QVERIFY(hung.held());
    InstanceSlots slots_(300);
    QCOMPARE(slots_.claim(), 0);
    QCOMPARE(slots_.refusal(), InstanceSlots::Refusal::Busy);
    QVERIFY(!QFile::exists(Settings::path()));
    QVERIFY(hung.release());
    QCOMPARE(slots_.claim(), 1); // a second try, once the lock is free
    QCOMPARE(slots_.refusal(), InstanceSlots::Refusal::None);
}

void TestInstanceSlots::lockFileLinksAreNeverFollowed_data() {
    // A link planted under a lock or record name, to a file of the user's (or to none yet).
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<int>("expected"); // the slot a copy gets
    QTest::addColumn<bool>("markWritten");
    QTest::newRow("slot record") << "Talvex.slot1.lock" << true << 2 << true;
    QTest::newRow("slot record, dangling") << "Talvex.slot1.lock" << false << 2 << true;
    QTest::newRow("settings lock") << "Talvex.ini.lock" << true << 1 << false;
    QTest::newRow("settings lock, dangling") << "Talvex.ini.lock" << false << 1 << false;
    QTest::newRow("scan lock") << "Talvex.ini.slots.lock" << true << 0 << false;
}

void TestInstanceSlots::lockFileLinksAreNeverFollowed() {
    QFETCH(QString, name);
    QFETCH(bool, targetExists);
    QFETCH(int, expected);
    QFETCH(bool, markWritten);
    const QString target = m_dir->filePath(QStringLiteral("victim.txt"));
    if (targetExists) {
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        QCOMPARE(victim.write("ABCDEFGHIJ"), qint64(10));
    }
    QVERIFY(QFile::link(target, name));

    InstanceSlots slots_;
    QCOMPARE(slots_.claim(), expected);
    if (expected == 0)
        QCOMPARE(slots_.refusal(), InstanceSlots::Refusal::Unusable);
    QCOMPARE(memory(expected), markWritten ? QStringLiteral("1") : QString());
    Settings::write(QStringLiteral("Source 1"), QStringLiteral("Delay"), QStringLiteral("5"));
    slots_.release();

    QVERIFY(QFileInfo(name).isSymLink());
    if (targetExists)
        QCOMPARE(fileBytes(target), QByteArray("ABCDEFGHIJ"));
    else
        QVERIFY(!QFile::exists(target));
}

void TestInstanceSlots::twentyChildrenTwentySlots() {
    std::vector<std::unique_ptr<Child>> children;
    for (int i = 0; i < InstanceSlots::Capacity; ++i)
        children.push_back(std::make_unique<Child>());
    QList<int> taken;
    for (auto& child : children)
        taken.append(child->slot());
    std::sort(taken.begin(), taken.end());
    QList<int> all;
    for (int n = 1; n <= InstanceSlots::Capacity; ++n)
        all.append(n);
    QCOMPARE(taken, all);
    for (int n = 1; n <= InstanceSlots::Capacity; ++n)
        QCOMPARE(memory(n), QStringLiteral("1"));

    // A twenty-first copy is refused and changes nothing.
    const QByteArray before = fileBytes(Settings::path());
    {
        Child refused;
        QCOMPARE(refused.slot(), 0);
        QVERIFY(refused.closeInput());
    }
    QCOMPARE(fileBytes(Settings::path()), before);

    for (auto& child : children)
        QVERIFY(child->closeInput());
    for (int n = 1; n <= InstanceSlots::Capacity; ++n)
        QCOMPARE(memory(n), QStringLiteral("0"));
    QVERIFY(QDir().entryList({QStringLiteral("Talvex.slot*")}).isEmpty());
}

void TestInstanceSlots::killedChildSlotIsReclaimed() {
    Child first;
    Child second;
    QCOMPARE(first.slot() + second.slot(), 3); // 1 and 2, in either order
    Child& inSlot1 = first.slot() == 1 ? first : second;
    Child& inSlot2 = first.slot() == 1 ? second : first;
    QVERIFY(inSlot1.killHard());
    QCOMPARE(memory(1), QStringLiteral("1")); // nobody cleared the mark
    Child next;
    QCOMPARE(next.slot(), 1);
    Child another; // slot 2 is still alive
    QCOMPARE(another.slot(), 3);
    QVERIFY(next.release());
    QVERIFY(another.release());
    QVERIFY(inSlot2.release());
}

void TestInstanceSlots::liveChildSlotIsNeverTaken() {
    Child live;
    QCOMPARE(live.slot(), 1);
    InstanceSlots here;
    QCOMPARE(here.claim(), 2);
    here.release();
    // Even with its mark cleared behind its back (say its write failed), the slot stays its own.
    QVERIFY(setMemory(1, QStringLiteral("0")));
    QCOMPARE(here.claim(), 2);
    QVERIFY(live.release());
}

void TestInstanceSlots::childReleaseFreesItsSlot() {
    QVERIFY(Settings::write(QStringLiteral("Source 1"), QStringLiteral("Delay"), QStringLiteral("42")));
    Child child;
    QCOMPARE(child.slot(), 1);
    QVERIFY(child.release());
    QCOMPARE(fileBytes(Settings::path()), QByteArray("[Source 1]\r\nDelay=42\r\nMemory=0\r\n"));
    QVERIFY(!QFile::exists(recordOf(1)));
    InstanceSlots next;
    QCOMPARE(next.claim(), 1);
}

QTEST_GUILESS_MAIN(TestInstanceSlots)
#include "tst_instanceslots.moc"
