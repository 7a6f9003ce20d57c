// Discovery against in-test readers: datagram readers on loopback addresses, a reader on a
// pseudo-terminal, alive checks, and the datagram requests to one reader.
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QUdpSocket>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "KxDeviceKit.h"
#include "KxDiscovery.h"
#include "KxFrameAssembler.h"
#include "KxRequestParser.h"

namespace {

// Answers searches with its information map and network requests with a result.
struct UdpReader
{
    QUdpSocket socket;
    KxDeviceInfoMap info;
    bool answering = true;
    QList<KxDiscovery::Datagram> requests;

    bool bind(const QString &address, quint16 port)
    {
        if (!socket.bind(QHostAddress(address), port))
            return false;
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram dg = socket.receiveDatagram();
                KxDiscovery::Datagram in;
                if (!answering || !KxDiscovery::decode(dg.data(), &in))
                    continue;
                KxDiscovery::Datagram out;
                out.transaction = in.transaction;
                if (in.type == KxDiscovery::Search) {
                    out.type = KxDiscovery::Information;
                    out.fields = info;
                } else {
                    requests.append(in);
                    out.type = quint8(in.type + 1);
                    out.fields = {{"Serial Number", info["Serial Number"]}, {"MAC Address", info["MAC Address"]}};
                    out.result = KxDiscovery::Result_Success;
                }
                socket.writeDatagram(KxDiscovery::encode(out), dg.senderAddress(), quint16(dg.senderPort()));
            }
        });
        return true;
    }
};

// A reader on the master side of a pseudo-terminal that answers the identity query.
struct PtyReader
{
    int master = -1;
    QString slavePath;
    QSocketNotifier *notifier = nullptr;
    KxFrameAssembler assembler{KxFrameAssembler::Side::Reader};
    QByteArray infoJson = R"({"Serial Number":"SER42","Product Name":"KXS-H7","Device Type":"USB CDC","COM Type":"1"})";

    bool open()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return false;
        slavePath = QString::fromLocal8Bit(ptsname(master));
        notifier = new QSocketNotifier(master, QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [this] {
            char buf[4096];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                return;
            assembler.append(QByteArray(buf, int(n)));
            KxFrameAssembler::Frame f;
            while (assembler.next(&f)) {
                KxSettingsRequest req;
                if (f.type != KxFrameAssembler::FrameType::TextRequest || !KxParseSettingsRequest(f.bytes, &req)
                    || req.items.isEmpty() || req.items.first().code != "IDNQRY")
                    continue;
                KxSettingsReply reply;
                reply.tags.append({"IDNQRY", 6, {{QString(), 6, infoJson}}});
                const QByteArray bytes = KxMakeSettingsReply(reply);
                if (::write(master, bytes.constData(), size_t(bytes.size())) != bytes.size())
                    qWarning("short write on the pseudo-terminal");
            }
        });
        return true;
    }
    ~PtyReader()
    {
        delete notifier;
        if (master >= 0)
            ::close(master);
    }
};

// addDevice blocks its caller; the in-test reader answers from this thread's event loop.
int addDeviceAside(const QString &ip, int port)
{
    std::atomic<int> result{99};
    std::thread th([&] { result = KxDeviceKit::Instance()->addDevice(ip, port); });
    QElapsedTimer t;
    t.start();
    while (result == 99 && t.elapsed() < 10000)
        QTest::qWait(10);
    th.join();
    return result;
}

quint16 freeUdpPort(const QString &address)
{
    QUdpSocket s;
    s.bind(QHostAddress(address), 0);
    return s.localPort();
}

}  // namespace

class TstKitDiscovery : public QObject
{
    Q_OBJECT
private:
    KxDeviceKit *kit = KxDeviceKit::Instance();
    quint16 port = 0;

private slots:
    void initTestCase()
    {
        port = freeUdpPort("127.0.0.41");
        QVERIFY(port != 0);
        kit->setDiscoveryPort(port);
        kit->setSystemSerialPortsEnabled(false);
        kit->setSerialPorts({});
    }

