#include "DeviceEditClient.h"

#include "BCodeEditFrame.h"
#include "EditLogic.h"
#include "KxDeviceConnector.h"
#include "KxLoginedDevicesManage.h"
#include "RFIDEditFrame.h"
#include "VisionEditFrame.h"
#include "StatisticsEditFrame.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
std::function<void()> &mainPageHandler()
{
    static std::function<void()> handler;
    return handler;
}
}  // namespace

DeviceEditClient::DeviceEditClient(QWidget *parent) : IMainFramePanel(parent)
{
    setObjectName(QStringLiteral("DeviceEditClient"));
    setStyleSheet(QStringLiteral(".QWidget{background-color: rgb(217, 217, 217);}"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *inner = new QWidget(this);
    auto *h = new QHBoxLayout(inner);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    m_stack = new QStackedWidget(inner);
    h->addWidget(m_stack);
    layout->addWidget(inner);
}

void DeviceEditClient::setShowMainPageHandler(std::function<void()> handler)
{
    mainPageHandler() = std::move(handler);
}

void DeviceEditClient::showMainPage()
{
    if (mainPageHandler())
        mainPageHandler()();
    else
        qInfo() << "DeviceEditClient::showMainPage()... no main window";
}

QPointer<KxDeviceConnector> DeviceEditClient::currentEditedDevice(QString *kind)
{
    if (BCodeEditFrame *f = BCodeEditFrame::live()) {
        if (kind)
            *kind = QStringLiteral("BCodeEdit");
        return f->connector();
    }
    if (VisionEditFrame *f = VisionEditFrame::live()) {
        if (kind)
            *kind = QStringLiteral("VisionEdit");
        return f->connector();
    }
    if (RFIDEditFrame *f = RFIDEditFrame::live()) {
        if (kind)
            *kind = QStringLiteral("RFIDEdit");
        return f->connector();
    }
    return nullptr;
}

bool DeviceEditClient::changeEditMode(int mode, const QString &device_id, const QVariant &params)
{
    qInfo().noquote() << "DeviceEditClient::changeEditMode()..." << mode << device_id << params;
    Q_UNUSED(params);
    const QString typeName = EditLogic::frameTypeName(mode);
    if (m_frame && !typeName.isEmpty() && !m_frame->inherits(typeName.toLatin1().constData())) {
        m_stack->removeWidget(m_frame);
        m_frame->deleteLater();
        m_frame = nullptr;
    }
    if (!m_frame) {
        IPluginWidget *frame = nullptr;
        switch (mode) {
        case DeviceEditMode_QuickSettings:
        case DeviceEditMode_AdvancedSettings:
            frame = new BCodeEditFrame(this);
            break;
        case DeviceEditMode_Vision:
        {
            auto *vision = new VisionEditFrame(this);
            connect(vision, &VisionEditFrame::signal_goHome, this, [] { showMainPage(); });
            frame = vision;
            break;
        }
        case DeviceEditMode_Rfid:
            frame = new RFIDEditFrame(this);
            break;
        case DeviceEditMode_Statistics: {
            auto *statistics = new StatisticsEditFrame(this);
            connect(statistics, &StatisticsEditFrame::signal_goHome, this, [] { showMainPage(); });
            frame = statistics;
            break;
        }
        default:
            break;
        }
        if (frame) {
            m_frame = frame;
            m_stack->addWidget(frame);
            m_stack->setCurrentWidget(frame);
        }
    }
    if (!m_frame)
        return false;
    m_deviceId = device_id;
    const bool ok = m_frame->openDeviceById(
        device_id, mode == DeviceEditMode_AdvancedSettings ? QVariant(1) : QVariant());
    emit changeDevice();
    return ok;
}

bool DeviceEditClient::openDeviceById(const QString &deviceId, const QVariant &param)
{
    return changeEditMode(param.isValid() ? param.toInt() : DeviceEditMode_QuickSettings, deviceId, param);
}

bool DeviceEditClient::checkLeave()
{
    return m_frame ? m_frame->checkLeave() : true;
}

bool DeviceEditClient::checkClose()
{
    return m_frame ? m_frame->checkClose() : true;
}

bool DeviceEditClient::isBusy()
{
    return m_frame ? m_frame->isBusy() : false;
}

bool DeviceEditClient::stopBusy()
{
    return m_frame ? m_frame->stopBusy() : true;
}

bool DeviceEditClient::activate(const QVariant &param)
{
    return m_frame ? m_frame->activate(param) : true;
}

bool DeviceEditClient::deactivate(const QVariant &param)
{
    return m_frame ? m_frame->deactivate(param) : true;
}

bool DeviceEditClient::closing(const QVariant &param)
{
    const bool ok = m_frame ? m_frame->closing(param) : true;
    releaseDevice();
    return ok;
}

void DeviceEditClient::leave(const QVariant &out)
{
    deactivate(out);
    releaseDevice();
}

void DeviceEditClient::releaseDevice()
{
    QPointer<KxDeviceConnector> c = KxLoginedDevicesManage::instance()->device(m_deviceId);
    if (!c)
        return;
    qInfo() << "DeviceEditClient::releaseDevice()..." << m_deviceId;
    c->logout();
    c->disconnectDevice(true);
}

void DeviceEditClient::locate(const QVariant &item)
{
    if (m_frame)
        m_frame->locate(item);
}
