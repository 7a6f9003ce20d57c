// The virtual reader's camera end to end: the real program on loopback, driven through the
// kit. A scene with known codes, triggers, decode areas, symbology switches, wrong imaging
// settings, images fetched and decoded, scene changes, continuous and load modes, and a start
// from a configuration file.
#include "CameraTestUtil.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "VReaderProcess.h"

#include <QImage>
#include <QSaveFile>
#include <QtTest>
#include <ZXing/ReadBarcode.h>

namespace {

using CodeSet = QSet<QPair<QByteArray, QString>>;

// Four codes in the four quarters of a 640 x 400 sensor.
QByteArray sceneJson(const QString &qrText = QStringLiteral("cam qr 1"))
{
    return QStringLiteral(
               R"({"sensor":[640,400],"background":0.5,"codes":[
 {"symbology":"Code 128","text":"CAM-128-A","x":160,"y":100,"module":2,"height":60},
 {"symbology":"QR Code","text":"%1","x":480,"y":100,"module":4},
 {"symbology":"Data Matrix","text":"CAM-DM-7","x":160,"y":300,"module":4},
 {"symbology":"EAN-13","text":"4006381333931","x":480,"y":300,"module":2,"height":60}]})")
        .arg(qrText)
        .toUtf8();
}

const CodeSet kSceneCodes = {{"CAM-128-A", "002"}, {"cam qr 1", "032"}, {"CAM-DM-7", "033"},
                             {"4006381333931", "010"}};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);  // replaced whole, as an editor would
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

QByteArray frame(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings, true);
}

CodeSet zxingCodes(const QImage &gray)
{
    ZXing::DecodeHints hints;
    hints.setMaxNumberOfSymbols(8);
    CodeSet out;
    const QImage g = gray.convertToFormat(QImage::Format_Grayscale8);
    const ZXing::ImageView view(g.constBits(), g.width(), g.height(), ZXing::ImageFormat::Lum,
                                int(g.bytesPerLine()));
    static const QMap<ZXing::BarcodeFormat, QString> ids = {
        {ZXing::BarcodeFormat::Code128, "002"}, {ZXing::BarcodeFormat::QRCode, "032"},
        {ZXing::BarcodeFormat::DataMatrix, "033"}, {ZXing::BarcodeFormat::EAN13, "010"}};
    for (const ZXing::Result &r : ZXing::ReadBarcodes(view, hints)) {
        // One pass over the whole image may miss a symbol; each quarter is read as well.
        out.insert({QByteArray::fromStdString(r.text()), ids.value(r.format())});
    }
    for (int q = 0; q < 4; ++q) {
        const QRect part(q % 2 * g.width() / 2, q / 2 * g.height() / 2, g.width() / 2, g.height() / 2);
        const ZXing::ImageView v(g.constBits() + part.top() * g.bytesPerLine() + part.left(),
                                 part.width(), part.height(), ZXing::ImageFormat::Lum, int(g.bytesPerLine()));
        for (const ZXing::Result &r : ZXing::ReadBarcodes(v, hints))
            out.insert({QByteArray::fromStdString(r.text()), ids.value(r.format())});
    }
    return out;
}

}  // namespace

class TstVReaderCamera : public QObject
{
    Q_OBJECT
private:
    KxDeviceKit *kit = KxDeviceKit::Instance();
    VReaderProcess m_vr;
    QTemporaryDir m_dir;
    QString m_scene;
    QString m_id = QStringLiteral("camera-test");
    ResultStream m_stream;

