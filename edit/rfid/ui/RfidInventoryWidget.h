#pragma once
// The inventory page of the RFID frame: start and stop an inventory, the live list of tags fed
// by the connector's tagsReceived, filters, reading and writing a chosen tag's memory banks
// and the .xlsx export. Every request to the reader runs as a job on the reader's worker.
#include "IPluginWidget.h"
#include "KxResultTypes.h"
#include "KxRfidMemory.h"

#include <QMap>
#include <QPointer>
#include <QTimer>

#include <functional>

class DeviceCardWidget;
class KxPushButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableView;
class RfidTagModel;

class RfidInventoryWidget : public IPluginWidget
{
    Q_OBJECT
public:
    enum class State { Stopped, Starting, Running, Stopping };

    explicit RfidInventoryWidget(QWidget *parent = nullptr);

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;
    State state() const { return m_state; }
    bool isRunning() const { return m_state == State::Running || m_state == State::Starting; }
    RfidTagModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    // The memory panel's fields and its last message, for callers that drive it.
    QComboBox *bankBox() const { return m_bank; }
    QSpinBox *pointerBox() const { return m_pointer; }
    QSpinBox *countBox() const { return m_count; }
    QLineEdit *dataEdit() const { return m_data; }
    QString memoryMessage() const;
    bool memoryBusy() const { return m_memoryBusy; }
    QByteArray selectedEpc() const;
    bool selectEpc(const QByteArray &epc);

    // Stops a running inventory on the reader's worker; done(ok) runs on this thread while this
    // page lives, at the latest after timeoutMs (ok false then). Nothing waits for it.
    void stopInventory(int timeoutMs, std::function<void(bool)> done = {});
    // The same without anyone to tell: the frame is going and its reader with it.
    void stopInventoryNow();

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override { return true; }
    bool isBusy() override { return isRunning(); }
    bool stopBusy() override;
    bool closing(const QVariant &param) override;
    void startInventory();
    void onStartStopClicked();
    void readBank();
    void writeBank();
    void exportTags();
    void clearTags();
    void onTagsReceived(const QList<STRUCT_TAG_INFO> &tags);

signals:
    void stateChanged(RfidInventoryWidget::State state);

private:
    using Result = QMap<QString, QByteArray>;
    void runRequest(const QByteArray &text, const std::function<void(const KxRfidMemory::Reply &)> &done);
    void setState(State s);
    void applyFilter();
    void updateFigures();
    void poll();
    void showMemoryMessage(const QString &text, bool error);
    void fillWholeBank();
    QWidget *buildControls();
    QWidget *buildMemoryPanel();

    QPointer<KxDeviceConnector> m_connector;
    QMetaObject::Connection m_tagsLink;
    State m_state = State::Stopped;
    RfidTagModel *m_model;
    DeviceCardWidget *m_card;
    KxPushButton *m_startStop;
    QLabel *m_status;
    QLabel *m_figures;
    QLineEdit *m_epcFilter;
    QComboBox *m_antennaFilter;
    QSpinBox *m_rssiFilter;
    QTableView *m_view;
    QLabel *m_tagLabel;
    QComboBox *m_bank;
    QSpinBox *m_pointer;
    QSpinBox *m_count;
    QLineEdit *m_data;
    KxPushButton *m_read;
    KxPushButton *m_write;
    QLabel *m_memoryMessage;
    QByteArray m_selected;
    bool m_memoryBusy = false;
    bool m_pollBusy = false;
    QTimer m_pollTimer;
    QTimer m_figureTimer;
    qint64 m_lastReads = 0;
    qint64 m_lastMs = 0;
    double m_rate = 0;
    int m_stopTicket = 0;
};
