// The kit against the real virtual reader on loopback: discovery of network and pseudo-terminal
// readers, round trips, dropped links and damaged replies.
#include <QtTest>

#include <thread>
#include <vector>

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "VReaderProcess.h"

namespace {
QByteArray query(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings, true);
}
}  // namespace

class TstKitVReader : public QObject
{
    Q_OBJECT
private:
    KxDeviceKit *kit = KxDeviceKit::Instance();

    // Starts the reader and scans until its network readers (and pty reader) are all reported.
    QMap<QString, KxDeviceInfoMap> discover(VReaderProcess &vr, const QStringList &args, int expected)
    {
        QMap<QString, KxDeviceInfoMap> found;
        if (!vr.start(args))
            return found;
        kit->setDiscoveryPort(vr.discoveryPort());
        kit->setScanAddresses(vr.firstAddress() + "/29");
        kit->setSerialPorts(vr.ptys());
        kit->setSystemSerialPortsEnabled(false);
        QSignalSpy updated(kit, &KxDeviceKit::deviceUpdated);
        kit->startDeviceScan(ScanType_All, 300);
        QElapsedTimer t;
        t.start();
        while (found.size() < expected && t.elapsed() < 10000) {
            updated.wait(200);
            for (const auto &args : qAsConst(updated))
                found.insert(args.at(0).toString(), args.at(1).value<QMap<QString, QString>>());
        }
        kit->stopDeviceScan(ScanType_All);
        return found;
    }

    QString networkId(const QMap<QString, KxDeviceInfoMap> &found)
    {
        for (auto it = found.cbegin(); it != found.cend(); ++it)
            if (!it.value().contains("Device Type"))
                return it.key();
        return QString();
    }

private slots:
    void discoversNetworkAndSerialReaders()
    {
        VReaderProcess vr;
        const auto found = discover(vr, {"--model", "KXS-FM800", "--count", "2", "--pty"}, 3);
        QCOMPARE(found.size(), 3);
        int network = 0, serial = 0;
        for (auto it = found.cbegin(); it != found.cend(); ++it) {
            const KxDeviceInfoMap &info = it.value();
            QCOMPARE(info.value("Product Name"), QString("KXS-FM800"));
            QVERIFY(!info.value("Serial Number").isEmpty());
            if (info.contains("Device Type")) {
                ++serial;
                QVERIFY(it.key().contains(":COM"));
                QVERIFY(!info.contains("Ip Address"));
                QCOMPARE(info.value("Port Name"), vr.ptys().value(0));
            } else {
                ++network;
                QVERIFY(KxAddressPolicy::isAllowed(QHostAddress(info.value("Ip Address"))));
                QCOMPARE(info.value("Cmd Port"), QString::number(vr.port()));
                QVERIFY(info.contains("MAC Address"));
                QVERIFY(info.contains("Supp Gr"));
            }
        }
        QCOMPARE(network, 2);
        QCOMPARE(serial, 1);
    }

    void connectQueryAndConcurrentSends()
    {
        VReaderProcess vr;
        const auto found = discover(vr, {"--model", "KXS-FM800", "--count", "1"}, 1);
        const QString id = networkId(found);
        QVERIFY(!id.isEmpty());
        QVERIFY(kit->connectToDevice(id, ConnectType_Reader, true, DevicePort_Main));
        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage(id, query("@*"), reply, 60000), 0);
        KxDataStreamParser all(reply, DataType_Frame);
        QVERIFY(all.isValid());
        QVERIFY(all.tags().size() > 10);
        QVERIFY(kit->setTimeOut_7E01(id, 20000));