    // Sends one request; the status of code in the reply (-1 when nothing came back).
    int send(const QByteArray &text, const QString &code, QByteArray *value = nullptr,
             QByteArray *extendData = nullptr, QByteArray *extendInfo = nullptr)
    {
        QByteArray reply;
        if (kit->sendBinaryMessage(m_id, frame(text), reply, 30000) != 0)
            return -1;
        QByteArray v;
        const int result = KxGetDataStreamResult(reply, code, v);
        if (value)
            *value = v;
        if (extendData && extendInfo)
            KxGetDataStreamExtendData(reply, *extendData, *extendInfo);
        return result;
    }
    // Running changes; pairs such as "0,0" travel in a binary request.
    bool set(const QByteArray &items)
    {
        for (const QByteArray &item : items.split(';')) {
            const QString code = QString::fromLatin1(item.left(6));
            QByteArray reply, value;
            if (kit->sendBinaryMessage(m_id, KxMakeBinarySettingsRequest({{code, item.mid(6)}}, false),
                                       reply, 30000) != 0
                || KxGetDataStreamResult(reply, code, value) != DataResult_Ack)
                return false;
        }
        return true;
    }
    // One triggered read; its results once the read's last frame came.
    QList<CameraResult> trigger()
    {
        m_stream.clear();
        if (send("#SCNITG", "SCNITG") != DataResult_Ack)
            return {};
        QElapsedTimer t;
        t.start();
        while (!m_stream.readDone() && t.elapsed() < 30000)
            QTest::qWait(20);
        return m_stream.results();
    }
    QByteArray counters()
    {
        QByteArray v;
        send("@DBGCNT", "DBGCNT", &v);
        return v;
    }

private slots:
    void initTestCase()
    {
        m_scene = m_dir.filePath("scene.json");
        QVERIFY(writeFile(m_scene, sceneJson()));
        QVERIFY(m_vr.start({"--count", "1", "--scene", m_scene}));
        const auto reader = m_vr.readers().value(0);
        connect(kit, &KxDeviceKit::barcodeReceived, this, [this](const QString &id, const QByteArray &d) {
            if (id == m_id)
                m_stream.append(d);
        });
        QVERIFY(kit->connectToDevice_Cmd(m_id, QStringLiteral("%1:%2").arg(reader.address).arg(reader.port)));
    }
    void cleanupTestCase() { kit->disconnectFromDeviceEx(m_id); }
    void init()
    {
        // Every read says what it found, a no-read included, and may report all four codes.
        QVERIFY(set("NGRENA1;NGRSET4E4F2D434F4445;MLTCNT4;OUTMSG0;CADENA0;EXPMOD0;FOCPOS500;"
                    "ILLMOD2;C28ENA1;QRCENA1;DMXENA1;E13ENA1;INCCQP0;SCNMOD0;DECMSR1.5|20"));
    }

    void triggerReportsTheSceneCodes_data()
    {
        QTest::addColumn<QByteArray>("form");
        QTest::newRow("JSON messages") << QByteArray("0");
        QTest::newRow("text records") << QByteArray("1");
    }
    void triggerReportsTheSceneCodes()
    {
        QFETCH(QByteArray, form);
        QVERIFY(set("OUTMSG" + form));
        const QList<CameraResult> results = trigger();
        QCOMPARE(ResultStream::codes(results), kSceneCodes);
        QCOMPARE(results.size(), 4);
        QCOMPARE(m_stream.unparsed(), 0);
        // One frame per code in JSON form, one message per read in text form; sequence numbers
        // count frames without gaps.
        QCOMPARE(m_stream.frames(), form == "0" ? 4 : 1);
        if (form == "0") {
            for (int i = 1; i < results.size(); ++i)
                QCOMPARE(results[i].seq, results[i - 1].seq + 1);
            QCOMPARE(results.last().json.value("sn").toString(), m_vr.readers().value(0).serial);
        } else {
            for (const CameraResult &r : results)
                QCOMPARE(r.items.value("Barcode Length"), QByteArray::number(r.data.size()));
        }
    }

