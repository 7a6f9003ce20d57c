#include "BatchFirmwareUpgradeWidget.h"

#include "FirmwareUpgradeWidget.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

BatchFirmwareUpgradeWidget::BatchFirmwareUpgradeWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BatchFirmwareUpgradeWidget"));
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setReadOnly(true);
    m_btnFile = new KxPushButton(QStringLiteral("#IDS_SelectFile"), KxPushButton::Normal, this);
    m_btnFile->setObjectName(QStringLiteral("btn_file"));
    m_btnUpgrade = new KxPushButton(QStringLiteral("#IDS_UpgradeFirmware"), KxPushButton::Primary, this);
    m_btnUpgrade->setObjectName(QStringLiteral("btn_upgrade"));
    row->addWidget(m_pathEdit, 1);
    row->addWidget(m_btnFile);
    row->addWidget(m_btnUpgrade);
    layout->addLayout(row);
    auto *row2 = new QHBoxLayout;
    m_selectAll = new QCheckBox(kxTr("#IDS_SelectAll"), this);
    m_matchDevice = new QCheckBox(kxTr("#IDS_MatchDevice"), this);
    m_matchDevice->setChecked(true);
    m_btnRefresh = new KxPushButton(QStringLiteral("#IDS_Refresh"), KxPushButton::Normal, this);
    m_btnRefresh->setObjectName(QStringLiteral("btn_Refresh"));
    row2->addWidget(m_selectAll);
    row2->addWidget(m_matchDevice);
    row2->addStretch(1);
    row2->addWidget(m_btnRefresh);
    layout->addLayout(row2);
    m_list = new DeviceUpgradeList(this);
    m_list->setMinimumHeight(240);
    layout->addWidget(m_list, 1);
    m_timer = new QTimer(this);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &BatchFirmwareUpgradeWidget::poll);
    connect(m_btnFile, &QPushButton::clicked, this, &BatchFirmwareUpgradeWidget::onBtnClickedSelectFile);
    connect(m_btnUpgrade, &QPushButton::clicked, this, &BatchFirmwareUpgradeWidget::onBtnClickedUpgrade);
    connect(m_btnRefresh, &QPushButton::clicked, this, &BatchFirmwareUpgradeWidget::onBtnClickedRefresh);
    connect(m_selectAll, &QCheckBox::clicked, this, &BatchFirmwareUpgradeWidget::onBtnClickedSelectAll);
    connect(m_list, &DeviceUpgradeList::signal_deviceUpgrade, this,
            &BatchFirmwareUpgradeWidget::slot_deviceUpgrade);
    connect(this, &BatchFirmwareUpgradeWidget::signal_UpgradeEnd, this,
            &BatchFirmwareUpgradeWidget::slot_UpgradeEnd, Qt::QueuedConnection);
    KxDeviceKit *kit = KxDeviceKit::Instance();
    connect(kit, &KxDeviceKit::deviceUpdated, this, &BatchFirmwareUpgradeWidget::OnDeviceUpdated);
    // Readers restart during an upgrade: they must not be reported gone meanwhile.
    kit->pauseBroadcastDeviceCheckOffLine(true);
}

BatchFirmwareUpgradeWidget::~BatchFirmwareUpgradeWidget()
{
    for (const Record &r : qAsConst(m_running))
        r.cancel->store(true);
    KxDeviceKit::Instance()->pauseBroadcastDeviceCheckOffLine(false);
}

void BatchFirmwareUpgradeWidget::setFilePath(const QString &path)
{
    m_path = path;
    m_pathEdit->setText(QDir::toNativeSeparators(path));
}

void BatchFirmwareUpgradeWidget::onBtnClickedSelectFile()
{
    const QString dir = KxSettings::instance()->value("firmware_update", "batch_dir").toString();
    const QString file = KxUi()->getOpenFileName(QStringLiteral("#IDS_SelectFirmwareFile"), dir,
                                                 FirmwareUpgradeWidget::fileFilter(), this);
    if (file.isEmpty() || file.size() > 512)
        return;
    KxSettings::instance()->setValue("firmware_update", "batch_dir", QFileInfo(file).absolutePath());
    setFilePath(file);
}

void BatchFirmwareUpgradeWidget::onBtnClickedRefresh()
{
    emit signal_deviceRefresh();
}

void BatchFirmwareUpgradeWidget::onBtnClickedSelectAll()
{
    m_list->setAllChecked(m_selectAll->isChecked());
}

void BatchFirmwareUpgradeWidget::OnDeviceUpdated(const QString &device_id,
                                                 const QMap<QString, QString> &device_info)
{
    if (m_running.contains(device_id))
        return;  // our own link makes it look held; keep its row as it is
    if (device_info.value("Is Connected To Configtool") == QLatin1String("1")) {
        m_list->remove(device_id);  // another tool holds it
        return;
    }
    m_list->addOrUpdate(device_id, device_info);
}

bool BatchFirmwareUpgradeWidget::checkFile()
{
    m_ifp = false;
    if (m_path.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_FileIsEmpty_Tips"), 3000, this);
        return false;
    }
    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (kit->isIfp(m_path)) {
        if (!kit->extractIfpFile(m_path)) {
            KxUi()->toast(QStringLiteral("#IDS_InvalidFirmwareFile"), 3000, this);
            return false;
        }
        m_ifp = true;
    }
    if (!FirmwareUpgrade::packageInfo(m_path, nullptr, nullptr)) {
        KxUi()->toast(QStringLiteral("#IDS_InvalidFirmwareFile"), 3000, this);
        return false;
    }
    return true;
}

