// Configuration-set records: the codec's rejections and name rules, and the virtual reader's
// sets read, written back byte for byte, and used by its reads.
#include "CameraTestUtil.h"
#include "ConfigLibRecord.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "VcSceneSource.h"
#include "VrModel.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"

#include <QtEndian>
#include <QtTest>

namespace {

const QString kModels = QStringLiteral(BREVAN_BIN_DIR "/models");

QByteArray req(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings);
}

ConfigLibRecord sample()
{
    ConfigLibRecord r;
    r.id = 3;
    r.retryCount = 7;
    r.enable = 1;
    r.name = QStringLiteral("Dock 3");
    r.body = ConfigLibRecord::bodyOf({{"EXPFET", "1200"}, {"FOCPOS", "420"}});
    return r;
}

}  // namespace

class TestConfigLib : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    // Codec
    void roundTrip_data();
    void roundTrip();
    void headerLayout();
    void rejected_data();
    void rejected();
    void names_data();
    void names();
    // The reader's own sets
    void readerRecordsRoundTrip();
    void writeRefused_data();
    void writeRefused();
    void severalRecordsInOneWrite();
    void enabledSetChangesWhatIsRead();
    void setWithoutSymbologiesReadsNothing();
    void laterSetReadsWhenFirstCannot();

private:
    std::unique_ptr<VrReaderEngine> engine();
    QByteArray query(VrReaderEngine &e, const QByteArray &code);
    int write(VrReaderEngine &e, const QByteArray &record);
    QList<CameraResult> trigger(VrReaderEngine &e);
    double meanOfImage(VrReaderEngine &e);

    QSharedPointer<const VrCommandTable> m_table;
    VcSceneSource *m_scene = nullptr;
};

void TestConfigLib::initTestCase()
{
    QString error;
    m_table = VrModel::loadTable(kModels, "KXS-FM800", nullptr, &error);
    QVERIFY2(m_table, qPrintable(error));
    m_scene = new VcSceneSource(VcScenes::byKind(QStringLiteral("fixed-mount"), QSize(800, 600)), this);
}

void TestConfigLib::roundTrip_data()
{
    QTest::addColumn<bool>("group");
    QTest::addColumn<int>("id");
    QTest::newRow("without image group") << false << 3;
    QTest::newRow("with image group") << true << 3;
    QTest::newRow("negative id") << false << -2;
}

void TestConfigLib::roundTrip()
{
    QFETCH(bool, group);
    QFETCH(int, id);
    ConfigLibRecord r = sample();
    r.id = id;
    r.hasImageGroup = group;
    r.imageGroupNo = group ? 12 : 0;
    r.taskNo = group ? 5 : 1;
    const QByteArray hex = r.toHex();
    QVERIFY(!hex.isEmpty());
    QCOMPARE(hex, hex.toUpper());
    ConfigLibRecord back;
    QString error;
    QVERIFY2(ConfigLibRecord::fromHex(hex, &back, &error), qPrintable(error));
    QCOMPARE(back.id, id);
    QCOMPARE(back.retryCount, 7);
    QCOMPARE(back.enable, 1);
    QCOMPARE(back.name, QStringLiteral("Dock 3"));
    QCOMPARE(back.hasImageGroup, group);
    QCOMPARE(back.imageGroupNo, r.imageGroupNo);
    QCOMPARE(back.taskNo, r.taskNo);
    QCOMPARE(back.value("EXPFET"), QByteArray("1200"));
    QCOMPARE(back.value("FOCPOS"), QByteArray("420"));
    QCOMPARE(back.toHex(), hex);
}

void TestConfigLib::headerLayout()
{
    ConfigLibRecord r = sample();
    const QByteArray b = r.toBytes();
    QCOMPARE(b.size(), ConfigLibRecord::HeaderSize + r.body.size());
    QCOMPARE(qFromLittleEndian<qint16>(b.constData()), qint16(3));
    QCOMPARE(int(quint8(b[2])), 7);
    QCOMPARE(b[3], '1');
    QCOMPARE(b.mid(4, 6), QByteArray("Dock 3"));
    QCOMPARE(b.mid(10, 30 - 4), QByteArray(26, '\0'));
    QCOMPARE(qFromLittleEndian<quint32>(b.constData() + 36), quint32(r.body.size()));
    // No image group: group and task are both "99", then "9999".
    QCOMPARE(b.mid(40, 8), QByteArray("99999999"));
    // The body is the data-stream form the kit's parser reads.
    KxDataStreamParser p;
    QVERIFY(p.setDataWithoutHeader(b.mid(48)));
    QCOMPARE(p.getTagMap().value("EXPFET"), QByteArray("1200"));
    // A disabled set carries "0"; a name longer than 32 bytes is cut.
    r.enable = 0;
    r.name = QString(40, QLatin1Char('n'));
    const QByteArray c = r.toBytes();
    QCOMPARE(c[3], '0');
    QCOMPARE(c.mid(4, 32), QByteArray(32, 'n'));
    QCOMPARE(qFromLittleEndian<quint32>(c.constData() + 36), quint32(r.body.size()));
}