    void gradingFollowsTheSetting()
    {
        QVERIFY(set("INCCQP1"));
        const QList<CameraResult> iso = trigger();
        QCOMPARE(iso.size(), 4);
        for (const CameraResult &r : iso) {
            const QJsonObject q = r.json.value("CodeQualitySt").toObject();
            const QString standard = r.codeId == "002" || r.codeId == "010" ? "ISO15416" : "ISO15415";
            QVERIFY2(q.contains(standard), r.data.constData());
            QCOMPARE(q.value(standard).toObject().value("cALL").toInt(), 4);
        }
        QVERIFY(set("INCCQP2"));
        const QList<CameraResult> dpm = trigger();
        QCOMPARE(dpm.size(), 4);
        for (const CameraResult &r : dpm) {
            if (r.codeId == "033")
                QVERIFY(r.json.value("CodeQualitySt").toObject().contains("ISO29158"));
        }
        // Slightly out of focus: still read, graded lower.
        QVERIFY(set("FOCPOS560"));
        const QList<CameraResult> soft = trigger();
        int lowered = 0;
        for (const CameraResult &r : soft) {
            if (!r.noRead && r.json.value("list").toArray().at(0).toObject().value("c_q").toInt() < 92)
                ++lowered;
        }
        QVERIFY2(lowered > 0, "a blurred image graded like a sharp one");
    }

    void decodeAreaDecidesWhatIsRead()
    {
        // Pixel area over the top left quarter: only the Code 128.
        QVERIFY(set("CADENA1;CADMOD1;CADPOS0,0;CADSIZ320,200"));
        QCOMPARE(ResultStream::codes(trigger()), (CodeSet{{"CAM-128-A", "002"}}));
        // Moved over the bottom right quarter: only the EAN-13.
        QVERIFY(set("CADPOS320,200"));
        QCOMPARE(ResultStream::codes(trigger()), (CodeSet{{"4006381333931", "010"}}));
        // Percent area around the QR code's centre.
        QVERIFY(set("CADMOD0;CADCTR75,25;CADPSZ40,40"));
        QCOMPARE(ResultStream::codes(trigger()), (CodeSet{{"cam qr 1", "032"}}));
    }

    void disabledSymbologyIsNotRead()
    {
        QVERIFY(set("DMXENA0"));
        CodeSet expected = kSceneCodes;
        expected.remove({"CAM-DM-7", "033"});
        QCOMPARE(ResultStream::codes(trigger()), expected);
        QVERIFY(set("C28ENA0;QRCENA0;E13ENA0"));
        const QList<CameraResult> none = trigger();
        QCOMPARE(none.size(), 1);
        QVERIFY(none.first().noRead);
    }

    void moduleSizeRangeLimitsTheRead()
    {
        // The 1D codes have 2-pixel modules, the 2D ones 4.
        QVERIFY(set("DECMSR3|20"));
        QCOMPARE(ResultStream::codes(trigger()), (CodeSet{{"cam qr 1", "032"}, {"CAM-DM-7", "033"}}));
        QVERIFY(set("DECMSR1.5|20"));
        QCOMPARE(ResultStream::codes(trigger()), kSceneCodes);
    }

    void automaticFocusFindsTheSharpPosition()
    {
        QVERIFY(set("FOCPOS900"));
        QVERIFY(trigger().value(0).noRead);
        QVERIFY(set("FOCAUT1"));
        QByteArray focus;
        QCOMPARE(send("#FOCPOS", "FOCPOS", &focus), int(DataResult_Ack));
        QCOMPARE(focus, QByteArray("500"));
        QCOMPARE(ResultStream::codes(trigger()), kSceneCodes);
    }

