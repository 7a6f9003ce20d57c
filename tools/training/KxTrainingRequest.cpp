#include "KxTrainingRequest.h"

#include "KxSettings.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

KxTrainingRequest::KxTrainingRequest(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
}

QString KxTrainingRequest::serviceAddress()
{
    return KxSettings::instance()
        ->value(QStringLiteral("training"), QStringLiteral("url"), QStringLiteral("http://127.0.0.1:8082"))
        .toString();
}

QString KxTrainingRequest::baseUrl() const
{
    QString base = m_baseUrl.isEmpty() ? serviceAddress() : m_baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QUrl KxTrainingRequest::urlFor(const QString &path, const QUrlQuery &query) const
{
    QUrl url(baseUrl() + path);
    if (!query.isEmpty())
        url.setQuery(query);
    return url;
}

QString KxTrainingRequest::envelopeMessage(const QByteArray &body)
{
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    return o.contains(QStringLiteral("status")) ? o.value(QStringLiteral("message")).toString() : QString();
}

bool KxTrainingRequest::track(QNetworkReply *reply)
{
    m_reply = reply;
    m_cancelled = false;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onReply(reply); });
    return true;
}

static QNetworkRequest jsonRequest(const QUrl &url)
{
    QNetworkRequest r(url);
    r.setTransferTimeout(30000);
    return r;
}

bool KxTrainingRequest::sendGet(const QString &path, const QUrlQuery &query)
{
    if (isBusy())
        return false;
    return track(m_manager->get(jsonRequest(urlFor(path, query))));
}

bool KxTrainingRequest::sendPost(const QString &path, const QByteArray &json)
{
    if (isBusy())
        return false;
    QNetworkRequest r = jsonRequest(urlFor(path));
    r.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    return track(m_manager->post(r, json));
}

bool KxTrainingRequest::sendDelete(const QString &path)
{
    if (isBusy())
        return false;
    return track(m_manager->deleteResource(jsonRequest(urlFor(path))));
}

void KxTrainingRequest::cancel()
{
    if (!m_reply)
        return;
    m_cancelled = true;
    m_reply->abort();
}

void KxTrainingRequest::onReply(QNetworkReply *reply)
{
    reply->deleteLater();
    m_reply = nullptr;
    const QByteArray body = reply->readAll();
    if (m_cancelled) {
        complete(false, QStringLiteral("cancelled"), QJsonValue());
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        const QString server = envelopeMessage(body);
        const QString text = server.isEmpty() ? reply->errorString() : server;
        qWarning() << "Network error:" << reply->url() << reply->errorString() << server;
        complete(false, text, QJsonValue());
        return;
    }
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning() << "Error:" << reply->url() << "the reply is not a JSON object";
        complete(false, QStringLiteral("the service sent a malformed reply"), QJsonValue());
        return;
    }
    const QJsonObject o = doc.object();
    const QString message = o.value(QStringLiteral("message")).toString();
    if (o.value(QStringLiteral("status")).toInt() != 200) {
        qWarning() << "Error:" << reply->url() << o.value(QStringLiteral("status")) << message;
        complete(false, message.isEmpty() ? QStringLiteral("the service refused the request") : message,
                 QJsonValue());
        return;
    }
    complete(true, message, o.value(QStringLiteral("data")));
}
