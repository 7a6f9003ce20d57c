#pragma once
// The windows the main page opens for firmware: one reader's upgrade, or the batch. Neither can
// be closed while an upgrade runs (the reader would be left mid-transfer without anyone
// watching it).
#include "KxKitTypes.h"
#include "NDialogEx.h"

#include <QList>
#include <QPair>

class FirmwareUpgradeWidget;
class BatchFirmwareUpgradeWidget;

class FirmwareUpgradeDlg : public NDialogEx
{
    Q_OBJECT
public:
    // One reader; alreadyConnected: this program holds its link.
    FirmwareUpgradeDlg(const QString &deviceId, const KxDeviceInfoMap &info, bool alreadyConnected,
                       QWidget *parent = nullptr);
    // The batch, listing these readers until discovery reports more.
    FirmwareUpgradeDlg(const QList<QPair<QString, KxDeviceInfoMap>> &readers, QWidget *parent = nullptr);

    FirmwareUpgradeWidget *single() const { return m_single; }
    BatchFirmwareUpgradeWidget *batch() const { return m_batch; }

    void reject() override;

private:
    bool running() const;
    FirmwareUpgradeWidget *m_single = nullptr;
    BatchFirmwareUpgradeWidget *m_batch = nullptr;
};
