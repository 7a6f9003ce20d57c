#pragma once
// A camera's solutions: the list, the one in use and the document being edited, kept in step
// with the camera through vision calls. Every call is asynchronous; done(ok, error) runs on the
// main thread. A call that fails leaves the state as it was.
#include "KxSolutionDocument.h"
#include "KxVisionResult.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <functional>

class KxDeviceConnector;

struct KxVisionSolutionEntry
{
    QString solId;
    QString solName;
    QString createTime;
    QString modifyTime;
    bool curUsed = false;
};

class KxVisionSolution : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(bool ok, const QString &error)>;
    using RunDone = std::function<void(bool ok, const QString &text)>;

    explicit KxVisionSolution(KxDeviceConnector *connector, QObject *parent = nullptr);

    QString deviceId() const { return m_deviceId; }
    QList<KxVisionSolutionEntry> list() const { return m_list; }
    QString currentId() const { return m_currentId; }
    QString documentId() const { return m_documentId; }
    QByteArray document() const { return m_document; }
    int maxWorkflows() const { return m_maxWorkflows; }
    int maxTools() const { return m_maxTools; }
    // The login reply ("maxWorkflows", "maxTools") and the first list and current id, as
    // gathered at login.
    void setLimits(const QJsonObject &loginReply);
    bool applyList(const QJsonObject &reply);
    void setCurrentId(const QString &id) { m_currentId = id; }
    // The camera's mode as "SOLCUR" reports it ("run", "test" or "idle"): a camera left running
    // is shown as running.
    void setMode(const QString &mode);

    void refresh(const Done &done);
    // Creates; the first solution of a camera without one in use is put in use too.
    void create(const QString &name, const std::function<void(bool, const QString &solId)> &done);
    void rename(const QString &solId, const QString &name, const Done &done);
    void remove(const QString &solId, const Done &done);
    void activate(const QString &solId, const Done &done);
    // Downloads and keeps the document; a document that is not a 1.0 solution is refused.
    void download(const QString &solId, const Done &done);
    void save(const QString &solId, const QByteArray &document, const Done &done);
    // mode 1 once, 2 start, 3 stop; anything else fails at once with an empty text. The reply
    // JSON of a once call (outputs, regions, image) comes with lastRun().
    void run(int mode, const QString &triggerId, const RunDone &done);
    void test(int mode, const QString &triggerId, const QByteArray &testDocument, const RunDone &done);
    QJsonObject lastRun() const { return m_lastRun; }
    bool isRunning() const { return m_running; }
    bool isTesting() const { return m_testing; }
    // How often a started run or test repeats on the camera (sent with mode 2), in ms.
    static constexpr int kMinIntervalMs = 100;
    static constexpr int kMaxIntervalMs = 60000;
    void setIntervalMs(int ms) { m_intervalMs = qBound(kMinIntervalMs, ms, kMaxIntervalMs); }
    int intervalMs() const { return m_intervalMs; }
    // The newest result that came on the result stream; results taken, frames lost by a gap.
    KxVisionResult lastResult() const { return m_lastResult; }
    int resultCount() const { return m_results; }
    qint64 lostResults() const { return m_lost; }

signals:
    void listChanged();
    void currentChanged(const QString &solId);
    void modeChanged();
    // A run or test result from the camera's result stream (main thread).
    void resultReceived(const KxVisionResult &result);

private slots:
    void onResults(const QList<QByteArray> &payloads);

private:
    void runOrTest(bool test, int mode, const QString &triggerId, const QByteArray &doc,
                   const RunDone &done);

    QPointer<KxDeviceConnector> m_connector;
    QString m_deviceId;
    QList<KxVisionSolutionEntry> m_list;
    QString m_currentId;
    QString m_documentId;
    QByteArray m_document;
    int m_maxWorkflows = 8;
    int m_maxTools = 16;
    QJsonObject m_lastRun;
    bool m_running = false;
    bool m_testing = false;
    int m_intervalMs = 500;
    KxVisionResult m_lastResult;
    int m_results = 0;
    qint64 m_lost = 0;
};