        std::atomic<int> bad{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, id] {
                for (int i = 0; i < 10; ++i) {
                    QByteArray r, v;
                    if (KxDeviceKit::Instance()->sendBinaryMessage(id, query("@PRNQRY*"), r, 20000) != 0
                        || KxGetDataStreamResult(r, "PRNQRY", v) != DataResult_Ack || v.isEmpty())
                        ++bad;
                }
            });
        for (auto &th : threads)
            th.join();
        QCOMPARE(bad.load(), 0);
        kit->disconnectFromDeviceEx(id, DevicePort_Main);
    }

    // A blocking send on the main thread, with no event loop running between sends, while the
    // reader logs a line for every change (far more than a pipe holds).
    void blockingSendsFromTheMainThread()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800", "--count", "1"}));
        QVERIFY(!vr.readers().isEmpty());
        const auto r = vr.readers().first();
        const QString id = QStringLiteral("main-thread-%1").arg(r.serial);
        QVERIFY(kit->connectToDevice_Cmd(id, QStringLiteral("%1:%2").arg(r.address).arg(r.port)));
        QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
        int failedSends = 0, missingAcks = 0;
        for (int frame = 0; frame < 40; ++frame) {
            KxDataStreamMaker maker;
            for (int i = 0; i < 100; ++i)
                maker.addCmd("FRMTMO", QByteArray::number(10000 + frame * 100 + i));
            QByteArray reply;
            if (kit->sendBinaryMessage(id, maker.toByteArray(false), reply, 5000) != 0) {
                ++failedSends;
                continue;
            }
            QList<QString> failed;
            if (!KxDataStreamParser(reply, DataType_Frame).checkAllCmdAck(failed))
                ++missingAcks;
        }
        QCOMPARE(failedSends, 0);
        QCOMPARE(missingAcks, 0);
        // The last change is the one in force.
        QByteArray reply, value;
        QCOMPARE(kit->sendBinaryMessage(id, query("@FRMTMO*"), reply, 5000), 0);
        QCOMPARE(KxGetDataStreamResult(reply, "FRMTMO", value), int(DataResult_Ack));
        QCOMPARE(value, QByteArray::number(10000 + 39 * 100 + 99));
        kit->disconnectFromDeviceEx(id, DevicePort_Main);
    }

    void droppedLinkFailsAndReconnects()
    {
        VReaderProcess vr;
        const auto found = discover(vr, {"--count", "1", "--drop-after", "2"}, 1);
        const QString id = networkId(found);
        QVERIFY(!id.isEmpty());
        QVERIFY(kit->connectToDevice(id, ConnectType_Reader, true, DevicePort_Main));
        QByteArray reply;
        int code = 0;
        for (int i = 0; i < 4 && code == 0; ++i)
            code = kit->sendBinaryMessage(id, query("@PRNQRY*"), reply, 60000);
        QCOMPARE(code, int(KxSendError::LinkLost));
        QTRY_VERIFY_WITH_TIMEOUT(kit->isConnected(id), 15000);
        kit->disconnectFromDeviceEx(id, DevicePort_Main);
    }

    void corruptedRepliesAreRejected()
    {
        VReaderProcess vr;
        const auto found = discover(vr, {"--count", "1", "--corrupt-every", "2"}, 1);
        const QString id = networkId(found);
        QVERIFY(!id.isEmpty());
        QVERIFY(kit->connectToDevice(id, ConnectType_Reader, true, DevicePort_Main));
        int ok = 0, rejected = 0;
        for (int i = 0; i < 6; ++i) {
            QByteArray reply;
            const int code = kit->sendBinaryMessage(id, query("@PRNQRY*"), reply, 20000);
            if (code == 0 && KxDataStreamParser(reply, DataType_Frame).isValid())
                ++ok;
            else if (code == KxSendError::BadReply)
                ++rejected;
        }
        QVERIFY(rejected >= 2);
        QVERIFY(ok >= 2);
        QCOMPARE(ok + rejected, 6);
        kit->disconnectFromDeviceEx(id, DevicePort_Main);
    }
};

QTEST_MAIN(TstKitVReader)
#include "tst_kitvreader.moc"
