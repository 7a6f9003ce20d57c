#pragma once
// The inventory page's table over KxTagTable: the rows that pass the filter, in the order the
// tags were first seen or sorted by a column. Batches merge into the table at once; the view is
// told about them at most every refresh interval, so thousands of reads a second cost one
// repaint a tick.
#include "KxTagTable.h"

#include <QAbstractTableModel>
#include <QTimer>

class RfidTagModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Col_No, Col_Epc, Col_Count, Col_Rssi, Col_Antenna, Col_First, Col_Last, Col_Count_ };
    static constexpr int kRefreshMs = 200;

    explicit RfidTagModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Keeps the rows in this order from now on; ties keep the order first seen.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const KxTagTable &table() const { return m_table; }
    void addTags(const QList<STRUCT_TAG_INFO> &tags);
    void clear();
    void setFilter(const KxTagTable::Filter &filter);
    const KxTagTable::Filter &filter() const { return m_filter; }
    // The table rows now shown, in view order.
    const QList<int> &visibleRows() const { return m_visible; }
    QByteArray epcAt(int viewRow) const;
    int viewRowOf(const QByteArray &epc) const;

    // Brings the view up to date now (the timer does it otherwise).
    void refresh();

signals:
    // The view was rebuilt; a selection has to be found again.
    void rebuilt();

private:
    QList<int> ordered(QList<int> rows) const;
    // Shows `now` (same rows as shown, other order), keeping selections on their tags.
    void reorder(const QList<int> &now);

    KxTagTable m_table;
    int m_sortColumn = Col_No;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    KxTagTable::Filter m_filter;
    QList<int> m_visible;
    QTimer m_timer;
    bool m_dirty = false;
};
