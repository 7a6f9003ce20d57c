// The real brevan-vreader on loopback, driven by a raw socket and the protocol library.
#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDiscovery.h"
#include "KxLinkFrames.h"
#include "RawReaderClient.h"
#include "VReaderProcess.h"
#include "VrModel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray req(const char *text)
{
    return KxMakeDataStreamCmd(QByteArray(text), DataProtocol_Settings);
}

QByteArray valueOf(const QByteArray &reply, const QString &code)
{
    QByteArray v;
    KxGetDataStreamResult(reply, code, v);
    return v;
}

// An address of the test's block not used by its readers.
QString vrTarget(const QString &first)
{
    return QHostAddress(QHostAddress(first).toIPv4Address() + 5).toString();
}

}  // namespace

class TestVReaderProcess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void allQueriesReturnModelCommands();
    void batchAcknowledgesAllButOutOfRange();
    void startValuesAndUnknownCodes();
    void runningLostAndStoredKeptAcrossRestart();
    void faults_data();
    void faults();
    void garbageDoesNotKillTheReader();
    void secondClientIsRefused();
    void discoveryAndNetworkMove();
    void ptyReaderAnswers();
    void unreadLogDoesNotStallTheReader();

private:
    bool connectFirst(RawReaderClient &c, VReaderProcess &p)
    {
        return !p.readers().isEmpty() && c.connectTo(p.readers()[0].address, p.readers()[0].port);
    }
    QSharedPointer<const VrCommandTable> m_table;
};

void TestVReaderProcess::initTestCase()
{
    QString error;
    m_table = VrModel::loadTable(BREVAN_BIN_DIR "/models", "KXS-FM800", nullptr, &error);
    QVERIFY2(m_table, qPrintable(error));
}

