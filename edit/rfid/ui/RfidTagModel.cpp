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
    m_visible = m_table.filtered(m_filter);
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
    const QList<int> now = m_table.filtered(m_filter);
    const int old = m_visible.size();
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
