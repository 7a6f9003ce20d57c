#pragma once
// The tags an inventory has seen: one row per EPC with how often it was read, its latest signal
// and antenna and when it was first and last seen. Batches from the connector's tagsReceived
// merge in place, so a list of thousands of tags takes thousands of reads a second.
#include "KxResultTypes.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

struct KxTagRow
{
    QByteArray epc;
    qint64 count = 0;
    int rssi = 0;       // dBm, of the latest read
    int bestRssi = -128;
    int antenna = 0;    // of the latest read
    quint32 antennas = 0; // bit n: read by antenna n at least once
    QDateTime firstSeen;
    QDateTime lastSeen;
    QString epcHex() const { return QString::fromLatin1(epc.toHex().toUpper()); }
};

class KxTagTable
{
public:
    struct Filter
    {
        QString epc;        // part of the EPC in hex, any case; empty: every EPC
        int antenna = 0;    // rows read by this antenna at least once; 0: every antenna
        int minRssi = -128; // rows whose latest signal is weaker are left out
        bool accepts(const KxTagRow &row) const;
    };

    // Merges a batch read at now; the rows that were new are appended at the end, in order.
    // Returns the number of new rows.
    int add(const QList<STRUCT_TAG_INFO> &tags, const QDateTime &now);
    void clear();

    int size() const { return m_rows.size(); }
    const KxTagRow &row(int i) const { return m_rows.at(i); }
    int indexOf(const QByteArray &epc) const { return m_index.value(epc, -1); }
    qint64 totalReads() const { return m_reads; }
    // Row numbers that pass the filter, in table order.
    QList<int> filtered(const Filter &filter) const;

    // One sheet: EPC, count, RSSI, best RSSI, antenna, first and last seen (counts and signal
    // as numbers). False with a message when the file cannot be written.
    bool exportXlsx(const QString &path, const QList<int> &rows, QString *error) const;

private:
    QList<KxTagRow> m_rows;
    QHash<QByteArray, int> m_index;
    qint64 m_reads = 0;
};
