#pragma once
// Chooses the readers of a statistics run: every listed reader with a check box.
#include "KxKitTypes.h"
#include "NDialogEx.h"

class KxPushButton;
class QListWidget;

class StatisticsSelectDlg : public NDialogEx
{
    Q_OBJECT
public:
    // Each map carries "Device Id" beside the reader's information.
    explicit StatisticsSelectDlg(const QList<KxDeviceInfoMap> &readers, QWidget *parent = nullptr);

    QStringList selectedDeviceIds() const;
    QListWidget *list() const { return m_list; }
    KxPushButton *okButton() const { return m_btnOk; }
    // The line shown for a reader: alias or product name, then its serial number.
    static QString entryText(const KxDeviceInfoMap &info);

private:
    void updateOk();
    QListWidget *m_list;
    KxPushButton *m_btnOk;
};
