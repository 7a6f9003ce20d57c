// The camera's parts without the program: scene files, the conveyor, rendering against decoding,
// grades against blur and contrast, result frame bytes and image requests. What imaging settings
// make readable is checked against the running program (tst_vreader_camera, tst_quicktools).
#include "CameraTestUtil.h"
#include "VcDecoder.h"
#include "VcGrading.h"
#include "VcImageCodec.h"
#include "VcImaging.h"
#include "VcResultFrames.h"
#include "VcScene.h"
#include "VcSceneSource.h"
#include "VrReaderCamera.h"

#include <QtTest>

namespace {

VcSceneCode code(const QString &symbology, const QString &text, QPointF at, double module,
                 double rotation = 0)
{
    VcSceneCode c;
    c.symbology = VcSymbologies::byName(symbology);
    c.text = text;
    c.centre = at;
    c.module = module;
    c.rotation = rotation;
    return c;
}

using CommandValues = QMap<QString, QByteArray>;

VcImagingSettings small()
{
    VcImagingSettings s;
    s.sensor = QSize(480, 360);
    return s;
}

VcDecodeOptions everything(int maxCodes = 4)
{
    VcDecodeOptions o;
    for (const VcSymbology &s : VcSymbologies::all())
        o.enabled << &s;
    o.maxCodes = maxCodes;
    return o;
}

QSet<QPair<QByteArray, QString>> decoded(const QList<VcDecoded> &found)
{
    QSet<QPair<QByteArray, QString>> out;
    for (const VcDecoded &d : found)
        out.insert({d.data, d.symbology->name});
    return out;
}

}  // namespace

