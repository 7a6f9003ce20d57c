#include "KxVisionSolution.h"

#include "KxDeviceConnector.h"
#include "KxVisionCall.h"

#include <QDebug>
#include <QJsonArray>

using KxVisionCall::Reply;

KxVisionSolution::KxVisionSolution(KxDeviceConnector *connector, QObject *parent)
    : QObject(parent), m_connector(connector), m_deviceId(connector ? connector->deviceId() : QString())
{
    if (connector)
        connect(connector, &KxDeviceConnector::visionResultsReceived, this, &KxVisionSolution::onResults);
}

void KxVisionSolution::setMode(const QString &mode)
{
    m_running = mode == QLatin1String("run");
    m_testing = mode == QLatin1String("test");
}

void KxVisionSolution::onResults(const QList<QByteArray> &payloads)
{
    for (int i = 0; i < payloads.size(); ++i) {
        const QByteArray &payload = payloads[i];
        KxVisionResult r;
        // A batch that piled up shows only its newest picture: the others are not decoded.
        if (!KxVisionResult::parse(payload, &r, i + 1 == payloads.size())) {
            qWarning() << "KxVisionSolution::onResults()...not a result" << m_deviceId << payload.left(80);
            continue;
        }
        if (m_lastResult.seq > 0 && r.seq > m_lastResult.seq + 1)
            m_lost += r.seq - m_lastResult.seq - 1;
        m_lastResult = r;
        ++m_results;
        emit resultReceived(m_lastResult);
    }
}

void KxVisionSolution::setLimits(const QJsonObject &loginReply)
{
    m_maxWorkflows = qMax(1, loginReply.value(QStringLiteral("maxWorkflows")).toInt(m_maxWorkflows));
    m_maxTools = qMax(1, loginReply.value(QStringLiteral("maxTools")).toInt(m_maxTools));
}

bool KxVisionSolution::applyList(const QJsonObject &reply)
{
    if (reply.isEmpty() || !reply.value(QStringLiteral("list")).isArray())
        return false;
    m_list.clear();
    m_currentId.clear();
    for (const QJsonValue &v : reply.value(QStringLiteral("list")).toArray()) {
        const QJsonObject o = v.toObject();
        KxVisionSolutionEntry e{o.value("solId").toString(), o.value("solName").toString(),
                                o.value("createTime").toString(), o.value("modifyTime").toString(),
                                o.value("curUsed").toBool()};
        if (e.curUsed)
            m_currentId = e.solId;
        m_list << e;
    }
    emit listChanged();
    return true;
}

void KxVisionSolution::refresh(const Done &done)
{
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("SOLLST"), {}, [this, done](const Reply &r) {
        const bool ok = r.ok && applyList(r.json);
        if (done)
            done(ok, ok ? QString() : r.error);
    });
}

void KxVisionSolution::create(const QString &name, const std::function<void(bool, const QString &)> &done)
{
    qInfo() << "KxVisionSolution::create()..." << m_deviceId << name;
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("SOLNEW"), {{"solName", name}},
                            [this, done](const Reply &r) {
        const QString id = r.json.value(QStringLiteral("solId")).toString();
        if (!r.ok || id.isEmpty()) {
            if (done)
                done(false, r.error);
            return;
        }
        const bool first = m_currentId.isEmpty();
        refresh([this, done, id, first](bool, const QString &) {
            if (!first) {
                if (done)
                    done(true, id);
                return;
            }
            activate(id, [done, id](bool ok, const QString &) {
                if (done)
                    done(ok, id);
            });
        });
    });
}

void KxVisionSolution::rename(const QString &solId, const QString &name, const Done &done)
{
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("SOLRNM"), {{"solId", solId}, {"solName", name}},
                            [this, done](const Reply &r) {
        if (!r.ok) {
            if (done)
                done(false, r.error);
            return;
        }
        refresh(done);
    });
}