    void wrongImagingGivesTheNoReadMessage_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("overexposed") << QByteArray("EXPMOD1;EXPFET20000;EXPFGN12");
        QTest::newRow("dark, no light") << QByteArray("EXPMOD1;EXPFET10;EXPFGN0;ILLMOD0");
        QTest::newRow("out of focus") << QByteArray("FOCPOS900");
    }
    void wrongImagingGivesTheNoReadMessage()
    {
        QFETCH(QByteArray, settings);
        const QList<QByteArray> before = counters().split('N');
        QVERIFY(set(settings));
        const QList<CameraResult> results = trigger();
        QCOMPARE(results.size(), 1);
        QVERIFY(results.first().noRead);
        QCOMPARE(results.first().data, QByteArray("NO-CODE"));  // the hex-decoded message
        // One more read, no more good reads.
        const QList<QByteArray> after = counters().split('N');
        QCOMPARE(after.value(0).toInt(), before.value(0).toInt() + 1);
        QCOMPARE(after.value(1).split('M').value(0), before.value(1).split('M').value(0));
        // Without the message switched on a no-read sends nothing at all.
        QVERIFY(set("NGRENA0"));
        m_stream.clear();
        QCOMPARE(send("#SCNITG", "SCNITG"), int(DataResult_Ack));
        QCOMPARE(send("@DBGCNT", "DBGCNT"), int(DataResult_Ack));
        QTest::qWait(300);
        QCOMPARE(m_stream.frames(), 0);
    }

    void imageDecodesToTheSceneCodes_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("width");
        QTest::newRow("BMP") << QByteArray("IMGGET0T0R0F") << "bmp" << 640;
        QTest::newRow("raw") << QByteArray("IMGGET0T0R1F") << "raw" << 640;
        QTest::newRow("JPEG") << QByteArray("IMGGET0T0R2F95Q") << "jpeg" << 640;
        QTest::newRow("PNG") << QByteArray("IMGGET0T0R3F") << "png" << 640;
        QTest::newRow("last read, PNG") << QByteArray("IMGGET1T0R3F") << "png" << 640;
        QTest::newRow("other command") << QByteArray("IMGGLI0T0R3F") << "png" << 640;
    }
    void imageDecodesToTheSceneCodes()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, format);
        QFETCH(int, width);
        if (request.contains("1T"))
            QVERIFY(!trigger().isEmpty());  // the image of this read is sent
        QByteArray data, info;
        QCOMPARE(send("@" + request, QString::fromLatin1(request.left(6)), nullptr, &data, &info),
                 int(DataResult_Ack));
        const QJsonObject o = QJsonDocument::fromJson(info).object();
        QCOMPARE(o.value("format").toString(), format);
        QCOMPARE(o.value("width").toInt(), width);
        QCOMPARE(o.value("height").toInt(), 400);
        QVERIFY(o.value("makeMs").toDouble() > 0);
        QImage image;
        if (format == "raw") {
            QCOMPARE(data.size(), 640 * 400);
            image = QImage(reinterpret_cast<const uchar *>(data.constData()), 640, 400, 640,
                           QImage::Format_Grayscale8).copy();
        } else {
            QVERIFY(image.loadFromData(data));
        }
        QCOMPARE(zxingCodes(image), kSceneCodes);
    }

    void imageRequestsOfOtherKinds()
    {
        QByteArray data, info;
        // Half size.
        QCOMPARE(send("@IMGGET0T1R3F", "IMGGET", nullptr, &data, &info), int(DataResult_Ack));
        QImage half;
        QVERIFY(half.loadFromData(data));
        QCOMPARE(half.size(), QSize(320, 200));
        // The background holds no code.
        QCOMPARE(send("@IMGBGT3F", "IMGBGT", nullptr, &data, &info), int(DataResult_Ack));
        QImage background;
        QVERIFY(background.loadFromData(data));
        QVERIFY(zxingCodes(background).isEmpty());
        // Malformed or unsupported parts are refused.
        QCOMPARE(send("@IMGGET0T0R9F", "IMGGET"), int(DataResult_Refused));
        QCOMPARE(send("@IMGGETxyz", "IMGGET"), int(DataResult_Refused));
    }

    void changedSceneIsPickedUp()
    {
        QVERIFY(writeFile(m_scene, sceneJson("the new qr")));
        QTRY_VERIFY_WITH_TIMEOUT(ResultStream::codes(trigger()).contains(qMakePair(QByteArray("the new qr"), QString("032"))), 30000);
        // A broken file keeps the last good scene.
        QVERIFY(writeFile(m_scene, "{ not json"));
        QTest::qWait(1500);
        QVERIFY(ResultStream::codes(trigger()).contains(qMakePair(QByteArray("the new qr"), QString("032"))));
        QVERIFY(writeFile(m_scene, sceneJson()));
        QTRY_COMPARE_WITH_TIMEOUT(ResultStream::codes(trigger()), kSceneCodes, 30000);
    }

    void conveyorBringsNewLabels()
    {
        QVERIFY(writeFile(m_scene, R"({"sensor":[640,400],"conveyor":{"rate":20,"unreadable":0,
            "label":[{"symbology":"Code 128","text":"BOX-{n}","x":320,"y":200,"module":2}]}})"));
        auto label = [this]() -> QByteArray {
            const QList<CameraResult> r = trigger();
            return r.size() == 1 && r.first().data.startsWith("BOX-") ? r.first().data : QByteArray();
        };
        QByteArray first;
        QTRY_VERIFY_WITH_TIMEOUT(!(first = label()).isEmpty(), 30000);
        QByteArray later;
        QTRY_VERIFY_WITH_TIMEOUT(!(later = label()).isEmpty() && later != first, 30000);
        // Every label unreadable: only no-reads.
        QVERIFY(writeFile(m_scene, R"({"sensor":[640,400],"conveyor":{"rate":20,"unreadable":1,
            "label":[{"symbology":"Code 128","text":"BOX-{n}","x":320,"y":200,"module":2}]}})"));
        QTRY_VERIFY_WITH_TIMEOUT(trigger().value(0).noRead, 30000);
        QVERIFY(trigger().value(0).noRead);
        QVERIFY(writeFile(m_scene, sceneJson()));
        QTRY_COMPARE_WITH_TIMEOUT(ResultStream::codes(trigger()), kSceneCodes, 30000);
    }

    void continuousModeReadsUntilStopped()
    {
        m_stream.clear();
        QVERIFY(set("SCNITV50;SCNMOD1"));
        QTRY_VERIFY_WITH_TIMEOUT(m_stream.results().size() >= 12, 60000);
        QVERIFY(set("SCNMOD0"));
        // Frames already on their way still arrive; then reading has stopped.
        QTest::qWait(500);
        const QList<CameraResult> results = m_stream.results();
        for (int i = 1; i < results.size(); ++i)
            QCOMPARE(results[i].seq, results[i - 1].seq + 1);
        QCOMPARE(ResultStream::codes(results), kSceneCodes);
        QTest::qWait(1000);
        QCOMPARE(m_stream.results().size(), results.size());
    }
};

