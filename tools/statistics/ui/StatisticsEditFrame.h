#pragma once
// The statistics page: the watched readers at the left with the ranking table, one card per reader
// at the right, and a tool bar with the way home, the lock and the password change. The page
// is opened with the chosen readers' device ids (activate) and lets every reader go when left.
#include "IPluginWidget.h"

#include <QMap>

class KxPushButton;
class QGridLayout;
class QScrollArea;
class QTimer;
class StatisticsDeviceList;
class StatisticsEditWidget;
class StatisticsOverview;
class StatisticsReader;

class StatisticsEditFrame : public IPluginWidget
{
    Q_OBJECT
public:
    explicit StatisticsEditFrame(QWidget *parent = nullptr);
    ~StatisticsEditFrame() override;

    QList<StatisticsReader *> readers() const { return m_readers; }
    QList<StatisticsEditWidget *> editWidgets() const { return m_widgets; }
    StatisticsDeviceList *deviceList() const { return m_list; }
    StatisticsOverview *overview() const { return m_overview; }
    KxPushButton *homeButton() const { return m_btnHome; }
    KxPushButton *lockButton() const { return m_btnLock; }
    KxPushButton *passwordButton() const { return m_btnPassword; }
    bool isLocked() const { return m_locked; }

    // Opens the readers, replacing any watched before.
    void watch(const QStringList &deviceIds);

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    // param: the device ids chosen for the page (a string list).
    bool activate(const QVariant &param) override;
    bool deactivate(const QVariant &param) override;
    // While locked, leaving asks for the password.
    bool checkLeave() override;
    bool isBusy() override { return false; }
    bool stopBusy() override { return true; }
    bool closing(const QVariant &param) override;

signals:
    // The user asked for the main page (and, when locked, gave the password).
    void signal_goHome();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void setLocked(bool locked);
    bool unlock();
    void onHome();
    void onLock();
    void onPassword();
    void relayout();
    void refreshOverview();
    void showDevice(const QString &deviceId);
    void releaseAll();

    QList<StatisticsReader *> m_readers;
    QList<StatisticsEditWidget *> m_widgets;
    StatisticsDeviceList *m_list;
    StatisticsOverview *m_overview;
    QScrollArea *m_cards;
    QGridLayout *m_grid;
    KxPushButton *m_btnHome;
    KxPushButton *m_btnLock;
    KxPushButton *m_btnPassword;
    QTimer *m_overviewTimer;
    bool m_locked = false;
    int m_columns = 0;
};
