#include "DeviceLogTableModel.h"

#include "KxI18nUtil.h"

#include <QColor>
#include <QSaveFile>

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
    beginResetModel();
    if (batch.size() >= kKeep) {
        m_lines = QVector<stLogData>(batch.end() - kKeep, batch.end());
    } else {
        const int total = m_lines.size() + batch.size();
        if (total > kMax)
            m_lines.remove(0, qMin(m_lines.size(), qMax(total - kKeep, 200)));
        for (const stLogData &l : batch)
            m_lines.append(l);
    }
    rebuildVisible();
    endResetModel();
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