// Programs started with other options: load mode, the hand-held, the camera's own scene and a
// configuration file.
class TstVReaderCameraStart : public QObject
{
    Q_OBJECT
private:
    // A reader program with a kit link to its first reader (or its pty) and its result stream.
    struct Started
    {
        VReaderProcess vr;
        ResultStream stream;
        QList<QByteArray> messages;  // what the kit delivered, as delivered
        QString id;
        QMetaObject::Connection connection;
        ~Started()
        {
            QObject::disconnect(connection);
            KxDeviceKit::Instance()->disconnectFromDeviceEx(id);
        }
        bool start(const QString &name, const QStringList &args, bool serial = false)
        {
            id = name;
            if (!vr.start(args))
                return false;
            connection = QObject::connect(KxDeviceKit::Instance(), &KxDeviceKit::barcodeReceived,
                                          [this](const QString &from, const QByteArray &d) {
                                              if (from == id) {
                                                  messages << d;
                                                  stream.append(d);
                                              }
                                          });
            const auto r = vr.readers().value(0);
            return KxDeviceKit::Instance()->connectToDevice_Cmd(
                id, serial ? vr.ptys().value(0) : QStringLiteral("%1:%2").arg(r.address).arg(r.port));
        }
        // Status of code in the reply to text (-1 when nothing came back).
        int send(const QByteArray &text, const QString &code, QByteArray *value = nullptr)
        {
            QByteArray reply, v;
            if (KxDeviceKit::Instance()->sendBinaryMessage(id, frame(text), reply, 30000) != 0)
                return -1;
            const int result = KxGetDataStreamResult(reply, code, v);
            if (value)
                *value = v;
            return result;
        }
    };

