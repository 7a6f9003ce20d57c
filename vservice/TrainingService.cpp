// The training service: chunked data set upload with merge and MD5 check, simulated training
// tasks that move through their states over time, model lists, stop, and result archives.
#include "VService.h"

#include <httplib.h>

#include <KZip>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtMath>

#include <memory>

namespace
{

const char *const kJson = "application/json";

void send(httplib::Response &res, int status, const QString &message,
          const QJsonValue &data = QJsonValue(), int httpStatus = 200)
{
    res.status = httpStatus;
    res.set_content(envelope(status, message, data).toStdString(), kJson);
}

QString param(const httplib::Request &req, const char *name)
{
    return req.has_param(name) ? QString::fromStdString(req.get_param_value(name)) : QString();
}

bool isMd5(const QString &s)
{
    static const QRegularExpression re(QStringLiteral("^[0-9a-f]{32}$"));
    return re.match(s).hasMatch();
}

// Checks that the data set is a zip holding "label.txt" whose lines name images it holds.
QString checkDataset(const QString &path)
{
    KZip zip(path);
    if (!zip.open(QIODevice::ReadOnly))
        return QStringLiteral("the data set is not a zip archive");
    const KArchiveDirectory *root = zip.directory();
    const KArchiveFile *labels = root->file(QStringLiteral("label.txt"));
    if (!labels)
        return QStringLiteral("label.txt is missing");
    const QStringList lines = QString::fromUtf8(labels->data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return QStringLiteral("label.txt holds no labels");
    for (const QString &line : lines) {
        const QString image = line.section(QLatin1Char('\t'), 0, 0).trimmed();
        if (!root->file(QStringLiteral("images/") + image))
            return QStringLiteral("label.txt names a missing image: ") + image;
    }
    return QString();
}

double lossAt(int epoch)
{
    return 2.0 * qExp(-0.35 * epoch) + 0.05;
}

double accuracyAt(int epoch)
{
    return 1.0 - 0.92 * qExp(-0.4 * epoch);
}

// The task as seen now: its state, log lines, progress and best metrics.
struct TaskView
{
    QString state;
    QStringList log;
    int progress = 0;
    int epochsDone = 0;
};

TaskView viewOf(const VTask &t, qint64 nowMs, int stepMs)
{
    TaskView v;
    int step = int((nowMs - t.startMs) / qMax(1, stepMs));
    if (t.killedAtStep >= 0)
        step = qMin(step, t.killedAtStep);
    v.log << QStringLiteral("task %1 queued (%2, %3 epochs)").arg(t.id).arg(t.taskType).arg(t.epochs);
    v.state = QStringLiteral("TRAIN TASK QUEUED");
    if (step >= 1) {
        v.log << QStringLiteral("unpacking data set");
        if (t.badDataset) {
            v.log << QStringLiteral("unzip failed: ") + t.datasetError;
            v.state = QStringLiteral("UNZIP DATASET ERROR");
            return v;
        }
        v.state = QStringLiteral("TRAIN TASK IS TRAINING");
    }
    const int errorAt = qMin(2, t.epochs);
    for (int e = 1; e <= t.epochs && e <= step; ++e) {
        if (t.failing && e > errorAt) {
            v.log << QStringLiteral("training diverged: loss is not a number");
            v.state = QStringLiteral("TRAIN TASK ERROR");
            return v;
        }
        v.epochsDone = e;
        v.log << QStringLiteral("epoch %1/%2 loss=%3 acc=%4")
                     .arg(e)
                     .arg(t.epochs)
                     .arg(lossAt(e), 0, 'f', 4)
                     .arg(accuracyAt(e), 0, 'f', 4);
    }
    v.progress = v.epochsDone * 90 / qMax(1, t.epochs);
    if (t.killedAtStep >= 0) {
        v.log << QStringLiteral("task stopped by the user");
        v.state = QStringLiteral("TRAIN TASK ERROR");
        return v;
    }
    if (t.failing && step > errorAt && errorAt == t.epochs) {
        v.log << QStringLiteral("training diverged: loss is not a number");
        v.state = QStringLiteral("TRAIN TASK ERROR");
        return v;
    }
    if (step >= t.epochs + 1) {
        v.state = QStringLiteral("MODEL QUANTIFICATION");
        v.progress = 95;
        v.log << QStringLiteral("quantifying the model");
    }
    if (step >= t.epochs + 2) {
        v.state = QStringLiteral("TRAIN TASK FINISH");
        v.progress = 100;
        v.log << QStringLiteral("model ready");
    }
    return v;
}

QJsonObject metricsOf(const TaskView &v)
{
    if (v.epochsDone == 0)
        return QJsonObject();
    return {{QStringLiteral("epoch"), v.epochsDone},
            {QStringLiteral("accuracy"), accuracyAt(v.epochsDone)},
            {QStringLiteral("loss"), lossAt(v.epochsDone)}};
}

bool findTask(VServiceState &state, const QString &idText, VTask **task)
{
    bool ok = false;
    const int id = idText.toInt(&ok);
    auto it = state.tasks.find(id);
    if (!ok || it == state.tasks.end())
        return false;
    *task = &it->second;
    return true;
}

QByteArray resultArchive(VServiceState &state, const VTask &t, const TaskView &v)
{
    const QString path = QDir(state.stateDir).filePath(QStringLiteral("result_%1.zip").arg(t.id));
    {
        KZip zip(path);
        if (!zip.open(QIODevice::WriteOnly))
            return QByteArray();
        QByteArray model("OCRMODEL");
        for (int i = 0; i < 4096; ++i)
            model.append(char((i * 31 + t.id) & 0xff));
        zip.writeFile(QStringLiteral("model/ocr_model.bin"), model);
        zip.writeFile(QStringLiteral("metrics.json"),
                      QJsonDocument(metricsOf(v)).toJson(QJsonDocument::Indented));
        zip.writeFile(QStringLiteral("train.log"), v.log.join(QLatin1Char('\n')).toUtf8());
        zip.close();
    }
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

void setupTrainingService(httplib::Server &server, VServiceState &state)
{
    server.Post("/file/upload/dataset", [&state](const httplib::Request &req, httplib::Response &res) {
        if (!req.is_multipart_form_data() || !req.has_file("file") || !req.has_file("md5")
            || !req.has_file("chunk")) {
            send(res, 400, QStringLiteral("expected the form fields file, md5 and chunk"));
            return;
        }
        const QString md5 = QString::fromStdString(req.get_file_value("md5").content).trimmed();
        bool ok = false;
        const int chunk = QString::fromStdString(req.get_file_value("chunk").content).toInt(&ok);
        if (!isMd5(md5) || !ok || chunk < 0) {
            send(res, 400, QStringLiteral("md5 or chunk is malformed"));
            return;
        }
        std::lock_guard<std::mutex> lock(state.mutex);
        if (chunk == state.refusePart) {
            send(res, 500, QStringLiteral("part %1 refused: storage quota exceeded").arg(chunk));
            return;
        }
        const QString dir = QDir(state.stateDir).filePath(QStringLiteral("uploads/") + md5);
        QDir().mkpath(dir);
        const QString partFile = QDir(dir).filePath(QString::number(chunk));
        QFile f(partFile);
        const std::string &body = req.get_file_value("file").content;
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(body.data(), qint64(body.size())) != qint64(body.size())) {
            send(res, 500, QStringLiteral("cannot store part %1").arg(chunk));
            return;
        }
        VUpload &u = state.uploads[md5];
        u.parts[chunk] = partFile;
        u.remotePorts.insert(req.remote_port);
        send(res, 200, QStringLiteral("success"));
    });

    server.Get("/file/merge/dataset", [&state](const httplib::Request &req, httplib::Response &res) {
        const QString md5 = param(req, "md5");
        std::lock_guard<std::mutex> lock(state.mutex);
        auto it = state.uploads.find(md5);
        if (!isMd5(md5) || it == state.uploads.end() || it->second.parts.empty()) {
            send(res, 404, QStringLiteral("no parts uploaded for this md5"));
            return;
        }
        VUpload &u = it->second;
        if (u.parts.rbegin()->first != int(u.parts.size()) - 1) {
            send(res, 500, QStringLiteral("parts are missing: %1 received, last index %2")
                               .arg(u.parts.size())
                               .arg(u.parts.rbegin()->first));
            return;
        }
        const QString merged = QDir(state.stateDir).filePath(QStringLiteral("dataset_%1.zip").arg(md5));
        QFile out(merged);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            send(res, 500, QStringLiteral("cannot write the data set"));
            return;
        }
        for (const auto &p : u.parts) {
            QFile in(p.second);
            if (!in.open(QIODevice::ReadOnly) || out.write(in.readAll()) != in.size()) {
                send(res, 500, QStringLiteral("cannot merge part %1").arg(p.first));
                return;
            }
        }
        out.close();
        QString actual = QString::fromLatin1(fileMd5(merged));
        if (state.mergeWrongMd5)
            actual = QStringLiteral("ffffffffffffffffffffffffffffffff");
        if (actual != md5) {
            QFile::remove(merged);
            send(res, 500, QStringLiteral("md5 mismatch after merge: expected %1, got %2").arg(md5, actual));
            return;
        }
        u.merged = merged;
        u.mergedSize = QFileInfo(merged).size();
        send(res, 200, QStringLiteral("success"));
    });

    server.Post("/python/process/train", [&state](const httplib::Request &req, httplib::Response &res) {
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &err);
        if (err.error != QJsonParseError::NoError || !doc.isObject()) {
            send(res, 400, QStringLiteral("the parameters are not a JSON object"));
            return;
        }
        const QJsonObject p = doc.object();
        const QString md5 = p.value(QStringLiteral("file_md5")).toString();
        const int epochs = p.value(QStringLiteral("epochs")).toInt();
        if (epochs < 1 || epochs > 1000 || p.value(QStringLiteral("lr")).toDouble() <= 0
            || p.value(QStringLiteral("batch_size")).toInt() < 1) {
            send(res, 400, QStringLiteral("epochs, lr and batch_size must be positive"));
            return;
        }
        std::lock_guard<std::mutex> lock(state.mutex);
        auto it = state.uploads.find(md5);
        if (it == state.uploads.end() || it->second.merged.isEmpty()) {
            send(res, 404, QStringLiteral("no merged data set with md5 %1").arg(md5));
            return;
        }
        VTask t;
        t.id = state.nextTaskId++;
        t.taskType = p.value(QStringLiteral("task")).toString();
        t.epochs = epochs;
        t.startMs = state.nowMs();
        t.failing = state.taskError;
        t.datasetError = checkDataset(it->second.merged);
        t.badDataset = !t.datasetError.isEmpty();
        state.tasks[t.id] = t;
        send(res, 200, QStringLiteral("success"), QJsonObject{{QStringLiteral("task_id"), t.id}});
    });

