#pragma once
// The lines of the live log view: level, time and text of at most 1100 lines, the newest last,
// and a level filter that shows the lines at or above a severity (1 error .. 5 trace; 0 all).
#include "DeviceLogTypes.h"

#include <QAbstractTableModel>
#include <QVector>

class DeviceLogTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { LevelColumn, TimeColumn, DataColumn, ColumnCount };
    static constexpr int kKeep = 1000;
    static constexpr int kMax = 1100;

    explicit DeviceLogTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A batch of 1000 lines or more replaces the table with its last 1000; otherwise, when the
    // table and the batch exceed 1100 lines together, the oldest max(total - 1000, 200) lines go
    // first (at most all there are).
    void appendLines(const QList<stLogData> &batch);
    void clear();
    // 0 shows every line; else the lines whose level is known and at most this.
    void setLevelFilter(int maxLevel);
    int levelFilter() const { return m_filter; }

    // Every line kept (the filter aside).
    const QVector<stLogData> &lines() const { return m_lines; }
    // The lines shown, one per text line: time, tab, level name, tab, text.
    QByteArray toText() const;
    bool saveText(const QString &path, QString *error) const;

private:
    bool shown(const stLogData &line) const;
    void rebuildVisible();

    QVector<stLogData> m_lines;
    QVector<int> m_visible;  // indexes into m_lines
    int m_filter = 0;
};
