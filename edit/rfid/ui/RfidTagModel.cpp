#include "RfidTagModel.h"

#include "KxI18nUtil.h"

#include <algorithm>

RfidTagModel::RfidTagModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &RfidTagModel::refresh);
}

int RfidTagModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_visible.size();
}

int RfidTagModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Col_Count_;
}

QVariant RfidTagModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_visible.size())
        return QVariant();
    const KxTagRow &row = m_table.row(m_visible.at(index.row()));
    if (role == Qt::TextAlignmentRole)
        return index.column() == Col_Epc ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case Col_No: return m_visible.at(index.row()) + 1;
    case Col_Epc: return row.epcHex();
    case Col_Count: return row.count;
    case Col_Rssi: return row.rssi;
    case Col_Antenna: return row.antenna;
    case Col_First: return row.firstSeen.toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    case Col_Last: return row.lastSeen.toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    default: return QVariant();
    }
}

QVariant RfidTagModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const keys[] = {"#IDS_Rfid_ColNo", "#IDS_Rfid_ColEpc", "#IDS_Rfid_ColCount",
                                       "#IDS_Rfid_ColRssi", "#IDS_Rfid_ColAntenna",
                                       "#IDS_Rfid_ColFirst", "#IDS_Rfid_ColLast"};
    return section >= 0 && section < Col_Count_ ? kxTr(QLatin1String(keys[section])) : QVariant();
}

QList<int> RfidTagModel::ordered(QList<int> rows) const
{
    const int column = m_sortColumn;
    auto less = [this, column](int a, int b) {
        const KxTagRow &x = m_table.row(a), &y = m_table.row(b);
        switch (column) {
        case Col_Epc: return x.epc < y.epc;
        case Col_Count: return x.count < y.count;
        case Col_Rssi: return x.rssi < y.rssi;
        case Col_Antenna: return x.antenna < y.antenna;
        case Col_First: return x.firstSeen < y.firstSeen;
        case Col_Last: return x.lastSeen < y.lastSeen;
        default: return a < b;
        }
    };
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(rows.begin(), rows.end(), less);
    else
        std::stable_sort(rows.begin(), rows.end(), [&less](int a, int b) { return less(b, a); });
    return rows;
}

void RfidTagModel::reorder(const QList<int> &now)
{
    emit layoutAboutToBeChanged();
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &i : from) {
        const int at = now.indexOf(m_visible.value(i.row(), -1));
        to << (at < 0 ? QModelIndex() : index(at, i.column()));
    }
    m_visible = now;
    changePersistentIndexList(from, to);
    emit layoutChanged();
}

void RfidTagModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= Col_Count_)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    reorder(ordered(m_visible));
}

void RfidTagModel::addTags(const QList<STRUCT_TAG_INFO> &tags)
{
    if (tags.isEmpty())
        return;
    m_table.add(tags, QDateTime::currentDateTimeUtc());
    m_dirty = true;
    if (!m_timer.isActive())
        m_timer.start();
}

void RfidTagModel::clear()
{
    beginResetModel();
    m_table.clear();
    m_visible.clear();
    endResetModel();
    m_dirty = false;
    emit rebuilt();
}

void RfidTagModel::setFilter(const KxTagTable::Filter &filter)
{
    m_filter = filter;
    beginResetModel();
    m_visible = ordered(m_table.filtered(m_filter));
    endResetModel();
    m_dirty = false;
    emit rebuilt();
}

QByteArray RfidTagModel::epcAt(int viewRow) const
{
    return viewRow >= 0 && viewRow < m_visible.size() ? m_table.row(m_visible.at(viewRow)).epc : QByteArray();
}

int RfidTagModel::viewRowOf(const QByteArray &epc) const
{
    const int i = m_table.indexOf(epc);
    return i < 0 ? -1 : m_visible.indexOf(i);
}

void RfidTagModel::refresh()
{
    if (!m_dirty) {
        m_timer.stop();
        return;
    }
    m_dirty = false;
    const QList<int> now = ordered(m_table.filtered(m_filter));
    const int old = m_visible.size();
    if (now.size() == old && now != m_visible) {
        // Sorted by a changing value: the same rows in another order.
        reorder(now);
        emit dataChanged(index(0, Col_Count), index(old - 1, Col_Last), {Qt::DisplayRole});
        return;
    }
    // New tags are appended to the table, so the old rows usually stay a prefix; a row that
    // left the filter (its latest signal fell) makes the view start over.
    if (now.size() >= old && std::equal(m_visible.cbegin(), m_visible.cend(), now.cbegin())) {
        if (old > 0)
            emit dataChanged(index(0, Col_Count), index(old - 1, Col_Last), {Qt::DisplayRole});
        if (now.size() > old) {
            beginInsertRows(QModelIndex(), old, now.size() - 1);
            m_visible = now;
            endInsertRows();
        }
        return;
    }
    beginResetModel();
    m_visible = now;
    endResetModel();
    emit rebuilt();
}
