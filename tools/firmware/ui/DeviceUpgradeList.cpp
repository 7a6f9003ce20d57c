#include "DeviceUpgradeList.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

DeviceUpgradeItem::DeviceUpgradeItem(const QString &deviceId, const KxDeviceInfoMap &info, QWidget *parent)
    : QWidget(parent), m_deviceId(deviceId)
{
    setObjectName(QStringLiteral("DeviceUpgradeItem"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    m_check = new QCheckBox(this);
    m_name = new QLabel(this);
    m_name->setMinimumWidth(90);
    m_address = new QLabel(this);
    m_address->setMinimumWidth(150);
    m_serial = new QLabel(this);
    m_serial->setMinimumWidth(150);
    m_firmware = new QLabel(this);
    m_firmware->setMinimumWidth(130);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(140);
    m_progress->setStyleSheet(QStringLiteral(
        "QProgressBar { background-color: #ebebeb;}QProgressBar::chunk { background-color: #76c7c0;}"));
    m_status = new QLabel(this);
    m_status->setMinimumWidth(160);
    m_status->setWordWrap(true);
    m_btnUpgrade = new KxPushButton(QStringLiteral("#IDS_Upgrade"), KxPushButton::Normal, this);
    m_btnUpgrade->setObjectName(QStringLiteral("btn_item_upgrade"));
    layout->addWidget(m_check);
    layout->addWidget(m_name);
    layout->addWidget(m_address);
    layout->addWidget(m_serial);
    layout->addWidget(m_firmware);
    layout->addWidget(m_progress);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_btnUpgrade);
    connect(m_btnUpgrade, &QPushButton::clicked, this, [this] { emit signal_deviceUpgrade(m_deviceId); });
    setInfo(info);
}

void DeviceUpgradeItem::setInfo(const KxDeviceInfoMap &info)
{
    m_info = info;
    m_name->setText(info.value("Product Name"));
    if (m_deviceId.contains(QLatin1String(":COM")) || info.contains("Port Name"))
        m_address->setText(QStringLiteral("COM:%1").arg(info.value("Port Name", m_deviceId)));
    else
        m_address->setText(QStringLiteral("IP:<font color='green'>%1</font>").arg(info.value("Ip Address")));
    m_serial->setText(kxTr("#IDS_SerialNumber") + QLatin1Char(' ') + info.value("Serial Number"));
    m_firmware->setText(kxTr("#IDS_FirmwareVersion") + QLatin1Char(' ') + info.value("Firmware Version"));
}

bool DeviceUpgradeItem::isChecked() const { return m_check->isChecked(); }
void DeviceUpgradeItem::setChecked(bool on) { m_check->setChecked(on); }
void DeviceUpgradeItem::setProgress(int value) { m_progress->setValue(value); }
int DeviceUpgradeItem::progress() const { return m_progress->value(); }
QString DeviceUpgradeItem::statusText() const { return m_status->text(); }

void DeviceUpgradeItem::setStatus(const QString &text, bool ok)
{
    m_statusOk = ok;
    m_status->setStyleSheet(ok ? QStringLiteral("QLabel{color:green; }") : QStringLiteral("QLabel{color:red;}"));
    m_status->setText(text);
}

void DeviceUpgradeItem::reset()
{
    m_progress->setValue(0);
    m_status->setStyleSheet(QString());
    m_status->clear();
    m_statusOk = false;
}

void DeviceUpgradeItem::setBusy(bool busy)
{
    m_btnUpgrade->setEnabled(!busy);
    m_check->setEnabled(!busy);
}

DeviceUpgradeList::DeviceUpgradeList(QWidget *parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("DeviceUpgradeList"));
    setWidgetResizable(true);
    m_body = new QWidget(this);
    auto *layout = new QVBoxLayout(m_body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addStretch(1);
    setWidget(m_body);
}

DeviceUpgradeItem *DeviceUpgradeList::addOrUpdate(const QString &deviceId, const KxDeviceInfoMap &info)
{
    if (DeviceUpgradeItem *existing = m_items.value(deviceId)) {
        existing->setInfo(info);
        return existing;
    }
    auto *row = new DeviceUpgradeItem(deviceId, info, m_body);
    auto *layout = static_cast<QVBoxLayout *>(m_body->layout());
    layout->insertWidget(layout->count() - 1, row);
    connect(row, &DeviceUpgradeItem::signal_deviceUpgrade, this, &DeviceUpgradeList::slot_deviceUpgrade);
    m_items.insert(deviceId, row);
    return row;
}

void DeviceUpgradeList::remove(const QString &deviceId)
{
    if (DeviceUpgradeItem *row = m_items.take(deviceId))
        row->deleteLater();
}

void DeviceUpgradeList::setAllChecked(bool on)
{
    for (DeviceUpgradeItem *row : qAsConst(m_items))
        row->setChecked(on);
}
