#include "KxVisionResource.h"

#include "KxDeviceConnector.h"
#include "KxVisionCall.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSaveFile>

using KxVisionCall::Reply;

KxVisionResource::KxVisionResource(KxDeviceConnector *connector, const QString &resourceDir, QObject *parent)
    : QObject(parent), m_connector(connector), m_dir(resourceDir)
{
}

bool KxVisionResource::applyList(const QJsonObject &reply)
{
    if (!reply.value(QStringLiteral("TopLevelNodes")).isArray())
        return false;
    m_groups.clear();
    for (const QJsonValue &t : reply.value(QStringLiteral("TopLevelNodes")).toArray()) {
        const QJsonObject top = t.toObject();
        VisionResGroup g{top.value("UUID").toString(), top.value("Name").toString(), {}};
        for (const QJsonValue &s : top.value(QStringLiteral("SecondLevelNodes")).toArray()) {
            const QJsonObject o = s.toObject();
            g.entries << VisionResInfo{o.value("UUID").toString(), o.value("Name").toString(),
                                       o.value("Path").toString(), o.value("Operator").toString(),
                                       g.uuid, o.value("Kind").toString(), o.value("ImgType").toString()};
        }
        m_groups << g;
    }
    emit resourcesChanged();
    return true;
}

const VisionResInfo *KxVisionResource::entry(const QString &uuid) const
{
    for (const VisionResGroup &g : m_groups) {
        for (const VisionResInfo &e : g.entries) {
            if (e.uuid == uuid)
                return &e;
        }
    }
    return nullptr;
}

void KxVisionResource::refresh(const Done &done)
{
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("RESLST"), {}, [this, done](const Reply &r) {
        const bool ok = r.ok && applyList(r.json);
        if (done)
            done(ok, ok ? QString() : r.error);
    });
}

void KxVisionResource::load(const QString &kind, const VisionResGroup &group,
                            const VisionResInfo &e, const QByteArray &data, const Done &done)
{
    const QString code = kind == QLatin1String("model") ? QStringLiteral("AMOLOD")
        : kind == QLatin1String("ocr") ? QStringLiteral("OSTLOD") : QStringLiteral("BMILOD");
    const QString infoKey = kind == QLatin1String("model") ? QStringLiteral("ModelJsonInfo")
        : kind == QLatin1String("ocr") ? QStringLiteral("OCRJsonInfo") : QStringLiteral("ImgJsonInfo");
    const QJsonObject target{{"TopLevelNodes-UUID", group.uuid}, {"TopLevelNodes-Name", group.name},
                             {"SecondLevelNodes-UUID", e.uuid}, {"SecondLevelNodes-Name", e.name},
                             {"Path", e.path}, {"Operator", e.op}};
    QJsonObject payload = target;
    payload.insert(infoKey, target);
    payload.insert(QStringLiteral("data"), QString::fromLatin1(data.toBase64()));
    if (code == QLatin1String("BMILOD"))
        payload.insert(QStringLiteral("ImgType"), e.imgType.isEmpty() ? QStringLiteral("BMP") : e.imgType);
    KxVisionCall::callAsync(m_connector, this, code, payload, [this, done, e](const Reply &r) {
        if (!r.ok) {
            if (done)
                done(false, r.error);
            return;
        }
        // A replaced template must not be shown from the old cache.
        for (bool small : {true, false})
            QFile::remove(cachePath(e.uuid, e.imgType.isEmpty() ? QStringLiteral("BMP") : e.imgType, small));
        refresh(done);
    });
}

void KxVisionResource::removeTemplate(const QString &uuid, const Done &done)
{
    const VisionResInfo *e = entry(uuid);
    const QString type = e ? e->imgType : QString();
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("BMIDEL"), {{"SecondLevelNodes-UUID", uuid}},
                            [this, done, uuid, type](const Reply &r) {
        if (!r.ok) {
            if (done)
                done(false, r.error);
            return;
        }
        for (bool small : {true, false})
            QFile::remove(cachePath(uuid, type, small));
        refresh(done);
    });
}

QString KxVisionResource::cachePath(const QString &uuid, const QString &imgType, bool thumbnail) const
{
    const QString type = thumbnail ? QStringLiteral("png") : imgType.toLower();
    return QDir(m_dir).filePath(QStringLiteral("templates/%1.%2")
                                    .arg(thumbnail ? uuid + QStringLiteral("@small") : uuid, type));
}

void KxVisionResource::templateFile(const QString &uuid, bool thumbnail,
                                    const std::function<void(const QString &)> &done)
{
    const VisionResInfo *e = entry(uuid);
    const QString path = cachePath(uuid, e ? e->imgType : QStringLiteral("bmp"), thumbnail);
    if (QFile::exists(path)) {
        QMetaObject::invokeMethod(this, [done, path] { done(path); }, Qt::QueuedConnection);
        return;
    }
    // Thumbnails and originals wait the 60000 ms of every vision call. An original is one
    // image of the sensor at most (a few MB), which a camera sends in seconds; a camera that has
    // not answered in a minute is not going to, and five minutes of a template that never shows
    // would look like a hang.
    const QString code = thumbnail ? QStringLiteral("BMIGTH") : QStringLiteral("BMIGOR");
    KxVisionCall::callAsync(m_connector, this, code, {{"SecondLevelNodes-UUID", uuid}},
                            [done, path](const Reply &r) {
        const QByteArray data = QByteArray::fromBase64(r.json.value(QStringLiteral("data")).toString().toLatin1());
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile f(path);
        const bool ok = r.ok && !data.isEmpty() && f.open(QIODevice::WriteOnly)
            && f.write(data) == data.size() && f.commit();
        done(ok ? path : QString());
    });
}
