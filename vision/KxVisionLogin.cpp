#include "KxVisionLogin.h"

#include "KxDeviceConnector.h"
#include "KxDeviceResource.h"
#include "KxVisionCall.h"
#include "KxVisionResource.h"
#include "KxVisionSolution.h"

#include <QDebug>
#include <QJsonDocument>

namespace {
QString resIdOf(const KxDeviceConnector *c)
{
    const QString id = c->deviceInfo().value(QStringLiteral("resId"));
    if (!id.isEmpty())
        return id;
    qWarning() << "KxDeviceResource::init(), resId isEmpty!" << c->deviceId();
    return c->productName();
}

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

int prepare(KxDeviceConnector *c, KxDeviceConnector::VisionState *state)
{
    for (const char *code : {"SOLLST", "SOLCUR", "RESLST"}) {
        const KxVisionCall::Reply r = KxVisionCall::call(c, QLatin1String(code));
        if (!r.ok) {
            c->setVisionError(r.error);
            return KxDeviceConnector::Login_VisionObjects;
        }
        state->insert(QLatin1String(code), compact(r.json));
    }
    QString error;
    if (!KxDeviceResource::fetch(c, resIdOf(c), &error)) {
        c->setVisionError(QStringLiteral("RESDAT: ") + error);
        return KxDeviceConnector::Login_Resources;
    }
    return KxDeviceConnector::Login_Ok;
}

QJsonObject object(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

int finish(KxDeviceConnector *c, const KxDeviceConnector::VisionState &state)
{
    auto *solution = new KxVisionSolution(c);
    solution->setLimits(object(state.value(QStringLiteral("login"))));
    auto *deviceResource = new KxDeviceResource(resIdOf(c));
    auto *resource = new KxVisionResource(c, deviceResource->dir());
    const bool objects = solution->applyList(object(state.value(QStringLiteral("SOLLST"))))
        && resource->applyList(object(state.value(QStringLiteral("RESLST"))));
    const QJsonObject current = object(state.value(QStringLiteral("SOLCUR")));
    solution->setCurrentId(current.value(QStringLiteral("solId")).toString());
    solution->setMode(current.value(QStringLiteral("mode")).toString());
    c->setVisionObject(QStringLiteral("solution"), solution);
    c->setVisionObject(QStringLiteral("resource"), resource);
    c->setVisionObject(QStringLiteral("device"), deviceResource);
    if (!objects) {
        c->setVisionError(QStringLiteral("vision objects: unreadable solution or resource list"));
        return KxDeviceConnector::Login_VisionObjects;
    }
    if (!deviceResource->init()) {
        c->setVisionError(QStringLiteral("resources: no tool kit in %1").arg(deviceResource->dir()));
        return KxDeviceConnector::Login_Resources;
    }
    return KxDeviceConnector::Login_Ok;
}
}  // namespace

void KxVisionLogin::install()
{
    KxDeviceConnector::setVisionHooks({prepare, finish});
}

KxVisionSolution *KxVisionLogin::solution(const KxDeviceConnector *c)
{
    return c ? qobject_cast<KxVisionSolution *>(c->visionObject(QStringLiteral("solution"))) : nullptr;
}

KxVisionResource *KxVisionLogin::resource(const KxDeviceConnector *c)
{
    return c ? qobject_cast<KxVisionResource *>(c->visionObject(QStringLiteral("resource"))) : nullptr;
}

KxDeviceResource *KxVisionLogin::deviceResource(const KxDeviceConnector *c)
{
    return c ? qobject_cast<KxDeviceResource *>(c->visionObject(QStringLiteral("device"))) : nullptr;
}
