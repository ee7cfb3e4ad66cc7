// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

// Compares the messages that arrived with the lines that were sent: how many of the expected
// lines arrived, how many are missing, which arrivals were not expected at all, and which came
// more often than they were sent. A line sent twice is expected twice. Order is judged by each
// arrival's place among the expected lines: the first arrival that belongs before one already
// seen is out of order (a missing line does not make the next one out of order).
class DeliveryCheck {
public:
    struct Report {
        qint64 expected = 0;
        qint64 arrived = 0;
        qint64 missing = 0;
        qint64 extra = 0;
        qint64 duplicated = 0;
        // The first arrival out of order: its number among the arrivals (from 1), its line number
        // in the expected file (from 1), and the line; 0 when all came in order.
        qint64 outOfOrderArrival = 0;
        qint64 outOfOrderLine = 0;
        QByteArray outOfOrderText;
    };

    // The next line of the expected file.
    void expect(const QByteArray& line);
    void arrived(QByteArrayView message);
    Report report() const;

private:
    struct Entry {
        QList<qint64> lineNumbers; // where the line stands in the file, in order
        qsizetype taken = 0;       // how many of those have arrived
    };

    QHash<QByteArray, Entry> m_lines;
    qint64 m_expected = 0;
    qint64 m_arrivals = 0;
    qint64 m_arrived = 0;
    qint64 m_extra = 0;
    qint64 m_duplicated = 0;
    qint64 m_furthest = 0;
    qint64 m_outOfOrderArrival = 0;
    qint64 m_outOfOrderLine = 0;
    QByteArray m_outOfOrderText;
};
