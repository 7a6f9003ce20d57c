#pragma once
// The training service operations: start a task, read its state and log, list models, stop it.
#include "KxTrainingRequest.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QVariantMap>

// Starts a task from the training parameters; reports the task id.
class TrainStart : public KxTrainingRequest
{
    Q_OBJECT
public:
    using KxTrainingRequest::KxTrainingRequest;
    // The request document from a parameter document ("trainRound", "trainRate", "width",
    // "height", "trainModel", "batchSize", "modelDesc").
    static QJsonObject parameters(const QJsonObject &paramDoc, const QString &fileMd5,
                                  const QString &task, const QString &device);
    bool start(const QJsonObject &parameters);
signals:
    void started(bool ok, const QString &message, const QString &taskId);

protected:
    void complete(bool ok, const QString &message, const QJsonValue &data) override;
};

class GetTaskStatus : public KxTrainingRequest
{
    Q_OBJECT
public:
    enum State { Unknown, UnzipError, TrainError, Training, Quantification, Finish };
    Q_ENUM(State)
    using KxTrainingRequest::KxTrainingRequest;
    // One of the five state texts, else Unknown.
    static State parseState(const QString &text);
    static bool isEnd(State s) { return s == UnzipError || s == TrainError || s == Finish; }
    bool start(const QString &taskId);
signals:
    void status(bool ok, const QString &message, const QString &stateText);

protected:
    void complete(bool ok, const QString &message, const QJsonValue &data) override;
};

struct TrainingLog
{
    QStringList lines;
    int nextRow = 0;
    int progress = 0;
    QVariantMap bestMetrics; // name -> number
};

class GetTaskLog : public KxTrainingRequest
{
    Q_OBJECT
public:
    explicit GetTaskLog(QObject *parent = nullptr);
    static TrainingLog parse(const QJsonValue &data, int askedRow);
    bool start(const QString &taskId, int logRow);
signals:
    void log(bool ok, const QString &message, const TrainingLog &log);

protected:
    void complete(bool ok, const QString &message, const QJsonValue &data) override;

private:
    int m_row = 0;
};

struct TrainingModel
{
    int id = 0;
    QString name;
    QString describe;
};

class GetModelList : public KxTrainingRequest
{
    Q_OBJECT
public:
    explicit GetModelList(QObject *parent = nullptr);
    static QList<TrainingModel> parse(const QJsonValue &data);
    bool start(const QString &task);
signals:
    void models(bool ok, const QString &message, const QList<TrainingModel> &models);

protected:
    void complete(bool ok, const QString &message, const QJsonValue &data) override;
};

class KillTrain : public KxTrainingRequest
{
    Q_OBJECT
public:
    using KxTrainingRequest::KxTrainingRequest;
    bool start(const QString &taskId);
signals:
    void killed(bool ok, const QString &message);

protected:
    void complete(bool ok, const QString &message, const QJsonValue &data) override;
};

Q_DECLARE_METATYPE(TrainingLog)
Q_DECLARE_METATYPE(TrainingModel)