void TestConfigLib::rejected_data()
{
    QTest::addColumn<QByteArray>("hex");
    const QByteArray good = sample().toBytes();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("47 bytes") << good.left(47).toHex();
    QTest::newRow("body one byte short") << good.left(good.size() - 1).toHex();
    QTest::newRow("body one byte long") << (good + 'x').toHex();
    QByteArray lying = good;
    qToLittleEndian(quint32(0xFFFFFFF0u), lying.data() + 36);
    QTest::newRow("length near 4 GiB") << lying.toHex();
    QTest::newRow("not hex") << QByteArray("ZZ") + good.toHex().mid(2);
    QTest::newRow("odd digits") << good.toHex().left(good.size() * 2 - 1);
}

void TestConfigLib::rejected()
{
    QFETCH(QByteArray, hex);
    ConfigLibRecord r = sample();
    r.id = 99;
    QString error;
    QVERIFY(!ConfigLibRecord::fromHex(hex, &r, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(r.id, 99);  // untouched
    // A list with a damaged part keeps the others.
    const QByteArray list = sample().toHex() + '|' + hex + '|' + sample().toHex();
    QCOMPARE(ConfigLibRecord::splitList(list).size(), 2);
}

void TestConfigLib::names_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("32 bytes") << QString(32, QLatin1Char('a')) << QString() << QString(32, QLatin1Char('a'));
    QTest::newRow("33 bytes") << QString(33, QLatin1Char('a')) << "#IDS_ConfigNameTooLong" << QString(33, QLatin1Char('a'));
    QTest::newRow("colons and blanks") << " :: : " << "#IDS_ConfigNameIsEmpty" << QString();
    QTest::newRow("colons removed") << " Li:ne 2: " << QString() << "Line 2";
    QTest::newRow("used by another set") << "Config 2" << "#IDS_ConfigNameIsExist" << "Config 2";
    QTest::newRow("used once colons go") << "Con:fig 2" << "#IDS_ConfigNameIsExist" << "Config 2";
}

void TestConfigLib::names()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, cleaned);
    QString out;
    QCOMPARE(ConfigLibRecord::checkName(typed, {"Config 2", "Config 3"}, &out), message);
    QCOMPARE(out, cleaned);
}

std::unique_ptr<VrReaderEngine> TestConfigLib::engine()
{
    VrIdentity id;
    id.model = "KXS-FM800";
    id.serial = "SN-CL-1";
    id.mac = VrModel::macFor(id.serial);
    id.ip = "127.0.0.2";
    auto e = std::make_unique<VrReaderEngine>(m_table, id, QString());
    e->loadState();
    e->setCamera(std::make_unique<VrReaderCamera>(m_scene, QSize(800, 600)));
    return e;
}

QByteArray TestConfigLib::query(VrReaderEngine &e, const QByteArray &code)
{
    const VrReaderEngine::Outcome out = e.handleFrame(req("#" + code + "*"));
    QByteArray value;
    const int result = KxGetDataStreamResult(out.reply, QString::fromLatin1(code), value);
    return result == DataResult_Ack ? value : QByteArray();
}

int TestConfigLib::write(VrReaderEngine &e, const QByteArray &record)
{
    const VrReaderEngine::Outcome out = e.handleFrame(req("#MPCADD" + record));
    QByteArray value;
    const int result = KxGetDataStreamResult(out.reply, QStringLiteral("MPCADD"), value);
    if (result == DataResult_Ack && value != record)
        return -1;  // an acknowledgement must echo the record
    return result;
}

double TestConfigLib::meanOfImage(VrReaderEngine &e)
{
    // A new full-size PNG image.
    const VrReaderEngine::Outcome out = e.handleFrame(req("#IMGGET0T0R3F"));
    const QImage img = QImage::fromData(out.extendData, "PNG").convertToFormat(QImage::Format_Grayscale8);
    if (img.isNull())
        return -1;
    qint64 sum = 0;
    for (int y = 0; y < img.height(); ++y) {
        const uchar *line = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x)
            sum += line[x];
    }
    return double(sum) / (qint64(img.width()) * img.height());
}