    QTemporaryDir m_dir;
    QString sceneFile()
    {
        const QString path = m_dir.filePath("scene.json");
        return writeFile(path, sceneJson()) ? path : QString();
    }

private slots:
    void loadModeSendsTheKnownCodes()
    {
        Started s;
        QVERIFY(s.start("camera-load", {"--count", "1", "--scene", sceneFile(), "--load-rate", "2000"}));
        QCOMPARE(s.send("#MLTCNT4;SCNMOD1", "SCNMOD"), int(DataResult_Ack));
        QTRY_VERIFY_WITH_TIMEOUT(s.stream.results().size() >= 400, 60000);
        QCOMPARE(s.send("#SCNMOD0", "SCNMOD"), int(DataResult_Ack));
        const QList<CameraResult> results = s.stream.results();
        QCOMPARE(ResultStream::codes(results), kSceneCodes);
        for (int i = 1; i < results.size(); ++i)
            QCOMPARE(results[i].seq, results[i - 1].seq + 1);
        QCOMPARE(s.stream.unparsed(), 0);
    }

    void serialReaderSendsTheBareData()
    {
        Started s;
        QVERIFY(s.start("camera-serial", {"--model", "KXS-HS120", "--count", "0", "--pty", "--scene", sceneFile()},
                        true));
        // The serial link delivers each message's data alone: one code (the hand-held reads
        // one per trigger), then the no-read message once nothing it may read is in view.
        QCOMPARE(s.send("#NGRENA1;SCNITG", "SCNITG"), int(DataResult_Ack));
        QTRY_COMPARE_WITH_TIMEOUT(s.messages.size(), 1, 30000);
        QSet<QByteArray> texts;
        for (const auto &code : kSceneCodes)
            texts.insert(code.first);
        QVERIFY2(texts.contains(s.messages.first()), s.messages.first().constData());
        QCOMPARE(s.send("#C28ENA0;QRCENA0;DMXENA0;E13ENA0;SCNITG", "SCNITG"), int(DataResult_Ack));
        QTRY_COMPARE_WITH_TIMEOUT(s.messages.size(), 2, 30000);
        QCOMPARE(s.messages.last(), QByteArray("NoRead"));
    }

    void cameraReadsThePartOfItsOwnScene()
    {
        Started s;
        QVERIFY(s.start("camera-own-scene", {"--model", "KXS-SC500", "--count", "1"}));
        QByteArray value;
        QCOMPARE(s.send("@IMGGWH", "IMGGWH", &value), int(DataResult_Ack));
        QCOMPARE(value, QByteArray("1280W960H"));
        QCOMPARE(s.send("#INCCQP2;SCNITG", "SCNITG"), int(DataResult_Ack));
        QTRY_VERIFY_WITH_TIMEOUT(s.stream.readDone(), 30000);
        QCOMPARE(ResultStream::codes(s.stream.results()), (CodeSet{{"KX-PART-000142", "033"}}));
        QVERIFY(s.stream.results().first().json.value("CodeQualitySt").toObject().contains("ISO29158"));
    }

    void startsFromAConfigurationFile()
    {
        const QString config = m_dir.filePath("saved.xml");
        QVERIFY(writeFile(config, R"(<?xml version="1.0" encoding="utf-8"?>
<Brevan DeviceType="KXS-FM800">
  <Command CommandName="DMXENA" Value="0"/>
  <Command CommandName="MLTCNT" Value="4"/>
  <Command CommandName="NGRSET" Value="4E4F"/>
  <Command CommandName="ZZZZZZ" Value="1"/>
</Brevan>
)"));
        Started s;
        QVERIFY(s.start("camera-config", {"--scene", sceneFile(), "--config", config}));
        QCOMPARE(s.vr.readers().value(0).model, QString("KXS-FM800"));
        QVERIFY(s.vr.errorOutput().contains("unknown ZZZZZZ"));
        QCOMPARE(s.send("#SCNITG", "SCNITG"), int(DataResult_Ack));
        QTRY_VERIFY_WITH_TIMEOUT(s.stream.readDone(), 30000);
        CodeSet expected = kSceneCodes;
        expected.remove({"CAM-DM-7", "033"});
        QCOMPARE(ResultStream::codes(s.stream.results()), expected);
        QByteArray value;
        QCOMPARE(s.send("@NGRSET", "NGRSET", &value), int(DataResult_Ack));
        QCOMPARE(value, QByteArray("4E4F"));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        TstVReaderCamera t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TstVReaderCameraStart t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_vreader_camera.moc"