    server.Get("/python/process/task/status", [&state](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard<std::mutex> lock(state.mutex);
        VTask *t = nullptr;
        if (!findTask(state, param(req, "task_id"), &t)) {
            send(res, 404, QStringLiteral("unknown task"));
            return;
        }
        send(res, 200, QStringLiteral("success"), viewOf(*t, state.nowMs(), state.stepMs).state);
    });

    server.Get("/python/process/task/log", [&state](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard<std::mutex> lock(state.mutex);
        VTask *t = nullptr;
        if (!findTask(state, param(req, "task_id"), &t)) {
            send(res, 404, QStringLiteral("unknown task"));
            return;
        }
        const TaskView v = viewOf(*t, state.nowMs(), state.stepMs);
        const int row = qBound(0, param(req, "log_row").toInt(), v.log.size());
        QJsonArray lines;
        for (int i = row; i < v.log.size(); ++i)
            lines.append(v.log.at(i));
        send(res, 200, QStringLiteral("success"),
             QJsonObject{{QStringLiteral("log_context"), lines},
                         {QStringLiteral("log_context_row"), v.log.size()},
                         {QStringLiteral("progress"), v.progress},
                         {QStringLiteral("best_metrics"), metricsOf(v)}});
    });

    server.Get("/python/process/task/model_list", [](const httplib::Request &req, httplib::Response &res) {
        const QString task = param(req, "task");
        if (task.isEmpty()) {
            send(res, 400, QStringLiteral("task is required"));
            return;
        }
        QJsonArray models;
        models.append(QJsonObject{{QStringLiteral("model_id"), 1},
                                  {QStringLiteral("name"), QStringLiteral("%1-small").arg(task)},
                                  {QStringLiteral("describe"), QStringLiteral("fast, for short lines")}});
        models.append(QJsonObject{{QStringLiteral("model_id"), 2},
                                  {QStringLiteral("name"), QStringLiteral("%1-large").arg(task)},
                                  {QStringLiteral("describe"), QStringLiteral("accurate, slower")}});
        send(res, 200, QStringLiteral("success"), models);
    });