void KxVisionSolution::remove(const QString &solId, const Done &done)
{
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("SOLDEL"), {{"solId", solId}},
                            [this, solId, done](const Reply &r) {
        if (!r.ok) {
            if (done)
                done(false, r.error);
            return;
        }
        if (m_currentId == solId) {
            m_currentId.clear();
            emit currentChanged(m_currentId);
        }
        if (m_documentId == solId) {
            m_documentId.clear();
            m_document.clear();
        }
        refresh(done);
    });
}

void KxVisionSolution::activate(const QString &solId, const Done &done)
{
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("SOLUSE"), {{"solId", solId}},
                            [this, solId, done](const Reply &r) {
        if (r.ok) {
            m_currentId = solId;
            for (KxVisionSolutionEntry &e : m_list)
                e.curUsed = e.solId == solId;
            emit currentChanged(solId);
        }
        if (done)
            done(r.ok, r.error);
    });
}

void KxVisionSolution::download(const QString &solId, const Done &done)
{
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("SOLDAT"), {{"solId", solId}},
                            [this, solId, done](const Reply &r) {
        const QByteArray doc = r.json.value(QStringLiteral("solData")).toString().toUtf8();
        QList<KxVisionWorkflow> flows;
        QString why = r.error;
        const bool ok = r.ok && KxSolutionDocument::parse(doc, &flows, &why);
        if (ok) {
            m_documentId = solId;
            m_document = doc;
        } else {
            qWarning() << "KxVisionSolution::download()...refused" << solId << why;
        }
        if (done)
            done(ok, ok ? QString() : why);
    });
}

void KxVisionSolution::save(const QString &solId, const QByteArray &document, const Done &done)
{
    QList<KxVisionWorkflow> flows;
    QString why;
    if (!KxSolutionDocument::parse(document, &flows, &why)) {
        QMetaObject::invokeMethod(this, [done, why] { if (done) done(false, why); }, Qt::QueuedConnection);
        return;
    }
    KxVisionCall::callAsync(m_connector, this, QStringLiteral("SOLSAV"),
                            {{"solId", solId}, {"solData", QString::fromUtf8(document)}},
                            [this, solId, document, done](const Reply &r) {
        if (r.ok) {
            m_documentId = solId;
            m_document = document;
        }
        if (done)
            done(r.ok, r.error);
    });
}

void KxVisionSolution::run(int mode, const QString &triggerId, const RunDone &done)
{
    runOrTest(false, mode, triggerId, {}, done);
}

void KxVisionSolution::test(int mode, const QString &triggerId, const QByteArray &testDocument,
                            const RunDone &done)
{
    runOrTest(true, mode, triggerId, testDocument, done);
}

void KxVisionSolution::runOrTest(bool test, int mode, const QString &triggerId,
                                 const QByteArray &doc, const RunDone &done)
{
    static const char *const steps[] = {"ONE", "STX", "STP"};
    if (mode < 1 || mode > 3) {
        QMetaObject::invokeMethod(this, [done] { if (done) done(false, QString()); }, Qt::QueuedConnection);
        return;
    }
    const QString code = QLatin1String(test ? "TST" : "RUN") + QLatin1String(steps[mode - 1]);
    QJsonObject payload;
    if (!triggerId.isEmpty())
        payload.insert(QStringLiteral("triggerId"), triggerId);
    if (test && !doc.isEmpty() && mode != 3)
        payload.insert(QStringLiteral("solData"), QString::fromUtf8(doc));
    if (mode == 2)
        payload.insert(QStringLiteral("interval"), m_intervalMs);
    KxVisionCall::callAsync(m_connector, this, code, payload, [this, test, mode, done](const Reply &r) {
        if (r.ok) {
            bool &flag = test ? m_testing : m_running;
            if (mode == 2)
                flag = true;
            else if (mode == 3)
                flag = false;
            else
                m_lastRun = r.json;
            if (mode != 1)
                emit modeChanged();
        }
        if (done)
            done(r.ok, r.ok ? r.json.value(QStringLiteral("result")).toString() : r.error);
    });
}
