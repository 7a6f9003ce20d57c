#pragma once
// Starts the real brevan-vservice for a test on free loopback ports with a temporary state
// folder, switches its faults at run time and reads what it received. Stops it when destroyed.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

class VServiceProcess
{
public:
    ~VServiceProcess() { stop(); }

    bool start(const QStringList &extraArgs = {}, int timeoutMs = 20000)
    {
        QStringList args = extraArgs;
        args << "--update-port" << "0" << "--training-port" << "0" << "--state" << m_state.path();
        m_process.setProgram(QStringLiteral(BREVAN_BIN_DIR "/brevan-vservice"));
        m_process.setArguments(args);
        m_process.setStandardErrorFile(m_state.filePath("vservice.log"));
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs))
            return false;
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains("ready\n")) {
            if (m_process.state() != QProcess::Running || t.elapsed() > timeoutMs)
                return false;
            m_process.waitForReadyRead(200);
            out += m_process.readAllStandardOutput();
        }
        for (const QByteArray &line : out.split('\n')) {
            if (line.startsWith("update: "))
                m_update = QString::fromUtf8(line.mid(8));
            else if (line.startsWith("training: "))
                m_training = QString::fromUtf8(line.mid(10));
        }
        return !m_update.isEmpty() && !m_training.isEmpty();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    QString updateUrl() const { return m_update; }
    QString trainingUrl() const { return m_training; }
    QString stateDir() const { return m_state.path(); }

    // Switches faults (see docs/services.md); true when the service took them.
    bool setFaults(const QJsonObject &faults)
    {
        return request("POST", m_training + "/vservice/faults", QJsonDocument(faults).toJson())
                   .value("status").toInt() == 200;
    }
    // What the service holds for a data set: "chunks", "connections", "merged", "size".
    QJsonObject dataset(const QString &md5)
    {
        return request("GET", m_training + "/vservice/dataset?md5=" + md5).value("data").toObject();
    }

    static QJsonObject request(const QByteArray &verb, const QString &url, const QByteArray &body = {})
    {
        QNetworkAccessManager manager;
        QNetworkRequest r{QUrl(url)};
        r.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        r.setTransferTimeout(20000);
        QNetworkReply *reply = manager.sendCustomRequest(r, verb, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        const QJsonObject o = QJsonDocument::fromJson(reply->readAll()).object();
        reply->deleteLater();
        return o;
    }

private:
    QTemporaryDir m_state;
    QProcess m_process;
    QString m_update;
    QString m_training;
};