void BatchFirmwareUpgradeWidget::onBtnClickedUpgrade()
{
    QList<DeviceUpgradeItem *> selected;
    for (DeviceUpgradeItem *item : m_list->items())
        if (item->isChecked() && !m_running.contains(item->deviceId()))
            selected << item;
    if (m_path.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_FileIsEmpty_Tips"), 3000, this);
        return;
    }
    if (selected.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_SelectUpgradeDevice_Tips"), 3000, this);
        return;
    }
    if (!checkFile())
        return;
    for (DeviceUpgradeItem *item : selected)
        startReader(item);
}

void BatchFirmwareUpgradeWidget::slot_deviceUpgrade(const QString &device_id)
{
    DeviceUpgradeItem *item = m_list->item(device_id);
    if (!item || m_running.contains(device_id) || !checkFile())
        return;
    startReader(item);
}

void BatchFirmwareUpgradeWidget::startReader(DeviceUpgradeItem *item)
{
    Record r;
    r.item = item;
    r.deviceId = item->deviceId();
    r.checkModel = m_matchDevice->isChecked();
    r.cancel = std::make_shared<std::atomic_bool>(false);
    item->reset();
    item->setBusy(true);
    m_running.insert(r.deviceId, r);
    setButtonsEnabled(false);
    m_timer->start();

    FirmwareJob job;
    job.deviceId = r.deviceId;
    job.info = item->info();
    job.path = m_path;
    job.ifp = m_ifp;
    job.checkModel = r.checkModel;
    job.strict = r.checkModel;
    job.verifyTimeoutMs = m_verifyTimeoutMs;
    qInfo().noquote() << "BatchFirmwareUpgradeWidget::startReader()..." << r.deviceId << m_path;
    const auto cancel = r.cancel;
    QPointer<BatchFirmwareUpgradeWidget> guard(this);
    QThreadPool *pool = QThreadPool::globalInstance();
    // One worker per reader: the pool must not make readers wait for each other.
    pool->setMaxThreadCount(qMax(pool->maxThreadCount(), pool->activeThreadCount() + 2));
    pool->start([job, cancel, guard] {
        const FirmwareOutcome out = FirmwareUpgrade::run(job, cancel);
        QMetaObject::invokeMethod(qApp, [guard, job, out] {
            if (!guard)
                return;
            if (guard->m_running.contains(job.deviceId))
                guard->m_running[job.deviceId].version = out.version;
            emit guard->signal_UpgradeEnd(job.deviceId, out.ok, out.error);
        }, Qt::QueuedConnection);
    });
}

void BatchFirmwareUpgradeWidget::poll()
{
    KxDeviceKit *kit = KxDeviceKit::Instance();
    for (auto it = m_running.begin(); it != m_running.end(); ++it) {
        Record &r = it.value();
        int first = 0, block = 0, step = 0, progress = 0;
        if (!kit->getUpdateFirmwareState(r.deviceId, first, block, step, progress)) {
            r.item->setProgress(r.progress);
            continue;
        }
        r.progress = FirmwareUpgradeWidget::shownProgress(progress);
        r.item->setProgress(r.progress);
        if (first != r.lastFirst || step != r.lastStep) {
            r.item->setStatus(kxTr(FirmwareUpgrade::blockKey(block)) + QLatin1Char(' ')
                                  + kxTr(FirmwareUpgrade::stepKey(step)),
                              true);
            r.lastFirst = first;
            r.lastStep = step;
            r.lastBlock = block;
        }
    }
}

void BatchFirmwareUpgradeWidget::slot_UpgradeEnd(const QString &device_id, bool bRet, int nError)
{
    if (!m_running.contains(device_id))
        return;
    const Record r = m_running.take(device_id);
    r.item->setBusy(false);
    if (bRet) {
        r.item->setProgress(1000);
        r.item->setStatus(kxTr("#IDS_DeviceUpgrade_Success") + QStringLiteral(", ")
                              + kxTr("#IDS_UpgradeVerified").arg(r.version),
                          true);
        KxDeviceInfoMap info = r.item->info();
        info.insert("Firmware Version", r.version);
        r.item->setInfo(info);
    } else {
        // The same reader reached through another interface is still being upgraded: that is
        // why this one failed.
        const QString serial = r.item->info().value("Serial Number");
        bool conflict = false;
        for (const Record &other : qAsConst(m_running))
            conflict = conflict || (!serial.isEmpty() && other.item->info().value("Serial Number") == serial);
        QString why = conflict ? kxTr("#IDS_DeviceHasDiffUpgradeInterfaces")
                               : kxTr(FirmwareUpgrade::errorKey(nError));
        if (nError == FirmwareUpgrade::kWrongVersion)
            why += QStringLiteral(" (") + r.version + QLatin1Char(')');
        r.item->setStatus(kxTr("#IDS_DeviceUpgrade_Fail") + QLatin1Char(' ') + why, false);
    }
    if (m_running.isEmpty()) {
        m_timer->stop();
        setButtonsEnabled(true);
    }
}

void BatchFirmwareUpgradeWidget::setButtonsEnabled(bool on)
{
    m_btnFile->setEnabled(on);
    m_btnUpgrade->setEnabled(on);
    m_btnRefresh->setEnabled(on);
}