    server.Delete(R"(/python/process/kill/(\w+))", [&state](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard<std::mutex> lock(state.mutex);
        VTask *t = nullptr;
        if (!findTask(state, QString::fromStdString(req.matches[1]), &t)) {
            send(res, 404, QStringLiteral("unknown task"));
            return;
        }
        const TaskView v = viewOf(*t, state.nowMs(), state.stepMs);
        if (v.state == QLatin1String("TRAIN TASK FINISH") || v.state.contains(QLatin1String("ERROR"))) {
            send(res, 409, QStringLiteral("the task has already ended: ") + v.state);
            return;
        }
        t->killedAtStep = int((state.nowMs() - t->startMs) / qMax(1, state.stepMs));
        send(res, 200, QStringLiteral("success"));
    });

    server.Get("/file/download/result", [&state](const httplib::Request &req, httplib::Response &res) {
        std::unique_lock<std::mutex> lock(state.mutex);
        VTask *t = nullptr;
        if (!findTask(state, param(req, "task_id"), &t)) {
            send(res, 404, QStringLiteral("unknown task"), QJsonValue(), 404);
            return;
        }
        const TaskView v = viewOf(*t, state.nowMs(), state.stepMs);
        if (v.state != QLatin1String("TRAIN TASK FINISH")) {
            send(res, 409, QStringLiteral("the task has no result yet: ") + v.state, QJsonValue(), 409);
            return;
        }
        auto data = std::make_shared<QByteArray>(resultArchive(state, *t, v));
        const bool interrupt = state.downloadInterrupt;
        lock.unlock();
        res.set_content_provider(size_t(data->size()), "application/zip",
                                 [data, interrupt](size_t offset, size_t length, httplib::DataSink &sink) {
                                     if (interrupt && offset > 0)
                                         return false;
                                     size_t n = std::min<size_t>(length, interrupt ? size_t(data->size()) / 2 : 262144);
                                     sink.write(data->constData() + offset, n);
                                     return true;
                                 });
    });

    // What the service received for a data set: parts, client connections and the merge.
    server.Get("/vservice/dataset", [&state](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard<std::mutex> lock(state.mutex);
        auto it = state.uploads.find(param(req, "md5"));
        if (it == state.uploads.end()) {
            send(res, 404, QStringLiteral("unknown data set"));
            return;
        }
        QJsonArray chunks;
        for (const auto &p : it->second.parts)
            chunks.append(p.first);
        send(res, 200, QStringLiteral("success"),
             QJsonObject{{QStringLiteral("chunks"), chunks},
                         {QStringLiteral("connections"), int(it->second.remotePorts.size())},
                         {QStringLiteral("merged"), !it->second.merged.isEmpty()},
                         {QStringLiteral("size"), double(it->second.mergedSize)}});
    });
}
