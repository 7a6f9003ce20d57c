#include "AddDeviceDlg.h"

#include "DeviceDlgStyle.h"
#include "DeviceListLogic.h"
#include "KxAddressPolicy.h"
#include "KxDeviceKit.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QApplication>
#include <QDebug>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

AddDeviceDlg::AddDeviceDlg(QWidget *parent) : NDialogEx(parent)
{
    setObjectName(QStringLiteral("AddDeviceDlg"));
    setTitle(QStringLiteral("#IDS_AddDevice"));
    m_ip = DeviceDlgStyle::formEdit("editIp", contentWidget());
    m_ip->setMaxLength(15);
    m_ip->setPlaceholderText(QStringLiteral("127.0.0.2"));
    m_port = DeviceDlgStyle::formEdit("editPort", contentWidget());
    m_port->setValidator(new QRegularExpressionValidator(
        QRegularExpression(DeviceListLogic::portPattern()), m_port));
    m_port->setText(QString::number(KxAddressPolicy::kDefaultCommandPort));
    QFormLayout *form = DeviceDlgStyle::formLayout(contentWidget());
    form->addRow(DeviceDlgStyle::formLabel(QStringLiteral("#IDS_IPAddress"), contentWidget()),
                 m_ip);
    form->addRow(DeviceDlgStyle::formLabel(QStringLiteral("#IDS_Port"), contentWidget()), m_port);

    m_btnOk = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    m_btnOk->setObjectName(QStringLiteral("btnOk"));
    m_btnOk->setDefault(true);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(m_btnOk, &QPushButton::clicked, this, &AddDeviceDlg::onOkClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_add = [](const QString &ip, int port) {
        return KxDeviceKit::Instance()->addDevice(ip, port);
    };
    m_ip->setFocus();
    fitToWidth(380);
}

void AddDeviceDlg::onOkClicked()
{
    const QString ip = m_ip->text().trimmed();
    const QString port = m_port->text().trimmed();
    if (!DeviceListLogic::isValidIPv4(ip)) {
        KxUi()->toast(QStringLiteral("#IDS_InvalidIP_Tips"), 3000, this);
        return;
    }
    if (!DeviceListLogic::isAcceptedPort(port)) {
        KxUi()->toast(QStringLiteral("#IDS_InvalidPort_Tips"), 3000, this);
        return;
    }
    m_btnOk->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = m_add ? m_add(ip, port.toInt()) : -1;
    QApplication::restoreOverrideCursor();
    m_btnOk->setEnabled(true);
    qDebug() << "AddDeviceDlg::onOkClicked()..." << ip << port << "result=" << result;
    if (result == -2) {
        KxUi()->toast(QStringLiteral("#IDS_DeviceExist_Tips"), 3000, this);
        return;
    }
    if (result == -1) {
        KxUi()->toast(QStringLiteral("#IDS_DeviceUnconnect"), 3000, this);
        return;
    }
    accept();
}
