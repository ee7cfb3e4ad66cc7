// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/FileLock.h"
#include "settings/ProfileFile.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace {

const QString Writer = QStringLiteral(PROFILE_WRITER);

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Section headers of the text, as written (they are all plain here).
QList<QByteArray> headers(const QByteArray& text) {
    QList<QByteArray> result;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith('['))
            result.append(line.trimmed());
    }
    return result;
}

bool readLine(QProcess& process, QByteArray* line, int timeoutMs = 30000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() ||
            !process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    *line = process.readLine().trimmed();
    return true;
}

// Starts a writer that takes the lock file and keeps it until its input closes.
bool holdLock(QProcess& holder, const QString& lockPath) {
    holder.start(Writer, {QStringLiteral("--hold"), lockPath});
    QByteArray line;
    return readLine(holder, &line) && line == "held";
}

} // namespace

class TestProfileConcurrency : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void manyWritersLoseNothing();
    void writeWaitsForTheLock();
    void lockOfAKilledHolderIsFree();
    void lockWaitIsBounded();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCurrent;
};

void TestProfileConcurrency::init() {
    m_oldCurrent = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestProfileConcurrency::cleanup() {
    QDir::setCurrent(m_oldCurrent);
    m_dir.reset();
}

void TestProfileConcurrency::manyWritersLoseNothing() {
    const int writers = 10;
    const int count = 200;
    const QString path = m_dir->filePath(QStringLiteral("Talvex.ini"));
    const QByteArray start("; kept by everyone\r\n[Settings]\r\nLanguage=2\r\n");
    QFile seed(path);
    QVERIFY(seed.open(QIODevice::WriteOnly));
    seed.write(start);
    seed.close();

    // Writers share sections, so sections are created and extended concurrently.
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < writers; ++i) {
        auto child = std::make_unique<QProcess>();
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(Writer, {path, QStringLiteral("Source %1").arg(i % 3 + 1),
                              QStringLiteral("Key%1").arg(i), QString::number(count), QString::number(i)});
        children.push_back(std::move(child));
    }
    for (auto& child : children)
        QVERIFY2(child->waitForStarted(), qPrintable(child->errorString()));

    // Meanwhile, every state a reader sees is a whole file, and no value ever goes back.
    QList<int> lastSeen(writers, 0);
    int snapshots = 0;
    auto running = [&] {
        for (auto& child : children)
            if (child->state() != QProcess::NotRunning)
                return true;
        return false;
    };
    QDeadlineTimer deadline(240000);
    while (running() && !deadline.hasExpired()) {
        const QByteArray text = fileBytes(path);
        QVERIFY(text.startsWith(start.left(start.size() - 2)));
        const QList<QByteArray> seen = headers(text);
        QCOMPARE(QSet<QByteArray>(seen.begin(), seen.end()).size(), seen.size());
        for (int i = 0; i < writers; ++i) {
            const QByteArray value = ProfileFile::readFromText(
                text, "Source " + QByteArray::number(i % 3 + 1), "Key" + QByteArray::number(i));
            const int number = value.isEmpty() ? 0 : value.toInt();
            QVERIFY2(number >= lastSeen[i], "a value went back: a write was lost");
            lastSeen[i] = number;
        }
        ++snapshots;
        QTest::qWait(5); // also lets the processes report their end
    }
    QVERIFY(snapshots > 0);

    for (auto& child : children) {
        QVERIFY(child->state() == QProcess::NotRunning || child->waitForFinished(60000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
    }

    const QByteArray text = fileBytes(path);
    QVERIFY(text.startsWith(start));
    QList<QByteArray> sections = headers(text);
    std::sort(sections.begin(), sections.end());
    QCOMPARE(sections, QList<QByteArray>({"[Settings]", "[Source 1]", "[Source 2]", "[Source 3]"}));
    for (int i = 0; i < writers; ++i) {
        QCOMPARE(ProfileFile::readFromText(text, "Source " + QByteArray::number(i % 3 + 1),
                                           "Key" + QByteArray::number(i)),
                 QByteArray::number(count));
    }
    QCOMPARE(ProfileFile::readFromText(text, "Settings", "Language"), QByteArray("2"));
    const QByteArray shared = ProfileFile::readFromText(text, "Settings", "Shared");
    QVERIFY2(shared.endsWith(':' + QByteArray::number(count)), shared.constData());
    // Exactly the lines written: 10 keys, 4 headers, Language, Shared, the comment.
    QCOMPARE(text.count("\r\n"), writers + 4 + 3);
}

void TestProfileConcurrency::writeWaitsForTheLock() {
    const QString path = m_dir->filePath(QStringLiteral("Talvex.ini"));
    QProcess holder;
    QVERIFY(holdLock(holder, path + QStringLiteral(".lock")));

    QProcess writer;
    writer.start(Writer,
                 {path, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("1"), QStringLiteral("0")});
    QVERIFY(writer.waitForStarted());
    // While the lock is held the writer cannot go ahead.
    QVERIFY(!writer.waitForFinished(500));
    QVERIFY(!QFile::exists(path));

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished());
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(fileBytes(path), QByteArray("[S]\r\nk=1\r\n"));
}

void TestProfileConcurrency::lockOfAKilledHolderIsFree() {
    const QString path = m_dir->filePath(QStringLiteral("Talvex.ini"));
    QProcess holder;
    QVERIFY(holdLock(holder, path + QStringLiteral(".lock")));
    holder.kill(); // SIGKILL: no chance to unlock
    QVERIFY(holder.waitForFinished());
    QVERIFY(QFile::exists(path + QStringLiteral(".lock")));
    QVERIFY(ProfileFile::write(path, "S", "k", "v"));
    QCOMPARE(fileBytes(path), QByteArray("[S]\r\nk=v\r\n"));
}

void TestProfileConcurrency::lockWaitIsBounded() {
    const QString lockPath = m_dir->filePath(QStringLiteral("x.lock"));
    QProcess holder;
    holder.start(Writer, {QStringLiteral("--hold"), lockPath});
    QByteArray line;
    QVERIFY(readLine(holder, &line));
    {
        const FileLock lock(lockPath, 300);
        QCOMPARE(lock.state(), FileLock::State::TimedOut);
    }
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished());
    const FileLock lock(lockPath, 300);
    QCOMPARE(lock.state(), FileLock::State::Locked);
    const FileLock second(lockPath, 50); // the same process, another open: still exclusive
    QCOMPARE(second.state(), FileLock::State::TimedOut);
    const FileLock nowhere(m_dir->filePath(QStringLiteral("missing/x.lock")), 50);
    QCOMPARE(nowhere.state(), FileLock::State::NoLockFile);
}

QTEST_GUILESS_MAIN(TestProfileConcurrency)
#include "tst_profileconcurrency.moc"
