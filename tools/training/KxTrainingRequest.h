#pragma once
// Base of the training service requests: one request at a time per object, each object with
// its own network manager. A reply is judged by its network error and the envelope's "status"
// (200 is success); a failure carries the server's "message" or the network error text.
// Requests are asynchronous: the completion signal of the subclass reports the outcome.
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QUrlQuery>

class QNetworkAccessManager;
class QNetworkReply;

class KxTrainingRequest : public QObject
{
    Q_OBJECT
public:
    explicit KxTrainingRequest(QObject *parent = nullptr);

    // "training"/"url" of the settings, default the stand-in on loopback port 8082.
    static QString serviceAddress();
    // Overrides the address for this object (tools and tests); empty returns to the settings.
    void setBaseUrl(const QString &url) { m_baseUrl = url; }
    QString baseUrl() const;
    QUrl urlFor(const QString &path, const QUrlQuery &query = QUrlQuery()) const;

    bool isBusy() const { return !m_reply.isNull(); }
    void cancel();

    // The message of a reply body when it is an envelope, else an empty string.
    static QString envelopeMessage(const QByteArray &body);

protected:
    bool sendGet(const QString &path, const QUrlQuery &query);
    bool sendPost(const QString &path, const QByteArray &json);
    bool sendDelete(const QString &path);
    // Called once per request with the outcome; data is the envelope's "data" on success.
    virtual void complete(bool ok, const QString &message, const QJsonValue &data) = 0;

    QNetworkAccessManager *m_manager;

private:
    bool track(QNetworkReply *reply);
    void onReply(QNetworkReply *reply);

    QString m_baseUrl;
    QPointer<QNetworkReply> m_reply;
    bool m_cancelled = false;
};
