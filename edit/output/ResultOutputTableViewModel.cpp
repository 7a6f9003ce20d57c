#include "ResultOutputTableViewModel.h"

#include "KxI18nUtil.h"

#include <QColor>

ResultOutputTableViewModel::ResultOutputTableViewModel(const QStringList &columns, QObject *parent)
    : QAbstractTableModel(parent), m_columns(columns)
{
}

void ResultOutputTableViewModel::setMaxRows(int rows)
{
    m_maxRows = qMax(1, rows);
    if (m_rows.size() > m_maxRows) {
        beginRemoveRows({}, 0, m_rows.size() - m_maxRows - 1);
        m_rows.erase(m_rows.begin(), m_rows.end() - m_maxRows);
        endRemoveRows();
    }
}

void ResultOutputTableViewModel::appendRows(const QVector<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    // Only the newest rows that fit are kept. Up to the bound rows are inserted; beyond it the
    // oldest leave and the rows shift in place, so the views keep their row count and only
    // repaint instead of removing and inserting header sections on every batch.
    const int take = qMin(rows.size(), m_maxRows);
    const int first = rows.size() - take;
    auto padded = [this](QStringList row) {
        while (row.size() < m_columns.size())
            row.append(QString());
        return row;
    };
    const int grow = qMin(take, m_maxRows - m_rows.size());
    if (grow > 0) {
        beginInsertRows({}, m_rows.size(), m_rows.size() + grow - 1);
        for (int i = first; i < first + grow; ++i)
            m_rows.append(padded(rows[i]));
        endInsertRows();
    }
    const int shift = take - grow;
    if (shift > 0) {
        m_rows.erase(m_rows.begin(), m_rows.begin() + shift);
        for (int i = first + grow; i < rows.size(); ++i)
            m_rows.append(padded(rows[i]));
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, m_columns.size() - 1));
    }
}

void ResultOutputTableViewModel::clearRows()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ResultOutputTableViewModel::setColumnKey(int column, const QString &key)
{
    if (column < 0 || column >= m_columns.size())
        return;
    m_columns[column] = key;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int ResultOutputTableViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ResultOutputTableViewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns.size();
}

QVariant ResultOutputTableViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns.size())
        return {};
    const QString &text = m_rows[index.row()][index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return text;
    case FailRole:
        return text == QLatin1String("NG");
    default:
        return {};
    }
}

QVariant ResultOutputTableViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_columns.size())
        return kxTr(m_columns[section]);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return {};
}