void TestVReaderProcess::allQueriesReturnModelCommands()
{
    VReaderProcess p;
    QVERIFY(p.start({"--model", "KXS-FM800"}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    QStringList withValue;
    // Values: every page item (buttons included) and the reader's own commands except its
    // actions; capabilities: every command.
    for (const QString &code : m_table->codes()) {
        const VrCommand *c = m_table->find(code);
        if (c->kind != VrCommand::Action || c->fromPages)
            withValue << code;
    }
    QVERIFY(withValue.size() < m_table->size());
    for (const char *q : {"@^", "@&", "@*"}) {
        const KxDataStreamParser parser(c.request(req(q)));
        QVERIFY2(parser.isValid(), q);
        QStringList codes;
        for (const KxTagInfo &t : parser.tags())
            codes << t.code;
        QCOMPARE(codes, QByteArray(q) == "@^" ? m_table->codes() : withValue);
        QList<QString> failed;
        QVERIFY(parser.checkAllCmdAck(failed));
        if (QByteArray(q) == "@&")
            QCOMPARE(parser.getTagMap().value("C28LEN"), QByteArray("1|48"));
        if (QByteArray(q) == "@^")
            QCOMPARE(parser.getTagMap().value("C28ENA"), QByteArray("0,1"));
    }
}

void TestVReaderProcess::batchAcknowledgesAllButOutOfRange()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    KxDataStreamMaker m;
    QVERIFY(m.addCmd("C28ENA", "0"));
    QVERIFY(m.addCmd("C28LEN", "1|400"));
    QVERIFY(m.addCmd("C39ENA", "0"));
    const KxDataStreamParser parser(c.request(m.toByteArray(false)));
    QList<QString> failed;
    QVERIFY(!parser.checkAllCmdAck(failed));
    QCOMPARE(failed, QList<QString>{"C28LEN"});
    const QByteArray after = c.request(req("@C28ENA*;C28LEN*;C39ENA*"));
    QCOMPARE(valueOf(after, "C28ENA"), QByteArray("0"));
    QCOMPARE(valueOf(after, "C28LEN"), QByteArray("1|48"));
    QCOMPARE(valueOf(after, "C39ENA"), QByteArray("0"));
}

void TestVReaderProcess::startValuesAndUnknownCodes()
{
    VReaderProcess p;
    // Values given with --set are running and stored from the start; a bad one stops the start.
    QVERIFY(!p.start({"--set", "C28EN=0"}, 5000));
    QVERIFY(p.start({"--set", "C28ENA=0", "--set", "SCNITV=250"}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    QByteArray v;
    const QByteArray reply = c.request(req("@QQQQQQ*;C28ENA*"));
    QCOMPARE(KxGetDataStreamResult(reply, "QQQQQQ", v), int(DataResult_Unknown));
    QCOMPARE(KxGetDataStreamResult(reply, "C28ENA", v), int(DataResult_Ack));
    QCOMPARE(v, QByteArray("0"));
    const QByteArray stored = c.request(req("#DIFQRY*"));
    QCOMPARE(valueOf(stored, "DIFQRY"), QByteArray());  // nothing differs from the stored values
    QCOMPARE(valueOf(c.request(req("@SCNITV*")), "SCNITV"), QByteArray("250"));

    // A reader whose stored read mode is continuous reads from the start, before any request.
    VReaderProcess line;
    QVERIFY(line.start({"--set", "SCNMOD=1", "--set", "SCNITV=50"}));
    QTest::qWait(2000);
    RawReaderClient lc;
    QVERIFY(connectFirst(lc, line));
    const QByteArray counters = valueOf(lc.request(req("@DBGCNT")), "DBGCNT");
    QVERIFY2(counters.left(counters.indexOf('N')).toInt() > 0, counters.constData());
}

void TestVReaderProcess::runningLostAndStoredKeptAcrossRestart()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    {
        RawReaderClient c;
        QVERIFY(connectFirst(c, p));
        QVERIFY(KxCheckDataStreamCmd(c.request(req("#C28ENA0")), "C28ENA"));
        QVERIFY(KxCheckDataStreamCmd(c.request(req("@C39ENA0")), "C39ENA"));
    }
    QVERIFY(p.restart({}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    const QByteArray after = c.request(req("@C28ENA*;C39ENA*"));
    QCOMPARE(valueOf(after, "C28ENA"), QByteArray("1"));
    QCOMPARE(valueOf(after, "C39ENA"), QByteArray("0"));
    // A reboot command drops the link and the reader comes back with the stored values only.
    QVERIFY(KxCheckDataStreamCmd(c.request(req("#C39ENA1")), "C39ENA"));
    QVERIFY(KxCheckDataStreamCmd(c.request(req("@REBOOT")), "REBOOT"));
    QVERIFY(c.waitClosed());
    // Connections made while the reader restarts are dropped; a client tries again.
    QByteArray reply;
    for (int i = 0; i < 40 && !KxDataStreamParser(reply).isValid(); ++i) {
        RawReaderClient again;
        if (connectFirst(again, p))
            reply = again.request(req("@C39ENA*"), 1000);
        if (!KxDataStreamParser(reply).isValid())
            QTest::qWait(100);
    }
    QCOMPARE(valueOf(reply, "C39ENA"), QByteArray("0"));
}

void TestVReaderProcess::faults_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("fault");
    QTest::newRow("refuse") << QStringList{"--refuse", "C39ENA"} << 0;
    QTest::newRow("corrupt") << QStringList{"--corrupt-every", "2"} << 1;
    QTest::newRow("drop") << QStringList{"--drop-after", "2"} << 2;
    QTest::newRow("delay") << QStringList{"--delay-ms", "1500"} << 3;
    QTest::newRow("empty query all") << QStringList{"--empty-query-all"} << 4;
    QTest::newRow("buffer size") << QStringList{"--buffer-size", "700"} << 5;
    QTest::newRow("no reads") << QStringList{"--no-read-every", "2"} << 6;
}

void TestVReaderProcess::faults()
{
    QFETCH(QStringList, args);
    QFETCH(int, fault);
    VReaderProcess p;
    QVERIFY(p.start(args));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    const QByteArray query = req("@C39ENA*;C28ENA*");
    QByteArray v;
    switch (fault) {
    case 0: {
        const QByteArray r = c.request(query);
        QCOMPARE(KxGetDataStreamResult(r, "C39ENA", v), int(DataResult_Refused));
        QCOMPARE(KxGetDataStreamResult(r, "C28ENA", v), int(DataResult_Ack));
        break;
    }
    case 1: {
        QVERIFY(KxDataStreamParser(c.request(query)).isValid());
        // The corrupted reply never comes out of the reassembler as a frame.
        QVERIFY(c.request(query, 1500).isEmpty());
        QVERIFY(KxDataStreamParser(c.request(query)).isValid());
        break;
    }
    case 2:
        QVERIFY(!c.request(query).isEmpty());
        QVERIFY(!c.request(query).isEmpty());
        QVERIFY(c.request(query, 3000).isEmpty());
        QVERIFY(c.waitClosed());
        break;
    case 3: {
        c.socket().write(query);
        c.socket().waitForBytesWritten(1000);
        c.socket().waitForReadyRead(200);
        QCOMPARE(c.socket().bytesAvailable(), qint64(0));
        QVERIFY(KxCheckDataStreamCmd(c.nextFrame(5000), "C28ENA"));
        break;
    }
    case 4: {
        const KxDataStreamParser all(c.request(req("@*")));
        QVERIFY(all.isValid());
        QCOMPARE(all.tags().size(), 0);
        QVERIFY(KxDataStreamParser(c.request(req("@^"))).tags().size() > 150);
        QVERIFY(KxCheckDataStreamCmd(c.request(query), "C28ENA"));
        break;
    }
    case 5:
        QCOMPARE(valueOf(c.request(req("@BUFQRY*")), "BUFQRY"), QByteArray("700"));
        QCOMPARE(valueOf(c.request(req("@BUFQRY^")), "BUFQRY"), QByteArray("700"));
        break;
    case 6:
        for (int i = 0; i < 4; ++i)
            QVERIFY(KxCheckDataStreamCmd(c.request(req("#SCNITG1")), "SCNITG"));
        // Four reads, every second one failed by the fault; "T" is the time the reads took.
        QVERIFY(QRegularExpression("^4N2M\\d+T$").match(QString::fromLatin1(
            valueOf(c.request(req("@DBGCNT")), "DBGCNT"))).hasMatch());
        break;
    }
}

void TestVReaderProcess::garbageDoesNotKillTheReader()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    QRandomGenerator rng(31337);
    for (int i = 0; i < 200; ++i) {
        QByteArray junk(rng.bounded(1, 200), Qt::Uninitialized);
        for (char &ch : junk)
            ch = char(rng.bounded(256));
        c.socket().write(junk);
    }
    c.socket().write(req("#DEVNAM;"));  // a malformed request is rejected, not fatal
    c.socket().waitForBytesWritten(2000);
    c.socket().abort();
    // Once the reader has seen the first client go, a new one is served normally.
    bool served = false;
    for (int i = 0; i < 30 && !served; ++i) {
        RawReaderClient d;
        QVERIFY(connectFirst(d, p));
        served = KxCheckDataStreamCmd(d.request(req("@C28ENA*")), "C28ENA");
        if (!served)
            QTest::qWait(100);
    }
    QVERIFY(served);
}

void TestVReaderProcess::secondClientIsRefused()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient a;
    QVERIFY(connectFirst(a, p));
    quint8 kind = 0;
    QByteArray payload;
    QVERIFY(KxFrame::decode(a.request(KxLink::makeRoleRequest(KxLink::Role_Reader)), &kind, &payload));
    int status = 0;
    QByteArray info;
    QVERIFY(KxLink::parseRoleReply(payload, &status, &info));
    QCOMPARE(status, int(DataResult_Ack));

    RawReaderClient b;
    QVERIFY(connectFirst(b, p));
    QVERIFY(KxFrame::decode(b.request(KxLink::makeRoleRequest(KxLink::Role_Command)), &kind, &payload));
    QVERIFY(KxLink::parseRoleReply(payload, &status, &info));
    QCOMPARE(status, int(DataResult_Refused));
    QCOMPARE(QJsonDocument::fromJson(info).object().value("Is Connected To Configtool").toString(),
             QStringLiteral("1"));
    QVERIFY(b.waitClosed());
    // The holder keeps working; the log link is not exclusive.
    QVERIFY(KxCheckDataStreamCmd(a.request(req("@C28ENA*")), "C28ENA"));
}

void TestVReaderProcess::discoveryAndNetworkMove()
{
    VReaderProcess p;
    QVERIFY(p.start({"--count", "2"}));
    QCOMPARE(p.readers().size(), 2);
    QUdpSocket udp;
    QVERIFY(udp.bind(QHostAddress(QHostAddress::LocalHost), 0));
    auto exchange = [&](const QString &to, const KxDiscovery::Datagram &d, quint8 wantType) {
        udp.writeDatagram(KxDiscovery::encode(d), QHostAddress(to), p.discoveryPort());
        KxDiscovery::Datagram in;
        for (int i = 0; i < 50; ++i) {
            if (!udp.hasPendingDatagrams())
                udp.waitForReadyRead(100);
            while (udp.hasPendingDatagrams()) {
                if (KxDiscovery::decode(udp.receiveDatagram().data(), &in) && in.type == wantType)
                    return in;
            }
        }
        return KxDiscovery::Datagram{};
    };
    const auto first = p.readers()[0];
    KxDiscovery::Datagram search;
    search.transaction = 11;
    const auto info = exchange(first.address, search, KxDiscovery::Information);
    QCOMPARE(info.transaction, 11u);
    QCOMPARE(info.fields.value("Serial Number"), first.serial);
    QCOMPARE(info.fields.value("Ip Address"), first.address);
    QCOMPARE(info.fields.value("Cmd Port"), QString::number(p.port()));
    QCOMPARE(info.fields.value("Is Connected To Configtool"), QStringLiteral("0"));

    const QString target = vrTarget(first.address);
    KxDiscovery::Datagram net;
    net.type = KxDiscovery::NetworkRequest;
    net.fields = {{"Serial Number", first.serial}, {"MAC Address", info.fields.value("MAC Address")},
                  {"Ip Address", target}, {"SubNetmask", "255.0.0.0"},
                  {"Gateway Address", "127.0.0.1"}, {"Use DHCP", "0"}};
    const auto result = exchange(first.address, net, KxDiscovery::NetworkResult);
    QCOMPARE(result.result, int(KxDiscovery::Result_Success));
    RawReaderClient moved;
    QVERIFY(moved.connectTo(target, p.port()));
    QCOMPARE(valueOf(moved.request(req("@PRNQRY*")), "PRNQRY").contains(first.serial.toUtf8()),
             true);
    // The move survives a restart of the program.
    moved.socket().abort();
    QVERIFY(p.restart({"--count", "2"}));
    QCOMPARE(p.readers()[0].address, target);
}

void TestVReaderProcess::ptyReaderAnswers()
{
    VReaderProcess p;
    QVERIFY(p.start({"--count", "1", "--pty"}));
    QCOMPARE(p.ptys().size(), 1);
    QVERIFY(QFile::exists(QDir(p.stateDir()).filePath("ptys.txt")));
    const int fd = ::open(p.ptys()[0].toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios t;
    QCOMPARE(::tcgetattr(fd, &t), 0);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    const QByteArray frame = req("@IDNQRY*");
    QCOMPARE(::write(fd, frame.constData(), size_t(frame.size())), ssize_t(frame.size()));
    KxFrameAssembler a(KxFrameAssembler::Side::Client);
    KxFrameAssembler::Frame f;
    bool got = false;
    for (int i = 0; i < 100 && !got; ++i) {
        char buf[4096];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            a.append(QByteArray(buf, int(n)));
        got = a.next(&f);
        if (!got)
            QTest::qWait(50);
    }
    ::close(fd);
    QVERIFY(got);
    const QJsonObject info = QJsonDocument::fromJson(valueOf(f.bytes, "IDNQRY")).object();
    QCOMPARE(info.value("Device Type").toString(), QStringLiteral("USB CDC"));
    QVERIFY(!info.value("Serial Number").toString().isEmpty());
    QVERIFY(!info.contains("Ip Address"));
}

// Thousands of logged changes with a log pipe nobody reads: every request is still answered.
void TestVReaderProcess::unreadLogDoesNotStallTheReader()
{
    VReaderProcess p;
    p.setUnreadLogPipe(true);
    QVERIFY(p.start({}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    int unanswered = 0, refused = 0;
    for (int frame = 0; frame < 40; ++frame) {
        KxDataStreamMaker m;
        for (int i = 0; i < 100; ++i)
            QVERIFY(m.addCmd("FRMTMO", QByteArray::number(10000 + frame * 100 + i)));
        const QByteArray reply = c.request(m.toByteArray(false), 5000);
        if (reply.isEmpty()) {
            ++unanswered;
            break;  // a stalled reader answers nothing more
        }
        QList<QString> failed;
        if (!KxDataStreamParser(reply).checkAllCmdAck(failed))
            ++refused;
    }
    QCOMPARE(unanswered, 0);
    QCOMPARE(refused, 0);
    QCOMPARE(valueOf(c.request(req("@FRMTMO*")), "FRMTMO"), QByteArray("13999"));
}

QTEST_GUILESS_MAIN(TestVReaderProcess)
#include "tst_vreader_process.moc"
