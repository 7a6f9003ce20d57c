#include "DeviceAliasEditDlg.h"

#include "DeviceDlgStyle.h"
#include "KxDeviceAlias.h"
#include "KxDeviceKit.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QDebug>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

DeviceAliasEditDlg::DeviceAliasEditDlg(const QString &deviceId, const KxDeviceInfoMap &info,
                                       QWidget *parent)
    : NDialogEx(parent), m_deviceId(deviceId), m_info(info)
{
    setObjectName(QStringLiteral("DeviceAliasEditDlg"));
    setTitle(QStringLiteral("#IDS_EditAlias"));
    QWidget *c = contentWidget();
    m_edit = DeviceDlgStyle::formEdit("editAlias", c);
    m_edit->setMaxLength(kMaxAliasLength);
    m_edit->setText(info.value(QStringLiteral("L Alias")));
    m_edit->selectAll();
    QFormLayout *form = DeviceDlgStyle::formLayout(c);
    form->addRow(DeviceDlgStyle::formLabel(QStringLiteral("#IDS_DeviceAlias"), c), m_edit);

    m_btnOk = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    m_btnOk->setObjectName(QStringLiteral("btnOk"));
    m_btnOk->setDefault(true);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(m_btnOk, &QPushButton::clicked, this, &DeviceAliasEditDlg::onOkClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &DeviceAliasEditDlg::onTimeout);
    connect(KxDeviceKit::Instance(), &KxDeviceKit::deviceAliasChanged, this,
            &DeviceAliasEditDlg::onAliasChanged);
    m_sender = [](const KxDeviceInfoMap &map) {
        return KxDeviceKit::Instance()->changeDeviceAlias(map);
    };
    m_edit->setFocus();
    fitToWidth(380);
}

DeviceAliasEditDlg::~DeviceAliasEditDlg()
{
    if (m_timer->isActive())
        KxUi()->closeWaiting();
}

QString DeviceAliasEditDlg::alias() const
{
    return m_edit->text().trimmed();
}

bool DeviceAliasEditDlg::isReaderHeld() const
{
    return m_info.contains(QStringLiteral("P Alias"));
}

bool DeviceAliasEditDlg::isWaiting() const
{
    return m_timer->isActive();
}

void DeviceAliasEditDlg::onOkClicked()
{
    if (isWaiting())
        return;
    const QString text = alias();
    const QString sn = m_info.value(QStringLiteral("Serial Number"));
    qDebug() << "DeviceAliasEditDlg::onOkClicked()..." << m_deviceId << sn << text;
    if (isReaderHeld()) {
        KxDeviceInfoMap map = m_info;
        map.insert(QStringLiteral("L Alias"), text);
        if (!m_sender || !m_sender(map)) {
            KxUi()->toast(QStringLiteral("#IDS_SetNetworkFail_Tips"), 3000, this);
            return;
        }
        m_timer->start(m_timeoutMs);
        setInputsEnabled(false);
        KxUi()->showWaiting(QStringLiteral("#IDS_DeviceAliasChanging"), QString(), {}, this);
        return;
    }
    if (sn.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_AliasSave_Fail"), 3000, this);
        return;
    }
    KxDeviceAlias *aliases = KxDeviceAlias::instance();
    const QString owner = text.isEmpty() ? QString() : aliases->keyOfAlias(text);
    if (!owner.isEmpty() && owner != sn) {
        KxUi()->toast(QStringLiteral("#IDS_AliasIsExist_Tips"), 3000, this);
        return;
    }
    if (!aliases->setAlias(sn, text)) {
        // Kept for this session only; the user should know it will not survive a restart.
        KxUi()->toast(QStringLiteral("#IDS_AliasSave_Fail"), 3000, this);
    }
    accept();
}

void DeviceAliasEditDlg::onAliasChanged(const QString &sn, const QString &mac, int result)
{
    if (!isWaiting())
        return;
    if (sn != m_info.value(QStringLiteral("Serial Number")) ||
        mac.compare(m_info.value(QStringLiteral("MAC Address")), Qt::CaseInsensitive) != 0)
        return;
    qDebug() << "DeviceAliasEditDlg::onAliasChanged()..." << sn << mac << "result=" << result;
    finishWaiting();
    if (result == 1)
        accept();
    else
        KxUi()->toast(QStringLiteral("#IDS_SetNetworkFail_Tips"), 3000, this);
}

void DeviceAliasEditDlg::onTimeout()
{
    qWarning() << "DeviceAliasEditDlg::onTimeout()..." << m_deviceId;
    finishWaiting();
    KxUi()->toast(QStringLiteral("#IDS_SetNetworkFail_Tips"), 3000, this);
}

void DeviceAliasEditDlg::finishWaiting()
{
    m_timer->stop();
    KxUi()->closeWaiting();
    setInputsEnabled(true);
}

void DeviceAliasEditDlg::setInputsEnabled(bool enabled)
{
    m_edit->setEnabled(enabled);
    m_btnOk->setEnabled(enabled);
}
