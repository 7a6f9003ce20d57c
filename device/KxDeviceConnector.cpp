#include "KxDeviceConnector.h"

#include "KxConfig.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommand.h"
#include "KxDeviceKit.h"

#include <QDebug>

KxDeviceConnector::KxDeviceConnector(const QString &deviceId, QObject *parent)
    : QObject(parent), m_deviceId(deviceId)
{
    kxRegisterDeviceTypes();
    KxDeviceKit *kit = KxDeviceKit::Instance();
    m_info = kit->deviceInfo(deviceId);
    m_rfid = m_info.value(QStringLiteral("rfid")) == QLatin1String("1");
    connect(kit, &KxDeviceKit::deviceConnectChanged, this, &KxDeviceConnector::OnDeviceConnectChanged);
    connect(kit, &KxDeviceKit::messageReceived, this, &KxDeviceConnector::OnMessageReceived);
    connect(kit, &KxDeviceKit::barcodeReceived, this, &KxDeviceConnector::OnBarcodeReceived);
    m_command = new KxDeviceCommand(this, this);
    m_command->setRfid(m_rfid);
}

KxDeviceConnector::~KxDeviceConnector()
{
    stopResultHandling();
}

void KxDeviceConnector::setDeviceInfo(const KxDeviceInfoMap &info)
{
    m_info = info;
    m_rfid = info.value(QStringLiteral("rfid")) == QLatin1String("1");
    if (m_command)
        m_command->setRfid(m_rfid);
}

KxDeviceCommand *KxDeviceConnector::command() const
{
    return m_command.data();
}

bool KxDeviceConnector::isRemoved() const
{
    return KxDeviceKit::Instance()->isDeviceRemove(m_deviceId);
}

QString KxDeviceConnector::productName() const
{
    const QString name = m_info.value(QStringLiteral("Product Name"));
    return name.isEmpty() ? QStringLiteral("UNKNOW") : name;
}

bool KxDeviceConnector::heldByOtherTool() const
{
    if (m_info.value(QStringLiteral("Is Connected To Configtool")) != QLatin1String("1"))
        return false;
    qWarning() << "KxDeviceConnector::connectDevice()...held by another tool:" << m_deviceId;
    return true;
}

bool KxDeviceConnector::connectDevice(bool flag, bool startResults)
{
    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (isOffLine()) {
        const QString cfg = KxConfig::instance()->barcodeSettingDir() + QStringLiteral("/offLineCfg.xml");
        m_rawStream = false;
        return kit->connectToOffLineDevice(m_deviceId, m_info.value(QStringLiteral("offLine_xml")), cfg);
    }
    if (heldByOtherTool())
        return false;
    const bool ok = kit->connectToDevice(m_deviceId, ConnectType_Reader, flag, DevicePort_Main);
    m_rawStream = !m_info.contains(QStringLiteral("Device Type"));
    if (ok && startResults)
        startResultHandling();
    return ok;
}

bool KxDeviceConnector::connectCommandLink()
{
    if (heldByOtherTool())
        return false;
    const bool ok = KxDeviceKit::Instance()->connectToDevice(m_deviceId, ConnectType_Command, true,
                                                             DevicePort_Main);
    m_rawStream = false;
    return ok;
}

bool KxDeviceConnector::connectWithAddress(const QString &address)
{
    m_rawStream = !address.startsWith(QLatin1String("DataPipe"))
        && !address.startsWith(QLatin1String("HidPos"));
    const bool ok = KxDeviceKit::Instance()->connectToDevice_Cmd(m_deviceId, address);
    if (ok && m_rawStream)
        startResultHandling();
    return ok;
}

void KxDeviceConnector::setState(int state)
{
    m_state = state;
    emit deviceStateChanged(state);
}

int KxDeviceConnector::login(const QString &userName, const QString &password, bool remember)
{
    m_userName = userName;
    m_password = password;
    m_remember = remember;
    qInfo() << "KxDeviceConnector::login()..." << m_deviceId << userName;
    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (!m_connected && !kit->isConnected(m_deviceId)) {
        stopResultHandling();
        kit->disconnectFromDeviceEx(m_deviceId, DevicePort_Main);
        return Login_NotConnected;
    }
    m_connected = true;
    m_loginCancelled = false;
    if (!m_command || !m_command->init(isVision())) {
        disconnectDevice(true);
        return Login_CommandInit;
    }
    VisionState vision;
    const int visionCode = isVision() ? visionLogin(&vision) : int(Login_Ok);
    return finishLogin(true, visionCode, vision);
}

