#pragma once
// The selected reader's details on the main page: its card, the connect switch and the rows of
// its product information ("PRNQRY"). A context menu on a value copies it or all rows.
//
// The main page calls setDevice() when a reader is selected, connects signal_connectChanged to
// its OnDeviceConnectChanged and reports the link state back with setConnected().
#include "KxKitTypes.h"

#include <QList>
#include <QPair>
#include <QWidget>

class DeviceCardWidget;
class KxToggleSwitch;
class QGridLayout;
class QLabel;

class DeviceInfoWidget : public QWidget
{
    Q_OBJECT
public:
    explicit DeviceInfoWidget(QWidget *parent = nullptr);

    void setDevice(const QString &deviceId, const KxDeviceInfoMap &info);
    void clear();
    QString deviceId() const { return m_deviceId; }

    // Shows the link state without emitting signal_connectChanged.
    void setConnected(bool connected);
    bool isConnectedShown() const;
    // The switch is off for readers that cannot be connected from here (offline descriptions).
    void setConnectEnabled(bool enabled);

    // The rows shown: name and value, in order.
    QList<QPair<QString, QString>> rows() const { return m_rows; }
    int visibleRowCount() const;
    // What the context menu puts on the clipboard.
    void copyValue(int row) const;
    void copyAll() const;
    QString allRowsText() const;

    // Names as shown: the common ones in the user's language, the others as the reader sent them.
    QString shownName(int row) const;
    // Places the page's action buttons between the connect switch and the product rows, so the
    // actions sit next to the reader they act on.
    void setActionsWidget(QWidget *actions);

    DeviceCardWidget *card() const { return m_card; }
    KxToggleSwitch *connectSwitch() const { return m_switch; }

signals:
    void signal_connectChanged(bool connected);

private:
    void showRows();
    void showMenu(int row, const QPoint &globalPos);

    QString m_deviceId;
    DeviceCardWidget *m_card;
    KxToggleSwitch *m_switch;
    QLabel *m_labConnect;
    QLabel *m_labRowsTitle;
    QWidget *m_rowsBox;
    QGridLayout *m_grid;
    QList<QPair<QLabel *, QLabel *>> m_rowLabels;
    QList<QPair<QString, QString>> m_rows;
};
