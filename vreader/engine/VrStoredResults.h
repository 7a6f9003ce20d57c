#pragma once
// Results a reader made while no client held it: kept in a bounded store, handed over in pages
// and cleared on request, oldest first. Only JSON result messages are kept.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <deque>

class VrStoredResults
{
public:
    static constexpr int kCapacity = 2000;
    static constexpr int kPageRecords = 10;
    static constexpr int kPageBytes = 12000;

    // Keeps the JSON messages among result frames ("KESTOR" type 65281); when full, the oldest
    // record gives way and counts as lost.
    void keep(const QList<QByteArray> &frames, const QDateTime &now);
    int count() const { return int(m_records.size()); }
    qint64 lost() const { return m_lost; }
    // "<count>,<capacity>,<lost>"
    QByteArray countText() const;
    // A JSON array of the records from index first on (oldest is 0): at most kPageRecords, and
    // no more than kPageBytes unless a single record is larger. Empty array past the end.
    QByteArray page(int first) const;
    // Removes the n oldest records; false (nothing removed) when n is not 1..count.
    bool clear(int n);

private:
    std::deque<QByteArray> m_records;
    qint64 m_lost = 0;
};