void KxDeviceConnector::loginAsync(const QString &userName, const QString &password,
                                   QObject *context, const std::function<void(int)> &done)
{
    m_userName = userName;
    m_password = password;
    m_remember = false;
    qInfo() << "KxDeviceConnector::loginAsync()..." << m_deviceId << userName;
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    const auto answer = [guard, hadContext, done](int code) {
        if (done && (!hadContext || guard))
            done(code);
    };
    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (m_loggingIn || (!m_connected && !kit->isConnected(m_deviceId))) {
        const int code = m_loggingIn ? Login_CommandInit : Login_NotConnected;
        if (!m_loggingIn) {
            stopResultHandling();
            kit->disconnectFromDeviceEx(m_deviceId, DevicePort_Main);
        }
        QMetaObject::invokeMethod(this, [answer, code] { answer(code); }, Qt::QueuedConnection);
        return;
    }
    m_connected = true;
    m_loginCancelled = false;
    if (!m_command || !m_command->resetForLogin(isVision())) {
        disconnectDevice(true);
        QMetaObject::invokeMethod(this, [answer] { answer(Login_CommandInit); }, Qt::QueuedConnection);
        return;
    }
    m_loggingIn = true;
    QPointer<KxDeviceConnector> self(this);
    KxDeviceConnector *raw = this;
    const bool vision = isVision();
    m_command->asyncProcess(
        [raw, vision](KxDeviceCommandPtr cmd) {
            QMap<QString, QByteArray> r;
            const bool read = cmd && cmd->readForLogin();
            // The camera's session and resources are fetched here too, off the main thread.
            if (read && vision) {
                VisionState state;
                const int code = raw->visionLogin(&state);
                for (auto it = state.cbegin(); it != state.cend(); ++it)
                    r.insert(QStringLiteral("vision:") + it.key(), it.value());
                r.insert(QStringLiteral("visionCode"), QByteArray::number(code));
            }
            r.insert(QStringLiteral("ok"), read ? "1" : "0");
            return r;
        },
        [self, answer](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            if (!self)
                return;
            const bool read = r.value(QStringLiteral("ok")) == "1";
            KxDeviceCommand *cmd = self->command();
            if (read && cmd && !self->m_loginCancelled
                && !cmd->rawValue(QStringLiteral("SOPQAO"), KxDeviceCommand::Capabilities).isEmpty()
                && !cmd->rawValue(QStringLiteral("SOPQDB"), KxDeviceCommand::Capabilities).isEmpty())
                self->setDeviceTimeOut(10000);
            VisionState vision;
            for (auto it = r.cbegin(); it != r.cend(); ++it) {
                if (it.key().startsWith(QLatin1String("vision:")))
                    vision.insert(it.key().mid(7), it.value());
            }
            answer(self->finishLogin(read, r.value(QStringLiteral("visionCode"), "0").toInt(), vision));
        });
}

void KxDeviceConnector::cancelLogin()
{
    if (!m_loggingIn || m_loginCancelled)
        return;
    qInfo() << "KxDeviceConnector::cancelLogin()..." << m_deviceId;
    m_loginCancelled = true;
    // The reading waits on the link: closing it ends every send at once.
    KxDeviceKit::Instance()->disconnectFromDeviceEx(m_deviceId, DevicePort_Main);
}

int KxDeviceConnector::finishLogin(bool read, int visionCode, const VisionState &vision)
{
    m_loggingIn = false;
    if (m_loginCancelled) {
        m_loginCancelled = false;
        disconnectDevice(true);
        return Login_Cancelled;
    }
    if (!read) {
        disconnectDevice(true);
        return Login_CommandInit;
    }
    if (isVision()) {
        const int code = visionCode == Login_Ok ? finishVision(vision) : visionCode;
        if (code != Login_Ok) {
            qWarning() << "KxDeviceConnector::login()...vision login failed:" << m_deviceId << code
                       << m_visionError;
            disconnectDevice(true);
            return code;
        }
    }
    setState(DeviceState_LoggedIn);
    return Login_Ok;
}

