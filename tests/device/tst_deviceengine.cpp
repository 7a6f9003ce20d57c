// The command engine against the virtual reader's engine answering in-process, where every
// request frame is recorded and faults can be injected.
#include "InProcessReader.h"
#include "KxDeviceCommand.h"
#include "KxDeviceCommandThread.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceConnector.h"
#include "KxSplit.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

class TestDeviceEngine : public QObject
{
    Q_OBJECT

    struct Session
    {
        QSharedPointer<InProcessReaderState> state;
        KxDeviceConnector *connector = nullptr;
    };
    int m_next = 0;
    QList<KxDeviceConnector *> m_connectors;

    Session open(bool login = true, int bufferSize = 0)
    {
        Session s;
        const QString id = QStringLiteral("ENGINE-%1").arg(++m_next);
        s.state = installInProcessReader(id);
        s.state->bufferSize = bufferSize;
        s.connector = new KxDeviceConnector(id);
        m_connectors << s.connector;
        s.connector->setDeviceInfo({{"offLine", "1"}, {"offLine_xml", "KXS-FM800.xml"},
                                    {"Product Name", "KXS-FM800"}});
        if (!s.connector->connectDevice(true, false))
            return Session();
        if (login && s.connector->login() != 0)
            return Session();
        return s;
    }

private slots:
    void cleanup()
    {
        qDeleteAll(m_connectors);
        m_connectors.clear();
    }

    void emptyValueListFailsSync()
    {
        Session s = open(false);
        QVERIFY(s.connector);
        s.state->emptyValues = true;
        QCOMPARE(s.connector->login(), int(KxDeviceConnector::Login_CommandInit));
        QVERIFY(!s.connector->command()->syncSettings(false));
        s.state->emptyValues = false;
        QVERIFY(s.connector->connectDevice(true, false));
        QCOMPARE(s.connector->login(), 0);
        QVERIFY(s.connector->command()->syncSettings(false));
    }

    void lengthTableFilledAtLogin()
    {
        Session s = open();
        QVERIFY(s.connector);
        // The reader answers "T0-32" for the device name.
        QCOMPARE(KxDeviceConfigs::instance()->cmdLength(QStringLiteral("DEVNAM")), 32);
        QCOMPARE(KxDeviceConfigs::instance()->cmdLength(QStringLiteral("DEVDES")), 256);
        QVERIFY(!s.state->framesStartingWith("#NGRSET^").isEmpty());
    }

