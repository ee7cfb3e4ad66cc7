// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/FileListBox.h"

#include <QDir>

FileListBox::FileListBox(QWidget* parent) : QWidget(parent) {}

void FileListBox::setFolder(const QString& path) {
    m_folder = path;
    // Without QDir::Hidden and QDir::System, dot files, sockets, pipes and devices stay out.
    // Case-insensitive name order, as a desktop file list shows it.
    m_names = QDir(path).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
}

QString FileListBox::fileName(int i) const {
    if (i < 0 || i >= m_names.size())
        return QString();
    return m_names.at(i);
}
