#include "TrainingRequests.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace
{
QString idText(const QJsonValue &v)
{
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::number(qint64(v.toDouble()));
    return QString();
}
} // namespace

QJsonObject TrainStart::parameters(const QJsonObject &doc, const QString &fileMd5, const QString &task,
                                   const QString &device)
{
    return {{QStringLiteral("file_md5"), fileMd5},
            {QStringLiteral("task"), task},
            {QStringLiteral("lr"), doc.value(QStringLiteral("trainRate")).toDouble()},
            {QStringLiteral("batch_size"), doc.value(QStringLiteral("batchSize")).toInt()},
            {QStringLiteral("epochs"), doc.value(QStringLiteral("trainRound")).toInt()},
            {QStringLiteral("img_width"), doc.value(QStringLiteral("width")).toDouble()},
            {QStringLiteral("img_height"), doc.value(QStringLiteral("height")).toDouble()},
            {QStringLiteral("model_id"), doc.value(QStringLiteral("trainModel")).toInt()},
            {QStringLiteral("model_describes"), doc.value(QStringLiteral("modelDesc")).toString()},
            {QStringLiteral("device"), device}};
}

bool TrainStart::start(const QJsonObject &parameters)
{
    return sendPost(QStringLiteral("/python/process/train"),
                    QJsonDocument(parameters).toJson(QJsonDocument::Compact));
}

void TrainStart::complete(bool ok, const QString &message, const QJsonValue &data)
{
    const QString id = idText(data.toObject().value(QStringLiteral("task_id")));
    if (ok && id.isEmpty()) {
        emit started(false, QStringLiteral("the service gave no task id"), QString());
        return;
    }
    emit started(ok, message, id);
}

GetTaskStatus::State GetTaskStatus::parseState(const QString &text)
{
    if (text == QLatin1String("UNZIP DATASET ERROR"))
        return UnzipError;
    if (text == QLatin1String("TRAIN TASK ERROR"))
        return TrainError;
    if (text == QLatin1String("TRAIN TASK IS TRAINING"))
        return Training;
    if (text == QLatin1String("MODEL QUANTIFICATION"))
        return Quantification;
    if (text == QLatin1String("TRAIN TASK FINISH"))
        return Finish;
    return Unknown;
}

bool GetTaskStatus::start(const QString &taskId)
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("task_id"), taskId);
    return sendGet(QStringLiteral("/python/process/task/status"), q);
}

void GetTaskStatus::complete(bool ok, const QString &message, const QJsonValue &data)
{
    emit status(ok, message, data.toString());
}

GetTaskLog::GetTaskLog(QObject *parent) : KxTrainingRequest(parent)
{
    qRegisterMetaType<TrainingLog>();
}

TrainingLog GetTaskLog::parse(const QJsonValue &data, int askedRow)
{
    const QJsonObject o = data.toObject();
    TrainingLog log;
    const QJsonValue lines = o.value(QStringLiteral("log_context"));
    if (lines.isArray()) {
        for (const QJsonValue &l : lines.toArray())
            log.lines << l.toString();
    } else if (!lines.toString().isEmpty()) {
        log.lines = lines.toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    const QJsonValue row = o.value(QStringLiteral("log_context_row"));
    // A reply without a row moves on by the lines it brought, never backwards.
    log.nextRow = row.isDouble() || row.isString() ? qMax(askedRow, row.toVariant().toInt())
                                                   : askedRow + log.lines.size();
    log.progress = qBound(0, o.value(QStringLiteral("progress")).toVariant().toInt(), 100);
    const QJsonValue best = o.value(QStringLiteral("best_metrics"));
    if (best.isObject()) {
        const QJsonObject m = best.toObject();
        for (auto it = m.begin(); it != m.end(); ++it) {
            if (it.value().isDouble())
                log.bestMetrics.insert(it.key(), it.value().toDouble());
        }
    } else if (best.isDouble()) {
        log.bestMetrics.insert(QStringLiteral("metric"), best.toDouble());
    }
    return log;
}

bool GetTaskLog::start(const QString &taskId, int logRow)
{
    m_row = logRow;
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("task_id"), taskId);
    q.addQueryItem(QStringLiteral("log_row"), QString::number(logRow));
    return sendGet(QStringLiteral("/python/process/task/log"), q);
}

void GetTaskLog::complete(bool ok, const QString &message, const QJsonValue &data)
{
    TrainingLog l = ok ? parse(data, m_row) : TrainingLog();
    if (!ok)
        l.nextRow = m_row;
    emit log(ok, message, l);
}

GetModelList::GetModelList(QObject *parent) : KxTrainingRequest(parent)
{
    qRegisterMetaType<QList<TrainingModel>>();
}

QList<TrainingModel> GetModelList::parse(const QJsonValue &data)
{
    QList<TrainingModel> list;
    const QJsonArray a = data.isArray() ? data.toArray()
                                        : data.toObject().value(QStringLiteral("list")).toArray();
    for (const QJsonValue &v : a) {
        TrainingModel m;
        if (v.isObject()) {
            const QJsonObject o = v.toObject();
            m.id = o.value(QStringLiteral("model_id")).toVariant().toInt();
            m.name = o.value(QStringLiteral("name")).toString();
            m.describe = o.value(QStringLiteral("describe")).toString();
        } else {
            m.id = list.size();
            m.name = v.toVariant().toString();
        }
        if (!m.name.isEmpty())
            list << m;
    }
    return list;
}

bool GetModelList::start(const QString &task)
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("task"), task);
    return sendGet(QStringLiteral("/python/process/task/model_list"), q);
}

void GetModelList::complete(bool ok, const QString &message, const QJsonValue &data)
{
    emit models(ok, message, ok ? parse(data) : QList<TrainingModel>());
}

bool KillTrain::start(const QString &taskId)
{
    return sendDelete(QStringLiteral("/python/process/kill/") + QString::fromLatin1(QUrl::toPercentEncoding(taskId)));
}

void KillTrain::complete(bool ok, const QString &message, const QJsonValue &)
{
    emit killed(ok, message);
}
