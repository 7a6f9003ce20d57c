#pragma once
// The watched readers at the left of the statistics page, and the ranking table that orders them by
// success rate so the worst one stands out.
#include "KxKitTypes.h"

#include <QFrame>
#include <QScrollArea>

class QLabel;
class QTableWidget;
class QVBoxLayout;
class StatisticsReader;

class StatisticsDeviceItem : public QFrame
{
    Q_OBJECT
public:
    StatisticsDeviceItem(const QString &deviceId, const KxDeviceInfoMap &info, QWidget *parent = nullptr);
    QString deviceId() const { return m_deviceId; }
    QString productName() const;
    // "IP:<address>" for a network reader, "COM:<port>" for a serial one (the value in green).
    QString addressText() const;
    void setTitle(const QString &title);

signals:
    void clicked(const QString &deviceId);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString m_deviceId;
    KxDeviceInfoMap m_info;
    QLabel *m_name;
};

class StatisticsDeviceList : public QScrollArea
{
    Q_OBJECT
public:
    explicit StatisticsDeviceList(QWidget *parent = nullptr);
    StatisticsDeviceItem *addDevice(const QString &deviceId, const KxDeviceInfoMap &info);
    QList<StatisticsDeviceItem *> items() const;

signals:
    void deviceClicked(const QString &deviceId);

private:
    QVBoxLayout *m_layout;
};

class StatisticsOverview : public QWidget
{
    Q_OBJECT
public:
    explicit StatisticsOverview(QWidget *parent = nullptr);
    // Readers ranked by success rate, lowest first; readers without counters yet come last.
    void refresh(const QList<StatisticsReader *> &readers, const QMap<StatisticsReader *, QString> &titles);
    QTableWidget *table() const { return m_table; }
    // Device ids in the order shown.
    QStringList order() const { return m_order; }

signals:
    void deviceClicked(const QString &deviceId);

private:
    QTableWidget *m_table;
    QStringList m_order;
};