    void findsNetworkReadersAndLosesSilentOnes()
    {
        UdpReader a, b;
        a.info = {{"Serial Number", "NA1"}, {"MAC Address", "00:11:22:33:44:01"}, {"Product Name", "KXS-F5"},
                  {"Ip Address", "127.0.0.41"}, {"Cmd Port", "36520"}, {"Supp Gr", "1"}};
        b.info = {{"Serial Number", "NB2"}, {"MAC Address", "00:11:22:33:44:02"}, {"Product Name", "KXS-F5"},
                  {"Cmd Port", "36520"}};
        QVERIFY(a.bind("127.0.0.41", port));
        QVERIFY(b.bind("127.0.0.42", port));
        // 10.x is refused; it must not keep the others from being scanned.
        QCOMPARE(kit->setScanAddresses("127.0.0.41-127.0.0.42,10.0.0.1").size(), 2);
        QSignalSpy updated(kit, &KxDeviceKit::deviceUpdated);
        QSignalSpy offline(kit, &KxDeviceKit::deviceOffLine);
        kit->setCheckDeviceAliveTime(1);
        kit->startDeviceScan(ScanType_All, 150);
        QTRY_VERIFY_WITH_TIMEOUT(updated.size() >= 2, 5000);
        QMap<QString, KxDeviceInfoMap> seen;
        for (const auto &args : updated)
            seen.insert(args.at(0).toString(), args.at(1).value<QMap<QString, QString>>());
        QVERIFY(seen.contains("NET:00:11:22:33:44:01"));
        QCOMPARE(seen["NET:00:11:22:33:44:01"], a.info);
        // The address a reader leaves out is the one it answered from.
        QCOMPARE(seen["NET:00:11:22:33:44:02"].value("Ip Address"), QString("127.0.0.42"));
        QVERIFY(!seen.first().contains("Device Type"));
        QVERIFY(!kit->isDeviceRemove("NET:00:11:22:33:44:02"));
        QCOMPARE(kit->deviceInfo("NET:00:11:22:33:44:01").value("Serial Number"), QString("NA1"));

        // Unchanged readers are not reported again until a refresh.
        const int before = updated.size();
        QTest::qWait(500);
        QCOMPARE(updated.size(), before);
        kit->setDelayEnumTime(0);
        kit->refreshDeviceScan(ScanType_All);
        QTRY_VERIFY_WITH_TIMEOUT(updated.size() >= before + 2, 5000);

        // Adding a known reader answers "exists".
        QCOMPARE(kit->addDevice("127.0.0.41", 36520), int(KxAddResult::Exists));

        // Paused alive checks lose nobody; resumed ones notice the silent reader.
        kit->pauseBroadcastDeviceCheckOffLine(true);
        b.answering = false;
        QTest::qWait(1600);
        QCOMPARE(offline.size(), 0);
        kit->pauseBroadcastDeviceCheckOffLine(false);
        QTRY_VERIFY_WITH_TIMEOUT(!offline.isEmpty(), 6000);
        QCOMPARE(offline.first().at(0).toString(), QString("NET:00:11:22:33:44:02"));
        QVERIFY(kit->isDeviceRemove("NET:00:11:22:33:44:02"));
        QVERIFY(!kit->isDeviceRemove("NET:00:11:22:33:44:01"));

        // Requests go to the named reader only and their results come back as signals.
        QSignalSpy network(kit, &KxDeviceKit::deviceNetworkChanged);
        QSignalSpy alias(kit, &KxDeviceKit::deviceAliasChanged);
        QSignalSpy group(kit, &KxDeviceKit::deviceNetworkGroup);
        KxDeviceInfoMap change = a.info;
        change["Ip Address"] = "127.0.0.43";
        QVERIFY(kit->changeDeviceNetwork(change));
        QTRY_COMPARE(network.size(), 1);
        QCOMPARE(network.first().at(0).toString(), QString("NA1"));
        QCOMPARE(network.first().at(2).toInt(), 1);
        QCOMPARE(a.requests.last().fields.value("Ip Address"), QString("127.0.0.43"));
        change["L Alias"] = "Line 3";
        QVERIFY(kit->changeDeviceAlias(change));
        QTRY_COMPARE(alias.size(), 1);
        QCOMPARE(a.requests.last().fields.value("L Alias"), QString("Line 3"));
        const QString config = "Gr ID=1;Serial Number=NA1;MAC Address=00:11:22:33:44:01;Gr En=1;Gr Role=1;";
        QVERIFY(kit->setDeviceNetworkGroup(config));
        QTRY_COMPARE(group.size(), 1);
        QCOMPARE(a.requests.last().fields.value("config"), config);
        QVERIFY(b.requests.isEmpty());
        // A reader the kit does not know gets nothing.
        QVERIFY(!kit->blinkNotify({{"Serial Number", "NOPE"}, {"MAC Address", "x"}}));
        kit->stopDeviceScan(ScanType_All);
    }

    void addDeviceByAddress()
    {
        UdpReader c;
        c.info = {{"Serial Number", "NC3"}, {"MAC Address", "00:11:22:33:44:03"}, {"Cmd Port", "36520"}};
        QVERIFY(c.bind("127.0.0.44", port));
        QSignalSpy updated(kit, &KxDeviceKit::deviceUpdated);
        QCOMPARE(addDeviceAside("127.0.0.45", 36520), int(KxAddResult::Unreachable));
        QCOMPARE(addDeviceAside("127.0.0.44", 36520), int(KxAddResult::Added));
        QTRY_VERIFY(!updated.isEmpty());
        QCOMPARE(updated.last().at(0).toString(), QString("NET:00:11:22:33:44:03"));
        QCOMPARE(kit->addDevice("127.0.0.44", 36520), int(KxAddResult::Exists));
    }

    void findsPseudoTerminalReader()
    {
        PtyReader pty;
        QVERIFY(pty.open());
        QSignalSpy updated(kit, &KxDeviceKit::deviceUpdated);
        QSignalSpy enumEnd(kit, &KxDeviceKit::serialPortDeviceEnumEnd);
        kit->setScanAddresses("127.0.0.99");
        kit->setSerialPorts({pty.slavePath, "/dev/does-not-exist"});
        kit->startDeviceScan(ScanType_All, 200);
        QTRY_VERIFY_WITH_TIMEOUT(!enumEnd.isEmpty(), 6000);
        QTRY_VERIFY_WITH_TIMEOUT(!updated.isEmpty(), 3000);
        const QString id = updated.last().at(0).toString();
        const auto info = updated.last().at(1).value<QMap<QString, QString>>();
        QVERIFY(id.contains(":COM"));
        QCOMPARE(id, "SER42:COM:" + pty.slavePath);
        QCOMPARE(info.value("Device Type"), QString("USB CDC"));
        QCOMPARE(info.value("Port Name"), pty.slavePath);
        QCOMPARE(info.value("Product Name"), QString("KXS-H7"));

        // The port goes away: the next pass reports the reader lost.
        QSignalSpy offline(kit, &KxDeviceKit::deviceOffLine);
        kit->setSerialPorts({});
        QTRY_VERIFY_WITH_TIMEOUT(!offline.isEmpty(), 6000);
        QCOMPARE(offline.first().at(0).toString(), id);
        kit->stopDeviceScan(ScanType_All);
    }
};

QTEST_MAIN(TstKitDiscovery)
#include "tst_kitdiscovery.moc"
