#pragma once
// The rows of the batch upgrade: one DeviceUpgradeItem per reader, with its own upgrade button.
#include "KxKitTypes.h"

#include <QMap>
#include <QScrollArea>
#include <QWidget>

class KxPushButton;
class QCheckBox;
class QLabel;
class QProgressBar;

class DeviceUpgradeItem : public QWidget
{
    Q_OBJECT
public:
    DeviceUpgradeItem(const QString &deviceId, const KxDeviceInfoMap &info, QWidget *parent = nullptr);

    QString deviceId() const { return m_deviceId; }
    KxDeviceInfoMap info() const { return m_info; }
    void setInfo(const KxDeviceInfoMap &info);
    bool isChecked() const;
    void setChecked(bool on);
    void setProgress(int value);
    int progress() const;
    // Status text in green (ok) or red.
    void setStatus(const QString &text, bool ok);
    QString statusText() const;
    bool statusOk() const { return m_statusOk; }
    void reset();
    void setBusy(bool busy);

signals:
    void signal_deviceUpgrade(const QString &device_id);

private:
    QString m_deviceId;
    KxDeviceInfoMap m_info;
    QCheckBox *m_check;
    QLabel *m_name;
    QLabel *m_address;
    QLabel *m_serial;
    QLabel *m_firmware;
    QProgressBar *m_progress;
    QLabel *m_status;
    KxPushButton *m_btnUpgrade;
    bool m_statusOk = false;
};

class DeviceUpgradeList : public QScrollArea
{
    Q_OBJECT
public:
    explicit DeviceUpgradeList(QWidget *parent = nullptr);

    // Adds the reader or updates its row.
    DeviceUpgradeItem *addOrUpdate(const QString &deviceId, const KxDeviceInfoMap &info);
    void remove(const QString &deviceId);
    DeviceUpgradeItem *item(const QString &deviceId) const { return m_items.value(deviceId); }
    QList<DeviceUpgradeItem *> items() const { return m_items.values(); }
    void setAllChecked(bool on);

signals:
    void signal_deviceUpgrade(const QString &device_id);

public slots:
    void slot_deviceUpgrade(const QString &device_id) { emit signal_deviceUpgrade(device_id); }

private:
    QWidget *m_body;
    QMap<QString, DeviceUpgradeItem *> m_items;
};
