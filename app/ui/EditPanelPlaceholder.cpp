#include "EditPanelPlaceholder.h"

#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxStyledButtons.h"
#include "MainFrame.h"

#include <QDebug>
#include <QLabel>
#include <QVBoxLayout>

EditPanelPlaceholder::EditPanelPlaceholder(QWidget *parent) : IMainFramePanel(parent)
{
    setObjectName(QStringLiteral("DeviceEditPlaceholder"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#DeviceEditPlaceholder{background-color:#f4f6fa;}"
                                 "#labEditTitle{font-size:18px;font-weight:bold;color:#0c3484;}"
                                 "#labEditText{font-size:13px;color:#5a6372;}"));
    auto *layout = new QVBoxLayout(this);
    layout->addStretch(2);
    m_labTitle = new QLabel(this);
    m_labTitle->setObjectName(QStringLiteral("labEditTitle"));
    m_labTitle->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_labTitle);
    m_labText = new QLabel(kxTr(QStringLiteral("#IDS_EditPage_NotAvailable")), this);
    m_labText->setObjectName(QStringLiteral("labEditText"));
    m_labText->setAlignment(Qt::AlignCenter);
    m_labText->setWordWrap(true);
    layout->addWidget(m_labText);
    layout->addSpacing(16);
    auto *back = new KxPushButton(QStringLiteral("#IDS_MainPage"), KxPushButton::Primary, this);
    back->setObjectName(QStringLiteral("Id_Btn_MainPage"));
    connect(back, &QPushButton::clicked, this, [] {
        if (MainFrame *frame = MainFrame::instance())
            frame->showPanel(MainFramePanel_Main);
    });
    layout->addWidget(back, 0, Qt::AlignCenter);
    layout->addStretch(3);
}

QString EditPanelPlaceholder::modeKey(int mode)
{
    switch (mode) {
    case DeviceEditMode_QuickSettings:
        return QStringLiteral("#IDS_QuickSettings");
    case DeviceEditMode_AdvancedSettings:
        return QStringLiteral("#IDS_AdvancedSettings");
    case DeviceEditMode_Vision:
        return QStringLiteral("#IDS_VisionSettings");
    case DeviceEditMode_Rfid:
        return QStringLiteral("#IDS_RfidSettings");
    case DeviceEditMode_Statistics:
        return QStringLiteral("#ID_STATISTICS");
    default:
        return QString();
    }
}

bool EditPanelPlaceholder::openDeviceById(const QString &device_id, const QVariant &mode)
{
    m_deviceId = device_id;
    m_mode = mode.isValid() ? mode.toInt() : DeviceEditMode_QuickSettings;
    return m_mode == DeviceEditMode_Statistics
        || KxLoginedDevicesManage::instance()->device(device_id);
}

void EditPanelPlaceholder::enter(const QVariant &param)
{
    ++m_enterCount;
    m_statisticsDevices = param.toStringList();
    QString who = m_deviceId;
    if (QPointer<KxDeviceConnector> c = KxLoginedDevicesManage::instance()->device(m_deviceId))
        who = c->productName() + QStringLiteral("  ·  ") + m_deviceId;
    if (m_mode == DeviceEditMode_Statistics)
        who = m_statisticsDevices.join(QStringLiteral(", "));
    m_labTitle->setText(kxTr(modeKey(m_mode)) + QStringLiteral(" — ") + who);
}

void EditPanelPlaceholder::leave(const QVariant &)
{
    releaseDevice();
}

bool EditPanelPlaceholder::closing(const QVariant &)
{
    releaseDevice();
    return true;
}

void EditPanelPlaceholder::releaseDevice()
{
    QPointer<KxDeviceConnector> c = KxLoginedDevicesManage::instance()->device(m_deviceId);
    if (!c)
        return;
    qInfo() << "EditPanelPlaceholder::releaseDevice()..." << m_deviceId;
    c->logout();
    c->disconnectDevice(true);
}
