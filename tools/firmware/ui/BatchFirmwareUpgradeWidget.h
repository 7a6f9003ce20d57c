#pragma once
// Upgrades several readers at once, one pool worker per reader, and shows each one's progress,
// verified version or failure in its row.
#include "DeviceUpgradeList.h"
#include "FirmwareUpgradeTask.h"

#include <QMap>
#include <QWidget>

class KxPushButton;
class QCheckBox;
class QLineEdit;
class QTimer;

class BatchFirmwareUpgradeWidget : public QWidget
{
    Q_OBJECT
public:
    explicit BatchFirmwareUpgradeWidget(QWidget *parent = nullptr);
    ~BatchFirmwareUpgradeWidget() override;

    void setFilePath(const QString &path);
    QString filePath() const { return m_path; }
    DeviceUpgradeList *list() const { return m_list; }
    bool isRunning() const { return !m_running.isEmpty(); }
    void setVerifyTimeout(int ms) { m_verifyTimeoutMs = ms; }

signals:
    void signal_UpgradeEnd(const QString &device_id, bool bRet, int nError);
    void signal_deviceRefresh();

public slots:
    void onBtnClickedSelectFile();
    void onBtnClickedUpgrade();
    void onBtnClickedRefresh();
    void onBtnClickedSelectAll();
    void OnDeviceUpdated(const QString &device_id, const QMap<QString, QString> &device_info);
    void slot_deviceUpgrade(const QString &device_id);
    void slot_UpgradeEnd(const QString &device_id, bool bRet, int nError);

private:
    struct Record
    {
        DeviceUpgradeItem *item = nullptr;
        QString deviceId;
        bool checkModel = true;
        int progress = 0;
        int lastBlock = -1;
        int lastStep = -1;
        int lastFirst = -1;
        QString version;
        std::shared_ptr<std::atomic_bool> cancel;
    };
    bool checkFile();
    void startReader(DeviceUpgradeItem *item);
    void poll();
    void setButtonsEnabled(bool on);

    QString m_path;
    bool m_ifp = false;
    QLineEdit *m_pathEdit;
    KxPushButton *m_btnFile;
    KxPushButton *m_btnUpgrade;
    KxPushButton *m_btnRefresh;
    QCheckBox *m_selectAll;
    QCheckBox *m_matchDevice;
    DeviceUpgradeList *m_list;
    QTimer *m_timer;
    QMap<QString, Record> m_running;
    int m_verifyTimeoutMs = 90000;
};
