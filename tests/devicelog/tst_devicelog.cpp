#include <QtTest>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>

#include "DeviceLogDownload.h"
#include "DeviceLogFrameParser.h"
#include "DeviceLogTableModel.h"
#include "KxConfig.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "KxDeviceLogConnectManager.h"
#include "KxI18nUtil.h"
#include "KxLinkFrames.h"
#include "KxScriptedUiBackend.h"
#include "LogUpdateDlg.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"

namespace {
using Readers = QList<QPair<QString, KxDeviceInfoMap>>;

QList<stLogData> numbered(int from, int count)
{
    QList<stLogData> out;
    for (int i = from; i < from + count; ++i)
        out.append({QStringLiteral("t"), 1 + i % 5, QString::number(i)});
    return out;
}

QByteArray frame(quint16 type, const QByteArray &payload)
{
    return KxKestor::make(type, payload);
}

// The readers of a started process as discovery reports them: id and information.
Readers discover(VReaderProcess &vp, const QStringList &args, int count)
{
    const QString why = VReaderSession::startForDiscovery(vp, args, count);
    if (!why.isEmpty()) {
        qWarning() << why;
        return {};
    }
    KxDeviceKit *kit = KxDeviceKit::Instance();
    QStringList addresses;
    for (const auto &r : vp.readers())
        addresses << r.address;
    kit->setScanAddresses(addresses.join(','));
    QMap<QString, QPair<QString, KxDeviceInfoMap>> bySerial;
    QMetaObject::Connection c = QObject::connect(kit, &KxDeviceKit::deviceUpdated, kit,
        [&bySerial](const QString &id, const QMap<QString, QString> &info) {
            bySerial.insert(info.value("Serial Number"), {id, info});
        });
    kit->startDeviceScan(ScanType_All, 1000);
    QElapsedTimer t;
    t.start();
    auto all = [&] {
        for (const auto &r : vp.readers())
            if (!bySerial.contains(r.serial))
                return false;
        return true;
    };
    while (!all() && t.elapsed() < 30000)
        QTest::qWait(100);
    QObject::disconnect(c);
    kit->stopDeviceScan(ScanType_All);
    Readers out;
    for (const auto &r : vp.readers())
        if (bySerial.contains(r.serial))
            out.append(bySerial.value(r.serial));
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray request(const QString &id, const QByteArray &text)
{
    QByteArray reply;
    KxDeviceKit::Instance()->sendBinaryMessage(id, KxMakeDataStreamCmd(text, DataProtocol_Settings, true), reply);
    return reply;
}
}  // namespace

class TstDeviceLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Settings (the remembered log folder) go to a profile of this run only.
        QVERIFY(m_data.isValid());
        KxConfig::instance()->setDataDir(m_data.path());
        DeviceLog::registerTypes();
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
    }

    // ---- the table's limits and filter ----------------------------------------------------
    void tableKeepsTheNewest_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("batch");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("first");  // number of the oldest line kept
        QTest::newRow("a batch of 1500 leaves its last 1000") << 10 << 1500 << 1000 << 510;
        QTest::newRow("a batch of exactly 1000 replaces all") << 600 << 1000 << 1000 << 600;
        QTest::newRow("up to 1100 together: nothing goes") << 600 << 500 << 1100 << 0;
        QTest::newRow("above 1100: at least 200 go") << 1000 << 150 << 950 << 200;
        QTest::newRow("above 1100: down to 1000") << 1100 << 900 << 1000 << 1000;
        QTest::newRow("fewer than 200 present: all go") << 150 << 990 << 990 << 150;
    }
    void tableKeepsTheNewest()
    {
        QFETCH(int, before);
        QFETCH(int, batch);
        QFETCH(int, rows);
        QFETCH(int, first);
        DeviceLogTableModel m;
        m.appendLines(numbered(0, before));
        m.appendLines(numbered(before, batch));
        QCOMPARE(m.rowCount(), rows);
        QCOMPARE(m.lines().first().data, QString::number(first));
        QCOMPARE(m.lines().last().data, QString::number(before + batch - 1));
    }

    void filterAndSavedText()
    {
        DeviceLogTableModel m;
        m.appendLines({{"2026-01-02_03:04:05", 1, "disk failed"}, {"2026-01-02_03:04:06", 3, "EXPFET changed"},
                       {"2026-01-02_03:04:07", -1, "no level"}, {"2026-01-02_03:04:08", 2, "refused"}});
        m.setLevelFilter(2);
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(m.toText(), QByteArray("2026-01-02_03:04:05\tError\tdisk failed\n"
                                        "2026-01-02_03:04:08\tWarning\trefused\n"));
        m.setLevelFilter(0);
        QCOMPARE(m.rowCount(), 4);
        QTemporaryDir dir;
        QVERIFY(m.saveText(dir.filePath("log.txt"), nullptr));
        QCOMPARE(readAll(dir.filePath("log.txt")).count('\n'), 4);
        QString error;
        QVERIFY(!m.saveText(dir.filePath("missing/log.txt"), &error));
        QVERIFY(!error.isEmpty());
    }

    // Batches below 1000 lines move rows in and out instead of rebuilding the table; with a
    // filter on, the rows shown are still exactly the kept lines the filter lets through.
    void filteredTableFollowsBatches_data()
    {
        QTest::addColumn<int>("filter");
        QTest::newRow("errors and warnings") << 2;
        QTest::newRow("everything") << 0;
    }
    void filteredTableFollowsBatches()
    {
        QFETCH(int, filter);
        DeviceLogTableModel m;
        m.setLevelFilter(filter);
        QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
        QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
        int next = 0;
        for (int batch : {400, 650, 150, 999, 130}) {
            m.appendLines(numbered(next, batch));
            next += batch;
            QStringList expected;
            for (const stLogData &l : m.lines())
                if (filter == 0 || l.level <= filter)
                    expected << l.data;
            QStringList rows;
            for (int r = 0; r < m.rowCount(); ++r)
                rows << m.data(m.index(r, DeviceLogTableModel::DataColumn)).toString();
            QCOMPARE(rows, expected);
            QCOMPARE(m.lines().last().data, QString::number(next - 1));
        }
        QCOMPARE(resets.count(), 0);
        QCOMPARE(removed.count(), 3);  // at 1200, 1999 and 1130 lines together
        // The worker hands on at most the newest 1000 lines of what it parsed in one go.
        DeviceLogParseWorker worker;
        QSignalSpy parsed(&worker, &DeviceLogParseWorker::linesParsed);
        QByteArray bytes;
        for (int i = 0; i < 1500; ++i)
            bytes += frame(4149, "Log Lvl=3;Log Data=" + QByteArray::number(i));
        worker.addData(bytes);
        worker.flush();
        QCOMPARE(parsed.count(), 1);
        const auto lines = parsed.at(0).at(0).value<QList<stLogData>>();
        QCOMPARE(lines.size(), 1000);
        QCOMPARE(lines.first().data, QString("500"));
    }

    // ---- live frames ------------------------------------------------------------------------
    void parserCutsFrames_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("lines");  // "<level>|<data>"
        const QByteArray a = frame(KxKestor::LogLine, "Log Lvl=3;Log Data=start\n");
        const QByteArray b = frame(KxKestor::LogLine, "Log Lvl=1;Log Data=a;b=c");
        QTest::newRow("whole") << QList<QByteArray>{a + b} << QStringList{"3|start", "1|a;b=c"};
        QTest::newRow("byte by byte, garbage before") << [&] {
            QList<QByteArray> out;
            for (char c : QByteArray("xxKESTO") + a)
                out << QByteArray(1, c);
            return out;
        }() << QStringList{"3|start"};
        QTest::newRow("other types skipped") << QList<QByteArray>{frame(KxKestor::Json, "{}") + b}
                                            << QStringList{"1|a;b=c"};
        QTest::newRow("no level") << QList<QByteArray>{frame(KxKestor::LogLine, "Log Data=x")}
                                  << QStringList{"-1|x"};
        QByteArray huge("KESTOR\x10\x35\x7f\xff\xff\xff", 12);
        QTest::newRow("absurd length is no frame") << QList<QByteArray>{huge + a} << QStringList{"3|start"};
        QTest::newRow("incomplete waits") << QList<QByteArray>{a.left(20)} << QStringList{};
    }
    void parserCutsFrames()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, lines);
        DeviceLogFrameParser p;
        QStringList got;
        for (const QByteArray &c : chunks)
            for (const stLogData &l : p.append(c, QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9)))) {
                got << QStringLiteral("%1|%2").arg(l.level).arg(l.data);
                QCOMPARE(l.time, QString("2026-05-06_07:08:09"));
            }
        QCOMPARE(got, lines);
    }

    // ---- files ------------------------------------------------------------------------------
    void oneLargePieceIsSplit()
    {
        QTemporaryDir dir;
        KxDeviceLogConnect c("x", {});
        c.beginFiles(dir.filePath("SN_P_stamp_"));
        const QByteArray piece(60000000, 'a');
        c.handleLogData(piece.left(10));
        c.handleLogData(piece.mid(10));
        const QStringList files = c.endFiles();
        QCOMPARE(files, QStringList({dir.filePath("SN_P_stamp_0.Kxlog"), dir.filePath("SN_P_stamp_1.Kxlog")}));
        QCOMPARE(QFileInfo(files[0]).size(), qint64(52428800));
        QCOMPARE(QFileInfo(files[1]).size(), qint64(60000000 - 52428800));
    }

    void sendWithoutConnection()
    {
        QByteArray reply;
        QCOMPARE(KxDeviceLogConnectManager::instance()->sendToLog("no such reader", "@LOGRCV*", reply), -3);
    }

    // ---- against the virtual reader ---------------------------------------------------------
    void downloadEqualsReaderLog_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("files");
        QTest::newRow("fresh reader") << QStringList{} << 1;
        QTest::newRow("60M log, two files") << QStringList{"--log-size", "60M"} << 2;
    }
    void downloadEqualsReaderLog()
    {
        QFETCH(QStringList, args);
        QFETCH(int, files);
        VReaderProcess vp;
        const Readers readers = discover(vp, args, 1);
        QCOMPARE(readers.size(), 1);
        QTemporaryDir dir;
        DeviceLogDownload d;
        QSignalSpy done(&d, &DeviceLogDownload::readerFinished);
        QVERIFY(d.start(readers, dir.path()));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 120000);
        QVERIFY(done[0][1].toBool());
        const QStringList written = done[0][2].toStringList();
        QCOMPARE(written.size(), files);
        const KxDeviceInfoMap &info = readers[0].second;
        QCOMPARE(written[0], dir.path() + "/" + info.value("Serial Number") + "_" + info.value("Product Name")
                                 + "_" + d.batchStamp() + "_0.Kxlog");
        QByteArray fetched;
        for (const QString &f : written)
            fetched += readAll(f);
        // What the reader wrote to its own log file, up to the download (it may log on after).
        const QByteArray stored = readAll(vp.stateDir() + "/" + vp.readers()[0].serial + ".log");
        QVERIFY(fetched.size() > 40);
        QVERIFY(fetched.endsWith('\n'));
        QCOMPARE(stored.left(fetched.size()), fetched);
        QVERIFY(fetched.contains(" 3 start: firmware V1.00.000"));
        if (files == 2) {
            QCOMPARE(QFileInfo(written[0]).size(), qint64(52428800));
            QVERIFY(fetched.size() >= 60 * 1024 * 1024);
        }
    }

    void cancelEndsDownload()
    {
        VReaderProcess vp;
        // Answers come late: the log's blocks are there long before its answer.
        const Readers readers = discover(vp, {"--log-size", "8M", "--delay-ms", "1500"}, 1);
        QCOMPARE(readers.size(), 1);
        QTemporaryDir dir;
        DeviceLogDownload d;
        QSignalSpy done(&d, &DeviceLogDownload::readerFinished);
        QVERIFY(d.start(readers, dir.path()));
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(dir.path()).entryList({"*.Kxlog"}).isEmpty(), 30000);
        d.cancel();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 30000);
        QVERIFY(!done[0][1].toBool());
        // What arrived is kept, never under the name of a whole log.
        QCOMPARE(QDir(dir.path()).entryList({"*.Kxlog"}), QStringList());
        QCOMPARE(QDir(dir.path()).entryList({"*.Kxlog.part"}).size(), 1);
        QVERIFY(!d.isRunning());
    }

    void liveLogFollowsActiveSwitch()
    {
        VReaderProcess vp;
        const Readers readers = discover(vp, {}, 1);
        QCOMPARE(readers.size(), 1);
        const QString id = readers[0].first;
        KxDeviceLogConnectManager *m = KxDeviceLogConnectManager::instance();
        KxDeviceLogConnect *c = m->connection(id, readers[0].second);
        c->setMode(KxDeviceLogConnect::LiveMode);
        DeviceLogFrameParser parser;
        QStringList lines;
        QObject::connect(c, &KxDeviceLogConnect::liveData, this, [&](const QByteArray &b) {
            for (const stLogData &l : parser.append(b))
                lines << QStringLiteral("%1|%2").arg(l.level).arg(l.data);
        });
        QSignalSpy lost(c, &KxDeviceLogConnect::linkLost);
        QVERIFY(m->openLink(id));
        QVERIFY(m->isLinkOpen(id));
        QVERIFY(m->startReceive(id));
        KxDeviceKit *kit = KxDeviceKit::Instance();
        const auto r = vp.readers()[0];
        QVERIFY(kit->connectToDevice_Cmd("cmd-live", QStringLiteral("%1:%2").arg(r.address).arg(r.port)));
        QVERIFY(KxCheckDataStreamCmd(request("cmd-live", "#C28ENA0"), "C28ENA"));
        QVERIFY(KxCheckDataStreamCmd(request("cmd-live", "#LOGACT1"), "LOGACT"));
        QVERIFY(KxCheckDataStreamCmd(request("cmd-live", "#C28ENA1"), "C28ENA"));
        QTRY_VERIFY_WITH_TIMEOUT(lines.contains("3|#C28ENA1"), 20000);
        // Before the switch nothing went live.
        QVERIFY(!lines.contains("3|#C28ENA0"));
        kit->disconnectFromDeviceEx("cmd-live");
        vp.stop();
        QTRY_VERIFY_WITH_TIMEOUT(lost.count() > 0, 20000);
        QVERIFY(!m->isLinkOpen(id));
        m->closeLink(id);
    }

    void dialogDownloadsTwoReaders()
    {
        VReaderProcess vp;
        const Readers readers = discover(vp, {"--count", "2"}, 2);
        QCOMPARE(readers.size(), 2);
        KxScriptedUiBackend ui;
        QTemporaryDir dir;
        LogUpdateDlg dlg(readers);
        dlg.folderEdit()->setText(dir.filePath("logs"));
        auto *download = dlg.findChild<QPushButton *>("btnDownload");
        download->click();
        QCOMPARE(ui.toastTexts(), QStringList{"#IDS_Select_LogDevice"});
        dlg.findChild<QCheckBox *>("chkAll")->setChecked(true);
        download->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.download()->isRunning(), 60000);
        const QString html = dlg.results()->toHtml();
        QCOMPARE(html.count("icon_succ.png"), 2);
        QVERIFY(!html.contains("icon_fail.png"));
        for (const auto &r : readers)
            QVERIFY(html.contains(r.second.value("Serial Number")));
        QCOMPARE(QDir(dir.filePath("logs")).entryList({"*_0.Kxlog"}).size(), 2);
        QCOMPARE(DeviceLogDownload::defaultDir(), dir.filePath("logs"));
        QVERIFY(ui.messageTexts().isEmpty());
    }

private:
    QTemporaryDir m_data;
};

QTEST_MAIN(TstDeviceLog)
#include "tst_devicelog.moc"
