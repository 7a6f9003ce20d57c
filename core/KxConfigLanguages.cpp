// The language list of the installation ("languages.json" in the resources directory).
#include "KxConfig.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// An entry is switched off only by an explicit "enable" of 0 (or false).
bool isEnabled(const QJsonObject &entry)
{
    if (!entry.contains(QStringLiteral("enable")))
        return true;
    const QJsonValue enable = entry.value(QStringLiteral("enable"));
    if (enable.isDouble())
        return enable.toDouble() != 0.0;
    if (enable.isBool())
        return enable.toBool();
    return true;
}

} // namespace

QList<QPair<QString, QString>> KxConfig::languages() const
{
    QList<QPair<QString, QString>> list;
    QFile file(resourcesDir() + QStringLiteral("/languages.json"));
    if (!file.open(QIODevice::ReadOnly))
        return list;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isObject()) {
        qWarning() << "KxConfig::languages..." << file.fileName() << error.errorString();
        return list;
    }
    const QJsonArray entries = doc.object().value(QStringLiteral("languages")).toArray();
    for (const QJsonValue &value : entries) {
        const QJsonObject entry = value.toObject();
        const QString id = entry.value(QStringLiteral("id")).toString().trimmed();
        const QString display = entry.value(QStringLiteral("display")).toString().trimmed();
        if (id.isEmpty() || display.isEmpty() || !isEnabled(entry))
            continue;
        list.append(qMakePair(id, display));
    }
    return list;
}
