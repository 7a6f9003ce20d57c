#include "FirmwareUpgradeDlg.h"

#include "BatchFirmwareUpgradeWidget.h"
#include "FirmwareUpgradeWidget.h"
#include "KxDeviceKit.h"
#include "KxUiService.h"

#include <QVBoxLayout>

FirmwareUpgradeDlg::FirmwareUpgradeDlg(const QString &deviceId, const KxDeviceInfoMap &info,
                                       bool alreadyConnected, QWidget *parent)
    : NDialogEx(parent)
{
    setObjectName(QStringLiteral("FirmwareUpgradeDlg"));
    setTitle(QStringLiteral("#IDS_FirmwareUpgrade"));
    auto *layout = new QVBoxLayout(contentWidget());
    m_single = new FirmwareUpgradeWidget(deviceId, info, alreadyConnected, contentWidget());
    layout->addWidget(m_single);
    resize(640, 420);
}

FirmwareUpgradeDlg::FirmwareUpgradeDlg(const QList<QPair<QString, KxDeviceInfoMap>> &readers,
                                       QWidget *parent)
    : NDialogEx(parent)
{
    setObjectName(QStringLiteral("BatchFirmwareUpgradeDlg"));
    setTitle(QStringLiteral("#IDS_BatchFirmwareUpgrade"));
    auto *layout = new QVBoxLayout(contentWidget());
    m_batch = new BatchFirmwareUpgradeWidget(contentWidget());
    layout->addWidget(m_batch);
    for (const auto &r : readers)
        m_batch->OnDeviceUpdated(r.first, r.second);
    connect(m_batch, &BatchFirmwareUpgradeWidget::signal_deviceRefresh, this,
            [] { KxDeviceKit::Instance()->refreshDeviceScan(ScanType_All); });
    resize(1040, 520);
}

bool FirmwareUpgradeDlg::running() const
{
    return (m_single && m_single->isRunning()) || (m_batch && m_batch->isRunning());
}

void FirmwareUpgradeDlg::reject()
{
    if (running()) {
        KxUi()->toast(QStringLiteral("#IDS_UpgradeRunning_Tips"), 3000, this);
        return;
    }
    NDialogEx::reject();
}
