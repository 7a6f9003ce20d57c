// A camera's part of the login: the vision session ("USRLGI"), the vision objects the vision
// library builds, the keep-alive, and the vision part of logout.
#include "KxDeviceConnector.h"

#include "KxDataStreamTypes.h"
#include "KxDeviceKit.h"
#include "KxSettings.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
KxDeviceConnector::VisionHooks &hooks()
{
    static KxDeviceConnector::VisionHooks h;
    return h;
}
}  // namespace

void KxDeviceConnector::setVisionHooks(const VisionHooks &h)
{
    hooks() = h;
}

void KxDeviceConnector::setVisionObject(const QString &role, QObject *object)
{
    if (QObject *old = m_visionObjects.value(role))
        old->deleteLater();
    if (object)
        object->setParent(this);
    m_visionObjects.insert(role, object);
}

int KxDeviceConnector::visionLogin(VisionState *state)
{
    m_visionError.clear();
    const QByteArray payload = QJsonDocument(QJsonObject{{QStringLiteral("usrName"), m_userName},
                                                         {QStringLiteral("usrPwd"), m_password}})
                                   .toJson(QJsonDocument::Compact);
    QByteArray reply;
    int error = 0;
    const int result = queryCommand(DataProtocol_Vision, QStringLiteral("USRLGI"), reply, payload,
                                    &error, kTimeoutMs);
    if (result != DataResult_Ack) {
        const QString why = QJsonDocument::fromJson(reply).object().value(QStringLiteral("error")).toString();
        m_visionError = QStringLiteral("USRLGI: %1").arg(why.isEmpty() ? QStringLiteral("no answer (%1)").arg(error) : why);
        return Login_CommandInit;
    }
    state->insert(QStringLiteral("login"), reply);
    if (!hooks().prepare) {
        m_visionError = QStringLiteral("vision objects: not available");
        return Login_VisionObjects;
    }
    return hooks().prepare(this, state);
}

int KxDeviceConnector::finishVision(const VisionState &state)
{
    KxSettings *settings = KxSettings::instance();
    settings->setValue(m_deviceId, QStringLiteral("account"), m_userName);
    settings->setValue(m_deviceId, QStringLiteral("password"), m_remember ? m_password : QString());
    const int code = hooks().finish ? hooks().finish(this, state) : int(Login_VisionObjects);
    if (code != Login_Ok) {
        for (const QPointer<QObject> &o : qAsConst(m_visionObjects)) {
            if (o)
                o->deleteLater();
        }
        m_visionObjects.clear();
        return code;
    }
    KxDeviceKit::Instance()->startKeepAlive(m_deviceId, 5000);
    return Login_Ok;
}

void KxDeviceConnector::logoutVision()
{
    qInfo() << "KxDeviceConnector::logout()...vision" << m_deviceId;
    KxDeviceKit::Instance()->stopKeepAlive(m_deviceId);
    sendAsync(this, QStringLiteral("USRLGO"), DataProtocol_Vision, "{}", {});
    for (const QPointer<QObject> &o : qAsConst(m_visionObjects)) {
        if (o)
            o->deleteLater();
    }
    m_visionObjects.clear();
}
