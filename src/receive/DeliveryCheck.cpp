// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/DeliveryCheck.h"

void DeliveryCheck::expect(const QByteArray& line) {
    m_lines[line].lineNumbers << ++m_expected;
}

void DeliveryCheck::arrived(QByteArrayView message) {
    ++m_arrivals;
    // A key over the message's own bytes: no copy for the lookup.
    const QByteArray key = QByteArray::fromRawData(message.data(), message.size());
    const auto found = m_lines.find(key);
    if (found == m_lines.end()) {
        ++m_extra;
        return;
    }
    Entry& entry = found.value();
    if (entry.taken == entry.lineNumbers.size()) {
        ++m_duplicated;
        return;
    }
    ++m_arrived;
    const qint64 lineNumber = entry.lineNumbers.at(entry.taken++);
    if (lineNumber < m_furthest && m_outOfOrderArrival == 0) {
        m_outOfOrderArrival = m_arrivals;
        m_outOfOrderLine = lineNumber;
        m_outOfOrderText = message.toByteArray();
    }
    m_furthest = std::max(m_furthest, lineNumber);
}

DeliveryCheck::Report DeliveryCheck::report() const {
    Report r;
    r.expected = m_expected;
    r.arrived = m_arrived;
    r.missing = m_expected - m_arrived;
    r.extra = m_extra;
    r.duplicated = m_duplicated;
    r.outOfOrderArrival = m_outOfOrderArrival;
    r.outOfOrderLine = m_outOfOrderLine;
    r.outOfOrderText = m_outOfOrderText;
    return r;
}
