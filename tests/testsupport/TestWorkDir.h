// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A throwaway current directory for one test: created and entered on construction, left and
// removed on destruction.
class TestWorkDir {
public:
    TestWorkDir() : m_previous(QDir::currentPath()) {
        if (m_dir.isValid())
            m_entered = QDir::setCurrent(m_dir.path());
    }
    ~TestWorkDir() { QDir::setCurrent(m_previous); }
    TestWorkDir(const TestWorkDir&) = delete;
    TestWorkDir& operator=(const TestWorkDir&) = delete;

    bool isValid() const { return m_dir.isValid() && m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    bool write(const QString& name, const QByteArray& bytes) const {
        QFile f(filePath(name));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    QByteArray read(const QString& name) const {
        QFile f(filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QString m_previous;
    QTemporaryDir m_dir;
    bool m_entered = false;
};
