#include "VvStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

bool VvStore::load(QString *error)
{
    if (m_path.isEmpty() || !QFile::exists(m_path))
        return true;
    QFile f(m_path);
    QJsonParseError pe;
    const QJsonDocument doc = f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll(), &pe)
                                                          : QJsonDocument();
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("cannot read vision store %1").arg(m_path);
        m_writable = false;
        return false;
    }
    const QJsonObject o = doc.object();
    current = o.value(QStringLiteral("current")).toString();
    nextId = qMax(1, o.value(QStringLiteral("nextId")).toInt(1));
    for (const QJsonValue &v : o.value(QStringLiteral("solutions")).toArray()) {
        const QJsonObject s = v.toObject();
        solutions << VvSolution{s.value("solId").toString(), s.value("solName").toString(),
                                s.value("createTime").toString(), s.value("modifyTime").toString(),
                                s.value("solData").toString().toUtf8()};
    }
    for (const QJsonValue &v : o.value(QStringLiteral("resources")).toArray()) {
        const QJsonObject g = v.toObject();
        VvResourceGroup group{g.value("uuid").toString(), g.value("name").toString(), {}};
        for (const QJsonValue &e : g.value(QStringLiteral("entries")).toArray()) {
            const QJsonObject x = e.toObject();
            group.entries << VvResourceEntry{x.value("uuid").toString(), x.value("name").toString(),
                                             x.value("path").toString(), x.value("op").toString(),
                                             x.value("kind").toString(), x.value("imgType").toString(),
                                             QByteArray::fromBase64(x.value("data").toString().toLatin1())};
        }
        resources << group;
    }
    return true;
}

QJsonObject VvStore::toJson() const
{
    QJsonArray sols;
    for (const VvSolution &s : solutions)
        sols << QJsonObject{{"solId", s.id}, {"solName", s.name}, {"createTime", s.created},
                            {"modifyTime", s.modified}, {"solData", QString::fromUtf8(s.document)}};
    QJsonArray groups;
    for (const VvResourceGroup &g : resources) {
        QJsonArray entries;
        for (const VvResourceEntry &e : g.entries)
            entries << QJsonObject{{"uuid", e.uuid}, {"name", e.name}, {"path", e.path}, {"op", e.op},
                                   {"kind", e.kind}, {"imgType", e.imgType},
                                   {"data", QString::fromLatin1(e.data.toBase64())}};
        groups << QJsonObject{{"uuid", g.uuid}, {"name", g.name}, {"entries", entries}};
    }
    return QJsonObject{{"current", current}, {"nextId", nextId}, {"solutions", sols},
                       {"resources", groups}};
}

bool VvStore::save() const
{
    if (m_path.isEmpty())
        return true;
    if (!m_writable)
        return false;
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(toJson()).toJson(QJsonDocument::Compact));
    return f.commit();
}

VvSolution *VvStore::find(const QString &id)
{
    for (VvSolution &s : solutions) {
        if (s.id == id)
            return &s;
    }
    return nullptr;
}

VvResourceEntry *VvStore::findEntry(const QString &uuid, VvResourceGroup **group)
{
    for (VvResourceGroup &g : resources) {
        for (VvResourceEntry &e : g.entries) {
            if (e.uuid == uuid) {
                if (group)
                    *group = &g;
                return &e;
            }
        }
    }
    return nullptr;
}
