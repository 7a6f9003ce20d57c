#include "FileDownload.h"
#include "FileUpload.h"
#include "KxConfig.h"
#include "KxSettings.h"
#include "TrainingDataSet.h"
#include "TrainingRequests.h"
#include "TrainingTaskMonitor.h"
#include "VServiceProcess.h"

#include <KZip>

#include <QCryptographicHash>
#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace
{

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString md5Of(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// A file of `size` bytes that is not all the same byte, written in slices.
bool writeSized(const QString &path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray slice(1 << 20, '\0');
    for (int i = 0; i < slice.size(); ++i)
        slice[i] = char((i * 7919) >> 3);
    for (qint64 left = size; left > 0;) {
        const qint64 n = qMin<qint64>(left, slice.size());
        if (f.write(slice.constData(), n) != n)
            return false;
        left -= n;
    }
    return true;
}

} // namespace

class TstTraining : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    QTemporaryDir m_work;
    VServiceProcess m_service;
    QString m_dataSet; // a packed, labelled data set
    QString m_dataSetMd5;

    // Uploads and answers (ok, message).
    QPair<bool, QString> upload(FileUpload &u, const QString &path)
    {
        QSignalSpy spy(&u, &FileUpload::finished);
        if (!u.start(path))
            return {false, "not started"};
        if (!spy.wait(120000))
            return {false, "no answer"};
        return {spy.at(0).at(0).toBool(), spy.at(0).at(1).toString()};
    }

    QString makeImages(const QString &name, int count)
    {
        const QString folder = m_work.filePath(name);
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i) {
            QImage img(64, 24, QImage::Format_Grayscale8);
            img.fill(200 - i * 10);
            img.save(QStringLiteral("%1/line%2.png").arg(folder).arg(i));
        }
        return folder;
    }

    QString startTask(int epochs)
    {
        TrainStart start;
        QSignalSpy spy(&start, &TrainStart::started);
        const QJsonObject doc{{"trainRound", epochs}, {"trainRate", 0.001}, {"width", 128}, {"height", 32},
                              {"trainModel", 1}, {"batchSize", 8}, {"modelDesc", "test"}};
        if (!start.start(TrainStart::parameters(doc, m_dataSetMd5, "ocr", "cpu")) || !spy.wait(30000)
            || !spy.at(0).at(0).toBool())
            return QString();
        return spy.at(0).at(2).toString();
    }

    // Follows a task to its end; the states it showed, in order.
    QList<GetTaskStatus::State> follow(const QString &taskId, QStringList *log = nullptr, int *progress = nullptr,
                                       QVariantMap *best = nullptr)
    {
        TrainingTaskMonitor m;
        QList<GetTaskStatus::State> states;
        connect(&m, &TrainingTaskMonitor::stateChanged, this,
                [&](GetTaskStatus::State s, const QString &) { states << s; });
        if (log)
            connect(&m, &TrainingTaskMonitor::logLines, this, [log](const QStringList &l) { *log << l; });
        if (best)
            connect(&m, &TrainingTaskMonitor::metrics, this, [best](const QVariantMap &b) { *best = b; });
        QSignalSpy ended(&m, &TrainingTaskMonitor::ended);
        m.start(taskId, 50);
        if (!ended.wait(60000))
            return {}; // never ended: every caller's comparison fails
        if (progress)
            *progress = m.progress();
        return states;
    }

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        QVERIFY(m_service.start({"--step-ms", "150"}));
        KxSettings::instance()->setValue("training", "url", m_service.trainingUrl());
        const QString folder = makeImages("set", 4);
        QString error;
        m_dataSet = m_work.filePath("image.zip");
        QVERIFY2(TrainingDataSet::pack(folder, {{"line0.png", "AB12"}, {"line1.png", "CD34"}}, m_dataSet, &error),
                 qPrintable(error));
        m_dataSetMd5 = md5Of(readAll(m_dataSet));
        FileUpload u;
        QCOMPARE(upload(u, m_dataSet), qMakePair(true, QStringLiteral("success")));
        QCOMPARE(u.md5(), m_dataSetMd5);
    }

    void init() { QVERIFY(m_service.setFaults({{"refuse_part", -1}, {"merge_wrong_md5", false},
                                                {"task_error", false}, {"download_interrupt", false}})); }

    void dataSetArchive()
    {
        const QString folder = makeImages("labels", 3);
        QString error;
        // Labels survive a round trip through the folder's label file, cleaned to one line.
        QVERIFY(TrainingDataSet::writeLabels(folder, {{"line0.png", "A\tB"}, {"line2.png", " X\nY "}}, &error));
        const QMap<QString, QString> labels = TrainingDataSet::readLabels(folder);
        QCOMPARE(labels, (QMap<QString, QString>{{"line0.png", "A B"}, {"line2.png", "X Y"}}));
        QCOMPARE(TrainingDataSet::imageFiles(folder), QStringList({"line0.png", "line1.png", "line2.png"}));

        const QString zipPath = m_work.filePath("labels.zip");
        QVERIFY(TrainingDataSet::pack(folder, labels, zipPath, &error));
        KZip zip(zipPath);
        QVERIFY(zip.open(QIODevice::ReadOnly));
        const KArchiveFile *labelFile = zip.directory()->file("label.txt");
        QVERIFY(labelFile);
        QCOMPARE(labelFile->data(), QByteArray("line0.png\tA B\nline2.png\tX Y\n"));
        QVERIFY(zip.directory()->file("images/line0.png"));
        QVERIFY(!zip.directory()->file("images/line1.png")); // unlabelled: left out
        QCOMPARE(zip.directory()->file("images/line2.png")->data(), readAll(folder + "/line2.png"));

        QVERIFY(!TrainingDataSet::pack(folder, {{"line1.png", "  "}}, m_work.filePath("none.zip"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(m_work.filePath("none.zip")));
    }

    void partBoundaries_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QList<int>>("chunks");
        QTest::newRow("exactly one part") << qint64(52428800) << QList<int>{0};
        QTest::newRow("one byte more") << qint64(52428801) << QList<int>{0, 1};
    }

    void partBoundaries()
    {
        QFETCH(qint64, size);
        QFETCH(QList<int>, chunks);
        const QString path = m_work.filePath("sized.bin");
        QVERIFY(writeSized(path, size));
        FileUpload u;
        QCOMPARE(upload(u, path), qMakePair(true, QStringLiteral("success")));
        QCOMPARE(u.partCount(), chunks.size());
        QCOMPARE(u.workersStarted(), chunks.size());
        const QJsonObject held = m_service.dataset(u.md5());
        QList<int> got;
        for (const QJsonValue &v : held.value("chunks").toArray())
            got << v.toInt();
        QCOMPARE(got, chunks);
        QCOMPARE(qint64(held.value("size").toDouble()), size);
        QFile::remove(path);
    }

    void thirtyPartsUseTenWorkers()
    {
        const QString path = m_work.filePath("thirty.bin");
        QVERIFY(writeSized(path, 30 * 1000 - 17));
        FileUpload u;
        u.setPartSize(1000);
        QSignalSpy progress(&u, &FileUpload::progress);
        QCOMPARE(upload(u, path), qMakePair(true, QStringLiteral("success")));
        QCOMPARE(u.partCount(), 30);
        QCOMPARE(u.workersStarted(), 10);
        const QJsonObject held = m_service.dataset(u.md5());
        QCOMPARE(held.value("chunks").toArray().size(), 30);
        QVERIFY(held.value("merged").toBool());
        QCOMPARE(u.md5(), md5Of(readAll(path)));
        QVERIFY(progress.count() > 0);
        QCOMPARE(progress.last().at(0).toInt(), 100);
    }

    void uploadFailures_data()
    {
        QTest::addColumn<QJsonObject>("faults");
        QTest::addColumn<QString>("message");
        QTest::newRow("a part refused") << QJsonObject{{"refuse_part", 2}} << "part 2 refused";
        QTest::newRow("merge with a wrong md5") << QJsonObject{{"merge_wrong_md5", true}} << "md5 mismatch";
        QTest::newRow("missing file") << QJsonObject() << "File Open fault";
    }

    void uploadFailures()
    {
        QFETCH(QJsonObject, faults);
        QFETCH(QString, message);
        QVERIFY(m_service.setFaults(faults));
        const QString path = message == "File Open fault" ? m_work.filePath("absent.zip") : m_work.filePath("f.bin");
        if (!message.startsWith("File"))
            QVERIFY(writeSized(path, 5000 + faults.size()));
        FileUpload u;
        u.setPartSize(1000);
        const auto result = upload(u, path);
        QVERIFY(!result.first);
        QVERIFY2(result.second.contains(message), qPrintable(result.second));
        QVERIFY(!u.isRunning());
    }

    void taskRunsToFinishAndResultDownloads()
    {
        const QString id = startTask(3);
        QVERIFY(!id.isEmpty());
        QStringList log;
        int progress = 0;
        QVariantMap best;
        const auto states = follow(id, &log, &progress, &best);
        QCOMPARE(states, (QList<GetTaskStatus::State>{GetTaskStatus::Training, GetTaskStatus::Quantification,
                                                      GetTaskStatus::Finish}));
        QCOMPARE(progress, 100);
        QCOMPARE(log.filter("epoch 3/3").size(), 1);
        QCOMPARE(log.filter("epoch ").size(), 3); // every line once, none repeated
        QCOMPARE(best.value("epoch").toInt(), 3);
        QVERIFY(best.contains("accuracy"));

        // Download over an existing file replaces it.
        const QString folder = m_work.filePath("results");
        QDir().mkpath(folder);
        const QString target = FileDownload::targetPath(folder, id);
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous result");
        old.close();
        FileDownload d;
        QSignalSpy done(&d, &FileDownload::downloaded);
        QVERIFY(d.start(id, folder));
        QVERIFY(done.wait(30000));
        QCOMPARE(done.at(0).at(0).toBool(), true);
        QCOMPARE(done.at(0).at(2).toString(), target);
        KZip zip(target);
        QVERIFY(zip.open(QIODevice::ReadOnly));
        QVERIFY(zip.directory()->file("model/ocr_model.bin"));
        zip.close();

        // A download cut off half-way keeps the result already there.
        const QByteArray good = readAll(target);
        QVERIFY(m_service.setFaults({{"download_interrupt", true}}));
        FileDownload cut;
        QSignalSpy cutDone(&cut, &FileDownload::downloaded);
        QVERIFY(cut.start(id, folder));
        QVERIFY(cutDone.wait(30000));
        QCOMPARE(cutDone.at(0).at(0).toBool(), false);
        QCOMPARE(readAll(target), good);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({QFileInfo(target).fileName()}));
    }

    void failingTasks_data()
    {
        QTest::addColumn<bool>("badDataSet");
        QTest::addColumn<int>("endState");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("task error") << false << int(GetTaskStatus::TrainError) << "training diverged";
        QTest::newRow("data set without labels") << true << int(GetTaskStatus::UnzipError) << "label.txt is missing";
    }

    void failingTasks()
    {
        QFETCH(bool, badDataSet);
        QFETCH(int, endState);
        QFETCH(QString, lastLine);
        const QString keepMd5 = m_dataSetMd5;
        if (badDataSet) {
            // A zip without a label file uploads fine; the service fails when it unpacks it.
            const QString path = m_work.filePath("unlabelled.zip");
            KZip zip(path);
            QVERIFY(zip.open(QIODevice::WriteOnly));
            zip.writeFile("images/a.png", "png");
            QVERIFY(zip.close());
            FileUpload u;
            QCOMPARE(upload(u, path).first, true);
            m_dataSetMd5 = u.md5();
        } else {
            QVERIFY(m_service.setFaults({{"task_error", true}}));
        }
        const QString id = startTask(5);
        m_dataSetMd5 = keepMd5;
        QVERIFY(!id.isEmpty());
        QStringList log;
        const auto states = follow(id, &log);
        QVERIFY(!states.isEmpty());
        QCOMPARE(int(states.last()), endState);
        QVERIFY2(log.last().contains(lastLine), qPrintable(log.join('|')));
        // No result for a failed task: the service's reason, and no file.
        FileDownload d;
        QSignalSpy done(&d, &FileDownload::downloaded);
        QVERIFY(d.start(id, m_work.filePath("failed")));
        QVERIFY(done.wait(30000));
        QCOMPARE(done.at(0).at(0).toBool(), false);
        QVERIFY(done.at(0).at(1).toString().contains("no result"));
        QVERIFY(QDir(m_work.filePath("failed")).entryList(QDir::Files).isEmpty());
    }

    void unknownStateKeepsDisplay()
    {
        QVERIFY(m_service.setFaults({{"step_ms", 60000}})); // stays queued for a minute
        const QString id = startTask(2);
        QVERIFY(m_service.setFaults({{"step_ms", 150}}));
        QVERIFY(!id.isEmpty());
        GetTaskStatus status;
        QSignalSpy spy(&status, &GetTaskStatus::status);
        QVERIFY(status.start(id));
        QVERIFY(spy.wait(30000));
        QCOMPARE(spy.at(0).at(2).toString(), QStringLiteral("TRAIN TASK QUEUED"));
        QCOMPARE(GetTaskStatus::parseState(spy.at(0).at(2).toString()), GetTaskStatus::Unknown);

        TrainingTaskMonitor m;
        QSignalSpy changed(&m, &TrainingTaskMonitor::stateChanged);
        QSignalSpy lines(&m, &TrainingTaskMonitor::logLines);
        m.start(id, 50);
        QTRY_VERIFY_WITH_TIMEOUT(lines.count() > 0, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(m.logRow() > 0, 30000);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m.state(), GetTaskStatus::Unknown);
        m.stop();
        KillTrain kill;
        QSignalSpy killed(&kill, &KillTrain::killed);
        QVERIFY(kill.start(id));
        QVERIFY(killed.wait(30000));
    }

    void killTask()
    {
        QVERIFY(m_service.setFaults({{"step_ms", 400}}));
        const QString id = startTask(50);
        QVERIFY(!id.isEmpty());
        KillTrain kill;
        QSignalSpy killed(&kill, &KillTrain::killed);
        QVERIFY(kill.start(id));
        QVERIFY(!kill.start(id)); // one request at a time
        QVERIFY(killed.wait(30000));
        QCOMPARE(killed.at(0).at(0).toBool(), true);
        QStringList log;
        const auto states = follow(id, &log);
        QVERIFY(m_service.setFaults({{"step_ms", 150}}));
        QCOMPARE(states.value(states.size() - 1), GetTaskStatus::TrainError);
        QCOMPARE(log.last(), QStringLiteral("task stopped by the user"));

        QVERIFY(kill.start("999999"));
        QVERIFY(killed.wait(30000));
        QCOMPARE(killed.at(1).at(0).toBool(), false);
        QCOMPARE(killed.at(1).at(1).toString(), QStringLiteral("unknown task"));
    }

    void logReplyShapes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("nextRow");
        QTest::addColumn<int>("progress");
        QTest::newRow("lines as a list") << QByteArray(R"({"log_context":["a","b"],"log_context_row":7,"progress":40})")
                                         << QStringList({"a", "b"}) << 7 << 40;
        QTest::newRow("lines as one text") << QByteArray(R"({"log_context":"a\nb\n","log_context_row":"9"})")
                                           << QStringList({"a", "b"}) << 9 << 0;
        QTest::newRow("no row: moves on by the lines") << QByteArray(R"({"log_context":["x"]})") << QStringList({"x"})
                                                       << 6 << 0;
        QTest::newRow("a row behind the asked one") << QByteArray(R"({"log_context":[],"log_context_row":2})")
                                                    << QStringList() << 5 << 0;
        QTest::newRow("progress out of range") << QByteArray(R"({"progress":250})") << QStringList() << 5 << 100;
        QTest::newRow("not an object") << QByteArray("[1,2]") << QStringList() << 5 << 0;
    }

    void logReplyShapes()
    {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, lines);
        QFETCH(int, nextRow);
        QFETCH(int, progress);
        const QJsonDocument doc = QJsonDocument::fromJson(data);
        const QJsonValue v = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
        const TrainingLog log = GetTaskLog::parse(v, 5);
        QCOMPARE(log.lines, lines);
        QCOMPARE(log.nextRow, nextRow);
        QCOMPARE(log.progress, progress);
    }

    void malformedReply()
    {
        // A peer that answers HTTP with a body that is no envelope.
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost));
        connect(&peer, &QTcpServer::newConnection, this, [&peer] {
            QTcpSocket *s = peer.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [s] {
                s->readAll();
                s->write("HTTP/1.1 200 OK\r\nContent-Length: 9\r\nConnection: close\r\n\r\n<html/>\r\n");
                s->disconnectFromHost();
            });
        });
        GetTaskStatus status;
        status.setBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(peer.serverPort()));
        QSignalSpy spy(&status, &GetTaskStatus::status);
        QVERIFY(status.start("1"));
        QVERIFY(spy.wait(30000));
        QCOMPARE(spy.at(0).at(0).toBool(), false);
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("the service sent a malformed reply"));
    }

    void modelListAndRefusals()
    {
        GetModelList list;
        QSignalSpy spy(&list, &GetModelList::models);
        QVERIFY(list.start("ocr"));
        QVERIFY(spy.wait(30000));
        QVERIFY(spy.at(0).at(0).toBool());
        const auto models = spy.at(0).at(2).value<QList<TrainingModel>>();
        QCOMPARE(models.size(), 2);
        QCOMPARE(models.at(0).name, QStringLiteral("ocr-small"));
        QCOMPARE(models.at(1).id, 2);

        // The server's message for a refused start; the network's for a service that is gone.
        TrainStart start;
        QSignalSpy started(&start, &TrainStart::started);
        QVERIFY(start.start(TrainStart::parameters({{"trainRound", 0}}, m_dataSetMd5, "ocr", "cpu")));
        QVERIFY(started.wait(30000));
        QCOMPARE(started.at(0).at(0).toBool(), false);
        QVERIFY(started.at(0).at(1).toString().contains("must be positive"));
        quint16 port = 0;
        {
            QTcpServer s;
            QVERIFY(s.listen(QHostAddress::LocalHost));
            port = s.serverPort();
        }
        start.setBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
        QVERIFY(start.start(TrainStart::parameters({{"trainRound", 1}}, m_dataSetMd5, "ocr", "cpu")));
        QVERIFY(started.wait(30000));
        QCOMPARE(started.at(1).at(0).toBool(), false);
        QVERIFY(!started.at(1).at(1).toString().isEmpty());
    }
};

QTEST_MAIN(TstTraining)
#include "tst_training.moc"