QList<CameraResult> TestConfigLib::trigger(VrReaderEngine &e)
{
    const VrReaderEngine::Outcome out = e.handleFrame(req("#SCNITG"));
    ResultStream stream;
    for (const QByteArray &f : out.results)
        stream.append(f);
    return stream.results();
}

void TestConfigLib::readerRecordsRoundTrip()
{
    auto e = engine();
    QByteArray caps;
    QVERIFY(KxGetDataStreamResult(e->handleFrame(req("@^")).reply, "MPCADD", caps) == DataResult_Ack);
    const QByteArray joined = query(*e, "MPCADD");
    const QList<QByteArray> parts = joined.split('|');
    QCOMPARE(parts.size(), 4);
    QSet<int> ids;
    for (const QByteArray &part : parts) {
        ConfigLibRecord r;
        QString error;
        QVERIFY2(ConfigLibRecord::fromHex(part, &r, &error), qPrintable(error));
        QCOMPARE(r.toHex(), part);  // byte for byte
        QCOMPARE(r.enable, 0);
        QCOMPARE(r.value("EXPFET"), m_table->find("EXPFET")->defaultValue);
        ids << r.id;
    }
    QCOMPARE(ids.size(), 4);
    // A written set comes back as written; the others stay.
    ConfigLibRecord r;
    QVERIFY(ConfigLibRecord::fromHex(parts[1], &r));
    r.name = QStringLiteral("Tray");
    r.setValue("FOCPOS", "300");
    QCOMPARE(write(*e, r.toHex()), int(DataResult_Ack));
    const QList<QByteArray> after = query(*e, "MPCADD").split('|');
    QCOMPARE(after.size(), 4);
    QCOMPARE(after[1], r.toHex());
    QCOMPARE(after[0], parts[0]);
    QCOMPARE(after[3], parts[3]);
    // "#" changes only the running sets: a restart brings the stored ones back.
    e->restart();
    QCOMPARE(query(*e, "MPCADD"), joined);
}

void TestConfigLib::writeRefused_data()
{
    QTest::addColumn<QByteArray>("record");
    ConfigLibRecord unknown = sample();
    unknown.id = 9;
    QTest::newRow("no such set") << unknown.toHex();
    ConfigLibRecord badValue = sample();
    badValue.id = 1;
    badValue.body = ConfigLibRecord::bodyOf({{"EXPFET", "5"}});  // below the range
    QTest::newRow("value out of range") << badValue.toHex();
    ConfigLibRecord foreign = sample();
    foreign.id = 1;
    foreign.body = ConfigLibRecord::bodyOf({{"EXPMOD", "1"}});
    QTest::newRow("not a per-set code") << foreign.toHex();
    QTest::newRow("short record") << sample().toHex().left(60);
    ConfigLibRecord zero = sample();
    zero.id = 1;
    zero.retryCount = 0;
    QTest::newRow("retry count 0") << zero.toHex();
    // Several records are taken all or none.
    ConfigLibRecord good = sample();
    good.id = 2;
    QTest::newRow("good record then unknown set") << good.toHex() + '|' + unknown.toHex();
    QTest::newRow("good record then a refused value") << good.toHex() + '|' + badValue.toHex();
    QTest::newRow("empty part") << good.toHex() + "||" + good.toHex();
}

void TestConfigLib::writeRefused()
{
    QFETCH(QByteArray, record);
    auto e = engine();
    const QByteArray before = query(*e, "MPCADD");
    QCOMPARE(before.count('|'), 3);
    QCOMPARE(write(*e, record), int(DataResult_Refused));
    QCOMPARE(query(*e, "MPCADD"), before);
}

void TestConfigLib::severalRecordsInOneWrite()
{
    auto e = engine();
    const QList<QByteArray> parts = query(*e, "MPCADD").split('|');
    QCOMPARE(parts.size(), 4);
    ConfigLibRecord a, b;
    QVERIFY(ConfigLibRecord::fromHex(parts[0], &a));
    QVERIFY(ConfigLibRecord::fromHex(parts[2], &b));
    a.name = QStringLiteral("Left");
    b.enable = 1;
    b.setValue("EXPFET", "1500");
    b.setValue("QRCENA", "0");  // a set may switch symbologies too
    QCOMPARE(write(*e, a.toHex() + '|' + b.toHex()), int(DataResult_Ack));
    const QList<QByteArray> after = query(*e, "MPCADD").split('|');
    QCOMPARE(after, (QList<QByteArray>{a.toHex(), parts[1], b.toHex(), parts[3]}));
}

