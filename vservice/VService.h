#pragma once
// The stand-in services: shared state (faults, uploads, tasks) and the route set-up of the
// update and training services. Handlers run on the server's pool threads; every access to the
// state goes through its mutex.
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <map>
#include <mutex>
#include <set>

namespace httplib {
class Server;
}

struct VTask
{
    int id = 0;
    QString taskType;
    int epochs = 1;
    qint64 startMs = 0;
    bool failing = false;      // the task-error fault was on when it started
    bool badDataset = false;   // the data set could not be unpacked
    QString datasetError;
    int killedAtStep = -1;     // step at which the user stopped it
};

struct VUpload
{
    std::map<int, QString> parts; // chunk index -> file
    std::set<int> remotePorts;    // distinct client connections
    QString merged;               // the merged data set, once merged
    qint64 mergedSize = 0;
};

class VServiceState
{
public:
    VServiceState(const QString &stateDir, int stepMs);

    std::mutex mutex;
    QString stateDir;
    int stepMs;

    // Update service.
    QString updateMode = QStringLiteral("newer");  // newer, same, wrong-app, empty-url, bad-md5, upper-md5
    QString transferMode = QStringLiteral("normal"); // normal, slow, interrupt, redirect, foreign-redirect
    QString catalogueVersion = QStringLiteral("V2.03.007.1");
    QString installerFile;
    int trainingPort = 0;
    int updatePort = 0;
    QString host;

    // Training service faults.
    int refusePart = -1;
    bool mergeWrongMd5 = false;
    bool taskError = false;
    bool downloadInterrupt = false;

    std::map<QString, VUpload> uploads; // by MD5
    std::map<int, VTask> tasks;
    int nextTaskId = 1001;

    QJsonObject faults() const;
    // Applies the members of a fault document; returns the names it did not know.
    QStringList applyFaults(const QJsonObject &doc);

    qint64 nowMs() const;
};

// Lower-case hexadecimal MD5 of a file; empty when it cannot be read.
QByteArray fileMd5(const QString &path);
// The envelope every training reply uses.
QByteArray envelope(int status, const QString &message, const QJsonValue &data = QJsonValue());

void setupUpdateService(httplib::Server &server, VServiceState &state);
void setupTrainingService(httplib::Server &server, VServiceState &state);
// "/vservice/faults" (GET lists, POST applies) on both services.
void setupControl(httplib::Server &server, VServiceState &state);