bool KxDeviceConnector::logout()
{
    const bool loggedIn = m_state == DeviceState_LoggedIn
        && (m_connected || KxDeviceKit::Instance()->isConnected(m_deviceId));
    if (loggedIn && isVision())
        logoutVision();
    setState(DeviceState_LoggedOut);
    return loggedIn;
}

void KxDeviceConnector::disconnectDevice(bool stopResults)
{
    if (stopResults)
        stopResultHandling();
    KxDeviceKit::Instance()->disconnectFromDeviceEx(m_deviceId, DevicePort_Main);
}

bool KxDeviceConnector::sendMessage(const QByteArray &frame, QByteArray &reply, int *error,
                                    int timeoutMs)
{
    const int code = KxDeviceKit::Instance()->sendBinaryMessage(m_deviceId, frame, reply, timeoutMs);
    if (error)
        *error = code;
    return code == 0;
}

QByteArray KxDeviceConnector::frameFor(int protocol, const QString &code, const QByteArray &extra) const
{
    return KxMakeDataStreamCmd(code.toUtf8() + extra, EDataProtocol(protocol), true);
}

int KxDeviceConnector::queryCommand(int protocol, const QString &code, QByteArray &value,
                                    const QByteArray &extra, int *error, int timeoutMs)
{
    value.clear();
    const QByteArray frame = frameFor(protocol, code, extra);
    QByteArray reply;
    if (frame.isEmpty()) {
        if (error)
            *error = KxSendError::BadRequest;
        return DataResult_Refused;
    }
    if (!sendMessage(frame, reply, error, timeoutMs))
        return DataResult_Refused;
    // The reply names the code without its prefix and query mark.
    QString bare = code;
    if (bare.startsWith(QLatin1Char('@')) || bare.startsWith(QLatin1Char('#')))
        bare.remove(0, 1);
    return KxGetDataStreamResult(reply, bare.left(6), value, nullptr, EDataProtocol(protocol));
}

bool KxDeviceConnector::queryParsed(int protocol, const QString &code, KxDataStreamParser &target,
                                    int *error, int timeoutMs)
{
    const QByteArray frame = frameFor(protocol, code, {});
    QByteArray reply;
    if (frame.isEmpty() || !sendMessage(frame, reply, error, timeoutMs))
        return false;
    target = KxDataStreamParser(reply, DataType_Frame);
    return target.isValid();
}

bool KxDeviceConnector::queryTagMap(int protocol, const QString &code,
                                    QMap<QString, QByteArray> &out, int *error, int timeoutMs)
{
    out.clear();
    KxDataStreamParser parser;
    if (!queryParsed(protocol, code, parser, error, timeoutMs))
        return false;
    out = parser.getTagMap(true);
    return !out.isEmpty();
}

bool KxDeviceConnector::sendAsync(QObject *context, const QString &code, int protocol,
                                  const QByteArray &extra, const AsyncReply &callback)
{
    const QByteArray frame = frameFor(protocol, code, extra);
    if (frame.isEmpty())
        return false;
    QPointer<KxDeviceConnector> self(this);
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    KxDeviceKit::Instance()->sendBinaryMessage(
        m_deviceId, frame,
        [self, guard, hadContext, callback](const QString &, int error, const QByteArray &reply, QObject *) {
            if (!self || (hadContext && !guard) || !callback)
                return;
            callback(error, reply);
        },
        context ? context : this, kTimeoutMs);
    return true;
}

bool KxDeviceConnector::setDeviceTimeOut(int ms)
{
    return KxDeviceKit::Instance()->setTimeOut_7E01(m_deviceId, ms);
}

void KxDeviceConnector::OnDeviceConnectChanged(const QString &device_id, bool connected)
{
    if (device_id != m_deviceId)
        return;
    m_connected = connected;
    emit deviceConnectChanged(connected);
}

void KxDeviceConnector::OnMessageReceived(const QString &device_id, const QByteArray &data)
{
    if (device_id == m_deviceId)
        emit messageReceived(data);
}
