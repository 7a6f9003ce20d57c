#include "DeviceLogTableModel.h"

#include "KxI18nUtil.h"

#include <QColor>
#include <QSaveFile>
#include <algorithm>

DeviceLogTableModel::DeviceLogTableModel(QObject *parent) : QAbstractTableModel(parent)
{
    DeviceLog::registerTypes();
}

int DeviceLogTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_visible.size();
}

int DeviceLogTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DeviceLogTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_visible.size())
        return QVariant();
    const stLogData &line = m_lines.at(m_visible.at(index.row()));
    if (role == Qt::UserRole)
        return line.level;
    if (role == Qt::ForegroundRole && (line.level == 1 || line.level == 2))
        return QColor(line.level == 1 ? QStringLiteral("#cf222e") : QStringLiteral("#9a6700"));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    switch (index.column()) {
    case LevelColumn:
        return line.level < 0 ? QString() : kxTr(DeviceLog::levelKey(line.level));
    case TimeColumn:
        return line.time;
    case DataColumn:
        return line.data;
    }
    return QVariant();
}

QVariant DeviceLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const keys[] = {"#IDS_Log_Level", "#IDS_Log_Time", "#IDS_Log_Data"};
    return section >= 0 && section < ColumnCount ? kxTr(QString::fromLatin1(keys[section])) : QVariant();
}

bool DeviceLogTableModel::shown(const stLogData &line) const
{
    return m_filter <= 0 || (line.level >= 0 && line.level <= m_filter);
}

void DeviceLogTableModel::rebuildVisible()
{
    m_visible.clear();
    for (int i = 0; i < m_lines.size(); ++i) {
        if (shown(m_lines.at(i)))
            m_visible.append(i);
    }
}

void DeviceLogTableModel::appendLines(const QList<stLogData> &batch)
{
    if (batch.isEmpty())
        return;
    if (batch.size() >= kKeep) {
        beginResetModel();
        m_lines = QVector<stLogData>(batch.end() - kKeep, batch.end());
        rebuildVisible();
        endResetModel();
        return;
    }
    // The oldest lines go and the batch comes as one removal and one insertion of rows, so the
    // view keeps its place and its selection instead of being rebuilt.
    const int total = m_lines.size() + batch.size();
    const int drop = total > kMax ? qMin(m_lines.size(), qMax(total - kKeep, 200)) : 0;
    if (drop > 0) {
        const int rows = int(std::lower_bound(m_visible.begin(), m_visible.end(), drop) - m_visible.begin());
        if (rows > 0)
            beginRemoveRows(QModelIndex(), 0, rows - 1);
        m_lines.remove(0, drop);
        m_visible.remove(0, rows);
        for (int &i : m_visible)
            i -= drop;
        if (rows > 0)
            endRemoveRows();
    }
    const int firstNew = m_lines.size();
    int shownNew = 0;
    for (const stLogData &l : batch)
        shownNew += shown(l) ? 1 : 0;
    if (shownNew > 0)
        beginInsertRows(QModelIndex(), m_visible.size(), m_visible.size() + shownNew - 1);
    m_lines.reserve(m_lines.size() + batch.size());
    for (int i = 0; i < batch.size(); ++i) {
        m_lines.append(batch.at(i));
        if (shown(batch.at(i)))
            m_visible.append(firstNew + i);
    }
    if (shownNew > 0)
        endInsertRows();
}

void DeviceLogTableModel::clear()
{
    beginResetModel();
    m_lines.clear();
    m_visible.clear();
    endResetModel();
}

void DeviceLogTableModel::setLevelFilter(int maxLevel)
{
    beginResetModel();
    m_filter = qMax(0, maxLevel);
    rebuildVisible();
    endResetModel();
}

QByteArray DeviceLogTableModel::toText() const
{
    QByteArray out;
    for (int i : m_visible) {
        const stLogData &l = m_lines.at(i);
        out += l.time.toUtf8() + '\t'
            + (l.level < 0 ? QByteArray() : kxTr(DeviceLog::levelKey(l.level)).toUtf8()) + '\t'
            + l.data.toUtf8() + '\n';
    }
    return out;
}

bool DeviceLogTableModel::saveText(const QString &path, QString *error) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(toText()) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}
