// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QWidget>

// The hidden file list (COMBO_ListDir): a snapshot of the file names of one folder, taken when
// the folder is set and never refreshed. Every file is listed whatever its extension; hidden
// files, folders and special files are not.
class FileListBox : public QWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    // A missing or unreadable folder gives an empty list.
    void setFolder(const QString& path);
    QString folder() const { return m_folder; }

    int count() const { return static_cast<int>(m_names.size()); }
    // File name of entry i (0-based), without folder; "" outside 0..count()-1.
    QString fileName(int i) const;

private:
    QString m_folder;
    QStringList m_names;
};
