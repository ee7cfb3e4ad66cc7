// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineEnds.h"
#include "engine/RunError.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The start offset of every line of a source file, taken in one pass, so that a random draw
// can seek straight to its line instead of reading the file from the top. Lines split exactly
// as SourceReader splits them.
class LineIndex {
public:
    RunError build(const QString& path, LineEnds ends = LineEnds::CarriageReturn);
    void clear();

    qint64 count() const { return m_offsets.empty() ? 0 : static_cast<qint64>(m_offsets.size()) - 1; }
    QString path() const { return m_path; }

    // Opens the file, seeks to line `k` (0-based) and reads that one line, then closes the file.
    // An offset past the file's current end (it shrank) is InputPastEnd.
    RunError readLine(qint64 k, QByteArray* line) const;

private:
    QString m_path;
    LineEnds m_ends = LineEnds::CarriageReturn;
    // count() + 1 entries: each line's first byte, then the file's size when indexed.
    std::vector<qint64> m_offsets;
};
