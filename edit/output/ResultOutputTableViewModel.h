#pragma once
// Rows of a result table: every column's text, with a bounded number of rows (the oldest go
// first), so a fast stream never makes the view slower. Rows arrive in batches.
#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

class ResultOutputTableViewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kDefaultMaxRows = 2000;
    // Role of a cell that reports a failure ("NG"), for the delegate.
    static constexpr int FailRole = Qt::UserRole + 1;

    // columns: text keys or literal names, shown translated.
    explicit ResultOutputTableViewModel(const QStringList &columns, QObject *parent = nullptr);

    void setMaxRows(int rows);
    int maxRows() const { return m_maxRows; }
    void appendRows(const QVector<QStringList> &rows);
    void clearRows();
    QStringList columnKeys() const { return m_columns; }
    void setColumnKey(int column, const QString &key);
    const QVector<QStringList> &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList m_columns;
    QVector<QStringList> m_rows;
    int m_maxRows = kDefaultMaxRows;
};
