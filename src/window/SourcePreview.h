// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the preview of a source leaves in the output pane: each line added in turn, decoded as the
// run echoes it, where a pane that has grown past Cap is emptied instead and that line is not
// shown; computed in one pass over the file. The cap is on what the pane holds, characters of the
// shown text, not bytes of the file: accented text takes more bytes than characters, and
// Windows-1252 text fewer.
class SourcePreview {
public:
    static constexpr qint64 Cap = 61800;

    // Reads the source at `path`; on an error what was gathered so far is not to be shown.
    RunError read(const QString& path);

    // The pane's lines as shown, and the count of the last one (0 when none is shown).
    const QStringList& lines() const { return m_pane; }
    qint64 lastShown() const { return m_lastShown; }

private:
    void add(const QByteArray& line);

    QStringList m_pane;
    qint64 m_paneLength = 0; // characters of the pane: each line and its CR LF
    qint64 m_counter = 0;
    qint64 m_lastShown = 0;
};
