// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/SourcePreview.h"

#include "engine/SourceReader.h"
#include "window/EchoPane.h"

RunError SourcePreview::read(const QString& path) {
    return SourceReader::forEachLine(path, [this](const QByteArray& line) { add(line); });
}

void SourcePreview::add(const QByteArray& line) {
    ++m_counter;
    if (m_paneLength > Cap) {
        m_pane.clear();
        m_paneLength = 0;
        return;
    }
    m_pane.append(EchoPane::displayText(line)); // shown as the run echoes it
    m_paneLength += m_pane.constLast().size() + 2;
    m_lastShown = m_counter;
}
