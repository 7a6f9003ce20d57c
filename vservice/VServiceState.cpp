#include "VService.h"

#include <httplib.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

VServiceState::VServiceState(const QString &dir, int step) : stateDir(dir), stepMs(step) {}

qint64 VServiceState::nowMs() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

QJsonObject VServiceState::faults() const
{
    QJsonObject o;
    o.insert(QStringLiteral("update_mode"), updateMode);
    o.insert(QStringLiteral("transfer"), transferMode);
    o.insert(QStringLiteral("version"), catalogueVersion);
    o.insert(QStringLiteral("refuse_part"), refusePart);
    o.insert(QStringLiteral("merge_wrong_md5"), mergeWrongMd5);
    o.insert(QStringLiteral("task_error"), taskError);
    o.insert(QStringLiteral("download_interrupt"), downloadInterrupt);
    o.insert(QStringLiteral("step_ms"), stepMs);
    return o;
}

QStringList VServiceState::applyFaults(const QJsonObject &doc)
{
    QStringList unknown;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        const QString k = it.key();
        const QJsonValue v = it.value();
        if (k == QLatin1String("update_mode"))
            updateMode = v.toString();
        else if (k == QLatin1String("transfer"))
            transferMode = v.toString();
        else if (k == QLatin1String("version"))
            catalogueVersion = v.toString();
        else if (k == QLatin1String("refuse_part"))
            refusePart = v.toInt(-1);
        else if (k == QLatin1String("merge_wrong_md5"))
            mergeWrongMd5 = v.toBool();
        else if (k == QLatin1String("task_error"))
            taskError = v.toBool();
        else if (k == QLatin1String("download_interrupt"))
            downloadInterrupt = v.toBool();
        else if (k == QLatin1String("step_ms"))
            stepMs = qMax(10, v.toInt(stepMs));
        else
            unknown << k;
    }
    return unknown;
}

QByteArray fileMd5(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hash.addData(&f))
        return QByteArray();
    return hash.result().toHex();
}

QByteArray envelope(int status, const QString &message, const QJsonValue &data)
{
    QJsonObject o;
    o.insert(QStringLiteral("status"), status);
    o.insert(QStringLiteral("message"), message);
    o.insert(QStringLiteral("data"), data);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void setupControl(httplib::Server &server, VServiceState &state)
{
    server.Get("/vservice/faults", [&state](const httplib::Request &, httplib::Response &res) {
        std::lock_guard<std::mutex> lock(state.mutex);
        res.set_content(QJsonDocument(state.faults()).toJson().toStdString(), "application/json");
    });
    server.Post("/vservice/faults", [&state](const httplib::Request &req, httplib::Response &res) {
        QJsonParseError err;
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &err);
        if (err.error != QJsonParseError::NoError || !doc.isObject()) {
            res.status = 400;
            res.set_content(envelope(400, QStringLiteral("body is not a JSON object")).toStdString(),
                            "application/json");
            return;
        }
        std::lock_guard<std::mutex> lock(state.mutex);
        const QStringList unknown = state.applyFaults(doc.object());
        if (!unknown.isEmpty()) {
            res.status = 400;
            res.set_content(envelope(400, QStringLiteral("unknown: ") + unknown.join(QLatin1Char(',')))
                                .toStdString(),
                            "application/json");
            return;
        }
        res.set_content(envelope(200, QStringLiteral("success"), state.faults()).toStdString(),
                        "application/json");
    });
}