void TestConfigLib::enabledSetChangesWhatIsRead()
{
    auto e = engine();
    const QList<CameraResult> plain = trigger(*e);
    QVERIFY(!ResultStream::codes(plain).isEmpty());
    QCOMPARE(plain.first().json.value("list").toArray().first().toObject().value("l_id").toInt(), 0);

    // Set 2 with the shortest exposure and no gain: enabled, the reader reads nothing.
    const QList<QByteArray> parts = query(*e, "MPCADD").split('|');
    QCOMPARE(parts.size(), 4);
    ConfigLibRecord dark;
    QVERIFY(ConfigLibRecord::fromHex(parts[1], &dark));
    dark.setValue("EXPFET", "10");
    dark.setValue("EXPFGN", "0");
    QCOMPARE(write(*e, dark.toHex()), int(DataResult_Ack));
    QVERIFY(!ResultStream::codes(trigger(*e)).isEmpty());  // still disabled
    dark.enable = 1;
    QCOMPARE(write(*e, dark.toHex()), int(DataResult_Ack));
    QVERIFY(ResultStream::codes(trigger(*e)).isEmpty());
    // Images show it too: darker than the reader's own settings give.
    const double darkMean = meanOfImage(*e);
    ConfigLibRecord off = dark;
    off.enable = 0;
    QCOMPARE(write(*e, off.toHex()), int(DataResult_Ack));
    const double plainMean = meanOfImage(*e);
    QVERIFY2(darkMean >= 0 && darkMean * 2 < plainMean, qPrintable(QStringLiteral("%1 %2").arg(darkMean).arg(plainMean)));
    QCOMPARE(write(*e, dark.toHex()), int(DataResult_Ack));
    // A well exposed set read with it names it.
    dark.setValue("EXPFET", "2000");
    dark.setValue("EXPFGN", "6");
    QCOMPARE(write(*e, dark.toHex()), int(DataResult_Ack));
    const QList<CameraResult> lit = trigger(*e);
    QCOMPARE(ResultStream::codes(lit), ResultStream::codes(plain));
    QCOMPARE(lit.first().json.value("list").toArray().first().toObject().value("l_id").toInt(), dark.id);
}

void TestConfigLib::setWithoutSymbologiesReadsNothing()
{
    auto e = engine();
    QVERIFY(!ResultStream::codes(trigger(*e)).isEmpty());
    ConfigLibRecord set;
    QVERIFY(ConfigLibRecord::fromHex(query(*e, "MPCADD").split('|').value(0), &set));
    set.enable = 1;
    int off = 0;
    for (const char *code : {"C28ENA", "G28ENA", "C39ENA", "C93ENA", "CBAENA", "I25ENA", "E13ENA", "EA8ENA",
                                   "UPAENA", "UPEENA", "D12ENA", "QRCENA", "DMXENA", "PDFENA", "AZTENA", "MXCENA"}) {
        if (m_table->find(QString::fromLatin1(code))) {
            set.setValue(QString::fromLatin1(code), "0");
            ++off;
        }
    }
    QVERIFY(off > 4);
    QCOMPARE(write(*e, set.toHex()), int(DataResult_Ack));
    QVERIFY(ResultStream::codes(trigger(*e)).isEmpty());
    // The reader's own symbology settings are untouched.
    QCOMPARE(query(*e, "QRCENA"), m_table->find("QRCENA")->defaultValue);
}

void TestConfigLib::laterSetReadsWhenFirstCannot()
{
    auto e = engine();
    const QList<QByteArray> parts = query(*e, "MPCADD").split('|');
    QCOMPARE(parts.size(), 4);
    ConfigLibRecord first, third;
    QVERIFY(ConfigLibRecord::fromHex(parts[0], &first));
    QVERIFY(ConfigLibRecord::fromHex(parts[2], &third));
    first.enable = 1;
    first.retryCount = 2;
    first.setValue("EXPFET", "10");
    first.setValue("EXPFGN", "0");
    third.enable = 1;
    third.setValue("EXPFET", "2000");
    QCOMPARE(write(*e, first.toHex()), int(DataResult_Ack));
    QCOMPARE(write(*e, third.toHex()), int(DataResult_Ack));
    const QList<CameraResult> r = trigger(*e);
    QVERIFY(!ResultStream::codes(r).isEmpty());
    QCOMPARE(r.first().json.value("list").toArray().first().toObject().value("l_id").toInt(), third.id);
}

QTEST_GUILESS_MAIN(TestConfigLib)
#include "tst_configlib.moc"
