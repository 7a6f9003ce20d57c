#pragma once
// The live log of a connected reader: its log lines as they come, filtered by level, cleared,
// saved as text; a switch turns the reader's active log ("LOGACT") on and off. The log link is
// opened and switched on off the GUI thread; closing the window closes the link.
#include "NDialogEx.h"

#include <QPointer>

class DeviceLogParseWorker;
class DeviceLogTableModel;
class KxDeviceConnector;
class KxDeviceLogConnect;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableView;
class QThread;

class DeviceLogDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit DeviceLogDlg(KxDeviceConnector *connector, QWidget *parent = nullptr);
    ~DeviceLogDlg() override;

    DeviceLogTableModel *model() const { return m_model; }
    QComboBox *levelCombo() const { return m_level; }
    QCheckBox *activeSwitch() const { return m_active; }
    QLabel *statusLabel() const { return m_status; }
    // True once the log link is open and the live log asked for.
    bool isReceiving() const { return m_receiving; }

public slots:
    void on_btnSave_clicked();
    void on_btnClear_clicked();

protected:
    void done(int result) override;

private:
    void openLink();
    void setActive(bool on);
    void setStatus(const QString &key, bool error);
    void updateCount();
    void shutdown();

    QPointer<KxDeviceConnector> m_connector;
    QString m_deviceId;
    QPointer<KxDeviceLogConnect> m_connect;
    DeviceLogTableModel *m_model;
    QTableView *m_view;
    QComboBox *m_level;
    QCheckBox *m_active;
    QLabel *m_status;
    QLabel *m_count;
    QThread *m_parseThread;
    DeviceLogParseWorker *m_worker;
    bool m_receiving = false;
    bool m_closed = false;
};