class TstVReaderCameraParts : public QObject
{
    Q_OBJECT
private slots:
    void sceneFileProblemsAreCollected_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("not JSON") << QByteArray("[1,2") << QStringList{"not a JSON object"};
        QTest::newRow("unknown symbology and no text")
            << QByteArray(R"({"codes":[{"symbology":"Code 99","x":1,"y":2}]})")
            << QStringList{"codes[0]: unknown symbology \"Code 99\"", "codes[0]: \"text\" is missing"};
        QTest::newRow("position not numbers")
            << QByteArray(R"({"codes":[{"symbology":"QR","text":"a","x":"left","y":2}]})")
            << QStringList{"codes[0]: \"x\" and \"y\" must be numbers"};
        QTest::newRow("sensor and reflectance")
            << QByteArray(R"({"sensor":[10,20],"background":2})")
            << QStringList{"\"sensor\" must be [width, height], 64 to 4096 pixels",
                           "\"background\" is a reflectance from 0 to 1"};
        QTest::newRow("conveyor without label")
            << QByteArray(R"({"conveyor":{"rate":5,"unreadable":1.5}})")
            << QStringList{"conveyor: \"unreadable\" is a share from 0 to 1", "conveyor: \"label\" holds no code"};
        QTest::newRow("text the symbology cannot hold")
            << QByteArray(R"({"codes":[{"symbology":"EAN-13","text":"ABC","x":1,"y":2}]})")
            << QStringList{"codes[0]: cannot be drawn: EAN-13 \"ABC\""};
        QTest::newRow("label without size")
            << QByteArray(R"({"labels":[{"x":5,"y":5,"reflectance":0.9}]})")
            << QStringList{"labels[0]: needs a width and height"};
        QTest::newRow("missing image")
            << QByteArray(R"({"images":[{"file":"nowhere.png"}]})")
            << QStringList{"images[0]: cannot read image"};
    }
    void sceneFileProblemsAreCollected()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, problems);
        VcScene scene;
        scene.background = 0.123;
        QStringList errors;
        QVERIFY(!VcScenes::parse(json, QDir::tempPath(), &scene, &errors));
        QCOMPARE(errors.size(), problems.size());
        for (int i = 0; i < problems.size(); ++i)
            QVERIFY2(errors[i].startsWith(problems[i]), qPrintable(errors[i]));
        QCOMPARE(scene.background, 0.123);  // a failed parse leaves the scene alone
    }

    void conveyorBringsNumberedLabels()
    {
        VcScene scene;
        scene.conveyor.rate = 10;
        scene.conveyor.label << code("Code 128", "BOX-{n}", {100, 100}, 2);
        qint64 label = 0;
        bool unreadable = true;
        QCOMPARE(scene.codesAt(0.05, &label, &unreadable).value(0).text, QString("BOX-1"));
        QCOMPARE(label, qint64(1));
        QVERIFY(!unreadable);
        QCOMPARE(scene.codesAt(0.35, &label).value(0).text, QString("BOX-4"));
        // The unreadable share holds over many labels and is the same in every run.
        scene.conveyor.unreadable = 0.3;
        int bad = 0;
        QList<bool> first;
        for (int i = 0; i < 2000; ++i) {
            const QList<VcSceneCode> codes = scene.codesAt(i / 10.0 + 0.01, &label, &unreadable);
            bad += unreadable;
            first << unreadable;
            if (unreadable)
                QVERIFY(codes.first().paper - codes.first().ink < 0.05);
        }
        QVERIFY2(bad > 500 && bad < 700, qPrintable(QString::number(bad)));
        for (int i = 0; i < 50; ++i) {
            scene.codesAt(i / 10.0 + 0.01, &label, &unreadable);
            QCOMPARE(unreadable, first[i]);
        }
    }

    void renderedCodesDecode_data()
    {
        QTest::addColumn<QString>("symbology");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("module");
        QTest::addColumn<double>("rotation");
        QTest::newRow("Code 128") << "Code 128" << "ABC-123" << 2.0 << 0.0;
        QTest::newRow("Code 128 turned") << "Code 128" << "ABC-123" << 3.0 << 90.0;
        QTest::newRow("QR slanted") << "QR Code" << "hello camera" << 4.0 << 25.0;
        QTest::newRow("Data Matrix") << "Data Matrix" << "DM-42" << 4.0 << 0.0;
        QTest::newRow("EAN-13") << "EAN-13" << "4006381333931" << 2.0 << 0.0;
        QTest::newRow("PDF417") << "PDF417" << "pdf text" << 2.0 << 0.0;
        QTest::newRow("Aztec") << "Aztec" << "aztec 1" << 3.0 << 0.0;
        QTest::newRow("Code 39") << "Code 39" << "CODE39" << 2.0 << 0.0;
    }
    void renderedCodesDecode()
    {
        QFETCH(QString, symbology);
        QFETCH(QString, text);
        QFETCH(double, module);
        QFETCH(double, rotation);
        VcScene scene;
        const VcSceneCode c = code(symbology, text, {240, 180}, module, rotation);
        const VcFrame frame = VcImaging::render(scene, {c}, small());
        QVERIFY(frame.errors.isEmpty());
        QCOMPARE(frame.image.format(), QImage::Format_Grayscale8);
        QCOMPARE(frame.image.size(), QSize(480, 360));
        QCOMPARE(decoded(VcDecoder::decode(frame.image, everything())),
                 (QSet<QPair<QByteArray, QString>>{{text.toUtf8(), c.symbology->name}}));
        // The box drawn is where the symbol is: outside it the image is background.
        const QRect box = frame.codes.value(0).box.boundingRect().toAlignedRect();
        QVERIFY(box.contains(QPoint(240, 180)));
    }

    void decodeOptionsLimitTheRead()
    {
        VcScene scene;
        const QList<VcSceneCode> codes = {code("QR Code", "left", {110, 180}, 4),
                                          code("Data Matrix", "right", {370, 180}, 4)};
        const VcFrame frame = VcImaging::render(scene, codes, small());
        VcDecodeOptions o = everything();
        for (const VcPlacedCode &p : frame.codes)
            o.candidates << p.box.boundingRect().toAlignedRect();
        QCOMPARE(VcDecoder::decode(frame.image, o).size(), 2);
        // Only the left half.
        o.areas = {QRect(0, 0, 240, 360)};
        QCOMPARE(decoded(VcDecoder::decode(frame.image, o)),
                 (QSet<QPair<QByteArray, QString>>{{"left", "QR Code"}}));
        // Two areas, one over each code.
        o.areas = {QRect(0, 0, 200, 360), QRect(300, 0, 180, 360)};
        QCOMPARE(VcDecoder::decode(frame.image, o).size(), 2);
        o.areas = {QRect(0, 0, 240, 360)};
        // QR Code switched off: nothing in the left half.
        o.enabled.removeOne(VcSymbologies::byName("QR Code"));
        QVERIFY(VcDecoder::decode(frame.image, o).isEmpty());
        // One code per read.
        o = everything(1);
        QCOMPARE(VcDecoder::decode(frame.image, o).size(), 1);
        // Nothing enabled reads nothing.
        o.enabled.clear();
        QVERIFY(VcDecoder::decode(frame.image, o).isEmpty());
    }

    void largeImageWithLinearAndMatrixCodes()
    {
        // Large enough for ZXing to try downscaled copies, which made it abort on a linear code
        // found twice.
        VcImagingSettings s;
        s.sensor = QSize(1280, 960);
        const QList<VcSceneCode> codes = {code("Code 128", "BIG-128", {400, 300}, 3),
                                          code("Data Matrix", "BIG-DM", {900, 600}, 5)};
        const VcFrame frame = VcImaging::render(VcScene(), codes, s);
        VcDecodeOptions o = everything();
        for (const VcPlacedCode &p : frame.codes)
            o.candidates << p.box.boundingRect().toAlignedRect();
        QCOMPARE(decoded(VcDecoder::decode(frame.image, o)),
                 (QSet<QPair<QByteArray, QString>>{{"BIG-128", "Code 128"}, {"BIG-DM", "Data Matrix"}}));
    }

    void decodeAreaFromTheReadersCommands_data()
    {
        QTest::addColumn<CommandValues>("values");
        QTest::addColumn<QList<QRect>>("areas");
        using V = CommandValues;
        QTest::newRow("off") << V{{"CADENA", "0"}, {"CADMRI", "1S0I0L0T9R9B"}} << QList<QRect>{};
        QTest::newRow("region string")
            << V{{"CADENA", "1"}, {"CADMRI", "2S0I0L0T99R49B1I200L100T299R199B"}}
            << QList<QRect>{QRect(0, 0, 100, 50), QRect(200, 100, 100, 100)};
        QTest::newRow("edges") << V{{"CADENA", "1"}, {"CADLEF", "10"}, {"CADTOP", "20"}, {"CADRIG", "109"}, {"CADBOT", "69"}}
                               << QList<QRect>{QRect(10, 20, 100, 50)};
        QTest::newRow("pixels") << V{{"CADENA", "1"}, {"CADMOD", "1"}, {"CADPOS", "8,8"}, {"CADSIZ", "64,32"}}
                                << QList<QRect>{QRect(8, 8, 64, 32)};
        QTest::newRow("percent") << V{{"CADENA", "1"}, {"CADMOD", "0"}, {"CADCTR", "50,50"}, {"CADPSZ", "50,50"}}
                                 << QList<QRect>{QRect(100, 50, 200, 100)};
        QTest::newRow("cut by the sensor") << V{{"CADENA", "1"}, {"CADMOD", "1"}, {"CADPOS", "300,100"}, {"CADSIZ", "400,400"}}
                                           << QList<QRect>{QRect(300, 100, 100, 100)};
        QTest::newRow("off the sensor") << V{{"CADENA", "1"}, {"CADMOD", "1"}, {"CADPOS", "1000,1000"}, {"CADSIZ", "16,16"}}
                                        << QList<QRect>{QRect(0, 0, 1, 1)};
    }
    void decodeAreaFromTheReadersCommands()
    {
        QFETCH(CommandValues, values);
        QFETCH(QList<QRect>, areas);
        const VrReaderCamera camera(nullptr, QSize(400, 200));
        const VcDecodeOptions o = camera.decoding([&values](const QString &code) { return values.value(code); });
        QCOMPARE(o.areas, areas);
        QCOMPARE(VcRegions::parse(VcRegions::compose(areas)), areas);
    }

    void sameFrameSameNoise()
    {
        const VcSceneCode c = code("QR Code", "noise", {240, 180}, 3);
        VcImagingSettings s = small();
        s.frame = 7;
        const QImage a = VcImaging::render(VcScene(), {c}, s).image;
        QCOMPARE(VcImaging::render(VcScene(), {c}, s).image, a);
        s.frame = 8;
        QVERIFY(VcImaging::render(VcScene(), {c}, s).image != a);
    }

    void gradesFallWithBlurAndContrast()
    {
        VcSceneCode c = code("Data Matrix", "GRADE-ME", {240, 180}, 5);
        VcImagingSettings s = small();
        QList<VcGrades> byFocus;
        for (double offset : {0.0, 40.0, 80.0, 160.0}) {
            s.focus = 500 + offset;
            const VcFrame f = VcImaging::render(VcScene(), {c}, s);
            byFocus << VcGrading::grade(f.image, f.codes.value(0).box, true, 1);
        }
        QCOMPARE(byFocus.first().overall, 4);
        QCOMPARE(byFocus.first().standard, QString("ISO15415"));
        for (int i = 1; i < byFocus.size(); ++i) {
            QVERIFY(byFocus[i].transition > byFocus[i - 1].transition);
            QVERIFY(byFocus[i].overall <= byFocus[i - 1].overall);
        }
        QVERIFY(byFocus.last().overall < byFocus.first().overall);
        QVERIFY(byFocus.last().quality < byFocus.first().quality);
        // Faint ink lowers the contrast grade.
        s.focus = 500;
        c.ink = 0.6;
        const VcFrame faint = VcImaging::render(VcScene(), {c}, s);
        const VcGrades g = VcGrading::grade(faint.image, faint.codes.value(0).box, true, 2);
        QCOMPARE(g.standard, QString("ISO29158"));
        QVERIFY(g.parameters.value("cCC") < 4);
        QVERIFY(g.contrast < byFocus.first().contrast);
        QCOMPARE(g.parameters.value("cALL"), g.overall);
    }

    void textMessageLayout()
    {
        VcResult a;
        a.data = "AB;C";
        a.codeId = "002";
        a.decodeMs = 3.456;
        a.ppm = 2.5;
        a.score = 88.1;
        a.quality = 77;
        a.standard = "ISO15416";
        VcResult b = a;
        b.data = "second";
        b.codeId = "033";
        b.standard.clear();
        const QByteArray frame = VcResultFrames::text({a, b}, 9, 4);
        QVERIFY(frame.startsWith("KESTOR\x10\x21"));
        QCOMPARE(qFromBigEndian<quint32>(frame.constData() + 8), quint32(frame.size() - 12));
        ResultStream stream;
        stream.append(frame);
        QCOMPARE(stream.unparsed(), 0);
        const QList<CameraResult> r = stream.results();
        QCOMPARE(r.size(), 2);
        QCOMPARE(r[0].data, QByteArray("AB;C"));
        QCOMPARE(r[0].items.value("Barcode Time"), QByteArray("3.46"));
        QCOMPARE(r[0].items.value("Barcode PPM"), QByteArray("2.50"));
        QCOMPARE(r[0].items.value("Barcode Quality"), QByteArray("B"));
        QCOMPARE(r[0].items.value("Read Seq"), QByteArray("9"));
        QCOMPARE(r[0].items.value("Read Id"), QByteArray("4"));
        QCOMPARE(r[1].items.value("Barcode Quality"), QByteArray());  // grading off
        QCOMPARE(r[1].codeId, QString("033"));
        // Record numbers count from 1.
        const int records = frame.indexOf("Total Barcode Data=") + 19;
        QCOMPARE(int(frame[records + 2]), 1);
    }

    void jsonMessageLayout()
    {
        VcResult a;
        a.data = "J1";
        a.codeId = "032";
        a.ppm = 5.19;
        a.decodeMs = 1.005;
        a.quality = 92;
        a.standard = "ISO15415";
        a.grades = {{"cALL", 3}, {"cSC", 3}};
        const VcSender sender{"127.0.0.9", "02:4B:00:00:00:01", "SN-1"};
        const QByteArray frame = VcResultFrames::json(a, sender, 5, 2, false);
        quint16 type = 0;
        QByteArray payload;
        QVERIFY(KxKestor::parse(frame, &type, &payload));
        QCOMPARE(type, quint16(65281));
        const QJsonObject o = QJsonDocument::fromJson(payload).object();
        QCOMPARE(o.value("endFlag").toInt(), 0);
        QCOMPARE(o.value("result").toInt(), 1);
        QCOMPARE(o.value("ip").toString(), QString("127.0.0.9"));
        const QJsonObject c = o.value("list").toArray().at(0).toObject();
        QCOMPARE(c.value("ppm").toInt(), 83);  // sixteenths of a pixel
        QCOMPARE(c.value("len").toInt(), 2);
        QCOMPARE(o.value("CodeQualitySt").toObject().value("ISO15415").toObject().value("cALL").toInt(), 3);
        a.standard.clear();
        const QByteArray plain = VcResultFrames::json(a, sender, 6, 2, true);
        KxKestor::parse(plain, &type, &payload);
        QVERIFY(QJsonDocument::fromJson(payload).object().value("CodeQualitySt").toObject().isEmpty());
        QCOMPARE(VcResultFrames::single("xyz"), QByteArray("KESTOR\x10\x20\0\0\0\x03xyz", 15));
    }

    void imageRequestsParse_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<int>>("fields");  // type, ratio, format, quality, prepro
        QTest::newRow("plain") << QByteArray("0T1R2F") << true << QList<int>{0, 1, 2, 90, 0};
        QTest::newRow("quality") << QByteArray("1T0R2F30Q") << true << QList<int>{1, 0, 2, 30, 0};
        QTest::newRow("any order") << QByteArray("3F2I2R") << true << QList<int>{0, 2, 3, 90, 2};
        QTest::newRow("empty") << QByteArray("") << true << QList<int>{0, 0, 0, 90, 0};
        QTest::newRow("capture button") << QByteArray("1") << true << QList<int>{0, 0, 0, 90, 0};
        QTest::newRow("ratio too big") << QByteArray("0T3R0F") << false << QList<int>{};
        QTest::newRow("quality zero") << QByteArray("2F0Q") << false << QList<int>{};
        QTest::newRow("unknown letter") << QByteArray("0T0Z") << false << QList<int>{};
        QTest::newRow("garbage") << QByteArray("T0") << false << QList<int>{};
    }
    void imageRequestsParse()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, ok);
        QFETCH(QList<int>, fields);
        VcImageRequest r;
        QString error;
        QCOMPARE(VcImageRequest::parse(value, &r, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (ok)
            QCOMPARE((QList<int>{r.type, r.ratio, r.format, r.quality, r.prepro}), fields);
    }
};

QTEST_GUILESS_MAIN(TstVReaderCameraParts)
#include "tst_vreader_camera_parts.moc"