    void dataFormatClearComesFirst_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray() << QByteArray("#DFMCAL;");
        QTest::newRow("value") << QByteArray("0099") << QByteArray("#DFMCAL,ADD0099;");
    }
    void dataFormatClearComesFirst()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, body);
        Session s = open();
        QVERIFY(s.connector);
        s.state->clear();
        ChangedCmdInfo cmd;
        cmd.code = QStringLiteral("DFMADD");
        cmd.value = value;
        bool called = false;
        s.connector->command()->sendCmdAsync(cmd, this, true,
                                             [&](bool, const QStringList &) { called = true; });
        QTRY_VERIFY(called);
        const QByteArrayList frames = s.state->framesStartingWith("#DFM");
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.first().mid(6, frames.first().size() - 7), body);
    }

    void framesSplitAtBufferSize_data()
    {
        QTest::addColumn<int>("bufferSize");
        QTest::newRow("128") << 128;
        QTest::newRow("160") << 160;
    }
    void framesSplitAtBufferSize()
    {
        QFETCH(int, bufferSize);
        Session s = open(true, bufferSize);
        QVERIFY(s.connector);
        KxDeviceCommand *cmd = s.connector->command();
        QCOMPARE(cmd->bufferSize(), bufferSize);
        QVector<ChangedCmdInfo> changes;
        const QStringList codes = {"DEVNAM", "NGRSET", "TRGCMD", "OUTFRX", "PRESET", "SUFSET"};
        for (int round = 0; round < 4; ++round) {
            for (const QString &code : codes) {
                ChangedCmdInfo c;
                c.code = code;
                c.value = QByteArray(code == "OUTFRX" ? "[0-9]+" : "AB") + QByteArray::number(round);
                changes << c;
            }
        }
        s.state->clear();
        QStringList failed;
        QVERIFY2(cmd->saveCmds(changes, false, failed), qPrintable(failed.join(',')));
        const QByteArrayList frames = s.state->framesStartingWith("#");
        QVERIFY(frames.size() >= 2);
        int items = 0;
        for (int i = 0; i < frames.size(); ++i) {
            const QByteArray body = frames[i].mid(7, frames[i].size() - 9);
            QVERIFY(body.size() <= bufferSize);
            QVERIFY(codes.contains(QString::fromLatin1(frames[i].mid(7, 6))));
            KxSettingsRequest r;
            QVERIFY(KxParseSettingsRequest(frames[i], &r));
            items += r.items.size();
            // A frame closes only when the next item would not have fitted.
            if (i + 1 < frames.size()) {
                KxSettingsRequest next;
                QVERIFY(KxParseSettingsRequest(frames[i + 1], &next));
                const QByteArray last = r.items.last().code.toLatin1() + r.items.last().value;
                const QByteArray first = next.items.first().code.toLatin1() + next.items.first().value;
                const QByteArray piece = last.left(3) == first.left(3) ? ',' + first.mid(3) : ';' + first;
                QVERIFY(body.size() + piece.size() > bufferSize);
            }
        }
        QCOMPARE(items, changes.size());
        QCOMPARE(cmd->value("DEVNAM"), QByteArray("AB3"));
    }

    void statisticsPollingCountsFrames()
    {
        Session s = open();
        QVERIFY(s.connector);
        KxDeviceCommand *cmd = s.connector->command();
        QSignalSpy stats(cmd, &KxDeviceCommand::signal_ResultGetStatistics);
        s.state->clear();
        QElapsedTimer window;
        window.start();
        cmd->setStatisticsPolling(true);
        QTRY_VERIFY_WITH_TIMEOUT(stats.size() >= 3, 10000);
        cmd->setStatisticsPolling(false);
        const qint64 elapsed = window.elapsed();
        QTRY_COMPARE(s.state->framesStartingWith("@DBGCNC").size(), 1);
        const int polled = s.state->framesStartingWith("@DBGCNT").size();
        QVERIFY2(polled <= elapsed / KxDeviceCommandThread::kStatisticsIntervalMs + 1,
                 qPrintable(QStringLiteral("%1 polls in %2 ms").arg(polled).arg(elapsed)));
        // The cached frame is sent as built: every poll is the same bytes.
        const QByteArrayList polls = s.state->framesStartingWith("@DBGCNT");
        QCOMPARE(polls.count(polls.first()), polls.size());
        QTest::qWait(1200);
        QCOMPARE(s.state->framesStartingWith("@DBGCNT").size(), polled);
        QCOMPARE(s.state->framesStartingWith("@DBGCNC").size(), 1);
        QTRY_COMPARE(stats.size(), polled);
    }

    void statisticsCarryLiveCounters()
    {
        Session s = open();
        QVERIFY(s.connector);
        KxDeviceCommand *cmd = s.connector->command();
        qint64 reads = -1;
        connect(cmd, &KxDeviceCommand::signal_ResultGetStatistics, this, [&](const QByteArray &r) {
            QByteArray v;
            if (KxGetDataStreamResult(r, QStringLiteral("DBGCNT"), v) == DataResult_Ack)
                KxSplit(v).toInt(QStringLiteral("N"), reads);
        });
        for (int i = 0; i < 3; ++i) {
            QByteArray v;
            QCOMPARE(s.connector->queryCommand(1, QStringLiteral("#SCNITG"), v), int(DataResult_Ack));
        }
        cmd->setStatisticsPolling(true);
        QTRY_COMPARE_WITH_TIMEOUT(reads, qint64(3), 5000);
        QByteArray v;
        s.connector->queryCommand(1, QStringLiteral("#SCNITG"), v);
        QTRY_COMPARE_WITH_TIMEOUT(reads, qint64(4), 5000);  // each poll reads afresh
        cmd->setStatisticsPolling(false);
        // Stopping clears the reader's counters.
        QTRY_COMPARE(s.state->framesStartingWith("@DBGCNC").size(), 1);
        QByteArray counters;
        s.connector->queryCommand(1, QStringLiteral("@DBGCNT*"), counters);
        qint64 after = -1;
        QVERIFY(KxSplit(counters).toInt(QStringLiteral("N"), after));
        QCOMPARE(after, qint64(0));
    }

    void uniqueTaskRunsOnce()
    {
        Session s = open();
        QVERIFY(s.connector);
        KxDeviceCommand *cmd = s.connector->command();
        QSemaphore gate, started;
        cmd->asyncProcess([&](KxDeviceCommandPtr) {
            started.release();
            gate.acquire();
            return QMap<QString, QByteArray>();
        }, {});
        QVERIFY(started.tryAcquire(1, 5000));
        QAtomicInt runs;
        KxCmdTask task;
        task.id = QStringLiteral("refresh");
        task.function = [&runs](_struResultUserDatas &) { runs.ref(); return true; };
        QVERIFY(cmd->addTask(task, true));
        QVERIFY(!cmd->addTask(task, true));
        KxCmdTask other = task;
        other.id = QStringLiteral("other");
        QVERIFY(cmd->addTask(other, true));
        gate.release();
        QTRY_COMPARE(cmd->worker()->pendingTasks(), 0);
        QTRY_COMPARE(runs.loadAcquire(), 2);
        QTest::qWait(50);
        QCOMPARE(runs.loadAcquire(), 2);
    }

    // A job still using the command object when its reader goes away: the object's end waits
    // for the job, and the completion is dropped.
    void connectorGoneWhileJobRuns()
    {
        Session s = open();
        QVERIFY(s.connector);
        QSemaphore gate, started;
        QAtomicInt jobEnded;
        bool completed = false;
        s.connector->command()->asyncProcess([&](KxDeviceCommandPtr) {
            started.release();
            gate.acquire();
            jobEnded.ref();
            return QMap<QString, QByteArray>{{"x", "1"}};
        }, [&](KxDeviceCommandPtr, QMap<QString, QByteArray>) { completed = true; });
        QVERIFY(started.tryAcquire(1, 5000));
        QThread *opener = QThread::create([&gate] {
            QThread::msleep(200);
            gate.release();
        });
        opener->start();
        m_connectors.removeAll(s.connector);
        delete s.connector;
        QCOMPARE(jobEnded.loadAcquire(), 1);
        opener->wait();
        delete opener;
        QCoreApplication::processEvents();
        QVERIFY(!completed);
    }

    // Every job reports back: one that throws, and one queued on a stopped worker.
    void everyJobReportsBack()
    {
        Session s = open();
        QVERIFY(s.connector);
        KxDeviceCommand *cmd = s.connector->command();
        QMap<QString, QByteArray> thrown, refused;
        bool thrownDone = false, refusedDone = false;
        cmd->asyncProcess([](KxDeviceCommandPtr) -> QMap<QString, QByteArray> {
            throw std::runtime_error("broken job");
        }, [&](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            thrown = r;
            thrownDone = true;
        });
        QTRY_VERIFY(thrownDone);
        QVERIFY(thrown.contains("error"));
        cmd->asyncProcess({}, [&](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            refused = r;
            refusedDone = true;
        });
        QTRY_VERIFY(refusedDone);
        QVERIFY(refused.contains("error"));
    }

    void completionRunsOnMainThread()
    {
        Session s = open();
        QVERIFY(s.connector);
        QThread *workThread = nullptr;
        QThread *doneThread = nullptr;
        s.connector->command()->asyncProcess([&](KxDeviceCommandPtr c) {
            workThread = QThread::currentThread();
            QByteArray v;
            c->query(1, QStringLiteral("@DEVNAM*"), v);
            return QMap<QString, QByteArray>{{"DEVNAM", v}};
        }, [&](KxDeviceCommandPtr c, QMap<QString, QByteArray> r) {
            doneThread = QThread::currentThread();
            QVERIFY(c);
            QCOMPARE(r.value("DEVNAM"), QByteArray("KXS-FM800"));
        });
        QTRY_VERIFY(doneThread);
        QCOMPARE(doneThread, QThread::currentThread());
        QVERIFY(workThread != QThread::currentThread());
    }
};

QTEST_MAIN(TestDeviceEngine)
#include "tst_deviceengine.moc"
