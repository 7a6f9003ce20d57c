#pragma once
// Quick selection: the user describes the application, the window proposes settings for the
// open reader as a list of changes to keep or drop, and sends only the kept ones.
#include "NDialogEx.h"
#include "QuickSelection.h"

#include <QPointer>

class KxDeviceConnector;
class KxPushButton;
class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;

class QuickSelectDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit QuickSelectDlg(KxDeviceConnector *connector, QWidget *parent = nullptr);

    QuickApplication application() const;
    QVector<QuickChange> proposal() const { return m_changes; }
    QListWidget *symbologyList() const { return m_symbologies; }
    QTableWidget *changesTable() const { return m_table; }
    QString statusText() const;
    bool busy() const { return m_pending > 0; }

public slots:
    void propose();
    // Sends the changes whose box is ticked, as running changes; false when none or busy.
    bool applyKept();

private:
    QPointer<KxDeviceConnector> m_connector;
    QListWidget *m_symbologies;
    QComboBox *m_distance;
    QComboBox *m_speed;
    QComboBox *m_label;
    QTableWidget *m_table;
    QLabel *m_status;
    KxPushButton *m_apply;
    QVector<QuickChange> m_changes;
    int m_pending = 0;
    QStringList m_failed;
};
