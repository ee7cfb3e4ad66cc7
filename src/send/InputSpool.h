// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTemporaryFile;

// Keeps a stream (standard input, a pipe) in a file so a run can read it more than once (a loop,
// the random draw's index). The copy is made from the event loop, so a signal can end it; its
// file has no name from the moment it is made, so it goes with the program however it ends.
class InputSpool : public QObject {
    Q_OBJECT
public:
    explicit InputSpool(QObject* parent = nullptr);
    ~InputSpool() override;

    // Starts copying `fd` (made non-blocking); finished() follows. False with error() set when
    // no file could be made.
    bool start(int fd);
    // Stops copying: finished(false) follows at once.
    void cancel();

    qint64 bytes() const { return m_bytes; }
    QString error() const { return m_error; }
    // The copy, for as long as this object lives.
    QString path() const { return m_path; }

signals:
    void finished(bool ok);

private:
    void readSome();
    void finish(bool ok);

    std::unique_ptr<QTemporaryFile> m_file;
    QSocketNotifier* m_notifier = nullptr;
    int m_fd = -1;
    int m_copyFd = -1;
    qint64 m_bytes = 0;
    QString m_path;
    QString m_error;
};
