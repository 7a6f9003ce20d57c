// Rules of the image feature that need no reader: blank-image sizes, request values, decode-area
// strings and commands, auto-save names and formats, the image saver, and local decoding of
// rendered codes.
#include "BCodeDecodeArea.h"
#include "BCodeImageOptions.h"
#include "BCodeRoiString.h"
#include "CodeImages.h"
#include "DeviceImageSaver.h"
#include "ImageAutoSaveRules.h"
#include "ImageSaverSettings.h"
#include "KxConfig.h"
#include "KxDecodeImage.h"
#include "KxDeviceImageRequest.h"
#include "KxSettings.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(CodeImages::Placed)

class TestImageRules : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        KxConfig::instance()->setDataDir(m_root.path() + QStringLiteral("/data"));
        QVERIFY(QDir().mkpath(KxConfig::instance()->dataDir()));
    }

    void blankSize_data()
    {
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("ratio 1 halves") << "1" << QSize(640, 480);
        QTest::newRow("ratio 2 quarters") << "2" << QSize(320, 240);
        QTest::newRow("ratio 0 keeps") << "0" << QSize(1280, 960);
        QTest::newRow("ratio 3 keeps") << "3" << QSize(1280, 960);
        QTest::newRow("empty keeps") << "" << QSize(1280, 960);
    }
    void blankSize()
    {
        QFETCH(QString, ratio);
        QFETCH(QSize, expected);
        QCOMPARE(BCodeImageOptions::blankSize(QSize(1280, 960), ratio), expected);
    }

    void extensionAndFormat_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("jpg") << "0" << ".jpg" << QByteArray("JPG");
        QTest::newRow("bmp") << "1" << ".bmp" << QByteArray("BMP");
        QTest::newRow("png") << "2" << ".png" << QByteArray("PNG");
        QTest::newRow("tiff") << "3" << ".tiff" << QByteArray("TIFF");
        QTest::newRow("other") << "7" << "" << QByteArray();
    }
    void extensionAndFormat()
    {
        QFETCH(QString, type);
        QFETCH(QString, ext);
        QFETCH(QByteArray, format);
        QCOMPARE(ImageAutoSaveRules::extension(type), ext);
        QCOMPARE(ImageAutoSaveRules::qtFormat(ext), format);
    }

    void autoSaveName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pathLength");
        QTest::addColumn<QString>("expected");
        const QString stamp = QStringLiteral("2025-01-02_03-04-05_123456789");
        QTest::newRow("no text") << "" << 20 << stamp;
        QTest::newRow("tab becomes #") << "AB\tC" << 20 << stamp + "_barcode_AB#C";
        QTest::newRow("DEL and newline") << QString("x\x7fy\nz") << 20 << stamp + "_barcode_x#y#z";
        QTest::newRow("slash cannot split the path") << "http://a/b" << 20 << stamp + "_barcode_http###a#b";
        QTest::newRow("cut to 50") << QString(80, 'A') << 20 << stamp + "_barcode_" + QString(50, 'A');
        QTest::newRow("cut by long path") << QString(80, 'A') << 230 << stamp + "_barcode_" + QString(10, 'A');
        QTest::newRow("path beyond 240") << QString(10, 'A') << 250 << stamp + "_barcode_";
    }
    void autoSaveName()
    {
        QFETCH(QString, text);
        QFETCH(int, pathLength);
        QFETCH(QString, expected);
        const QDateTime when(QDate(2025, 1, 2), QTime(3, 4, 5));
        QCOMPARE(ImageAutoSaveRules::baseName(when, 123456789, text, pathLength), expected);
    }

    void reserveBlocksSaving_data()
    {
        QTest::addColumn<qint64>("freeGb");
        QTest::addColumn<int>("reserveGb");
        QTest::addColumn<QString>("strategy");
        QTest::addColumn<bool>("noSpace");
        QTest::addColumn<bool>("blocked");
        QTest::newRow("below, no pruning") << qint64(1) << 2 << "0" << false << true;
        QTest::newRow("below, pruning") << qint64(1) << 2 << "1" << false << false;
        QTest::newRow("below, pruning gave up") << qint64(1) << 2 << "1" << true << true;
        QTest::newRow("at the reserve") << qint64(2) << 2 << "0" << true << false;
        QTest::newRow("above") << qint64(50) << 10 << "0" << true << false;
    }
    void reserveBlocksSaving()
    {
        QFETCH(qint64, freeGb);
        QFETCH(int, reserveGb);
        QFETCH(QString, strategy);
        QFETCH(bool, noSpace);
        QFETCH(bool, blocked);
        QCOMPARE(ImageAutoSaveRules::reserveBlocks(freeGb, reserveGb, strategy, noSpace), blocked);
    }

    void roiRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("one") << "1S0I10L20T300R400B" << 1;
        QTest::newRow("two") << "2S0I0L0T99R99B1I100L200T1279R959B" << 2;
        QTest::newRow("none") << "0S" << 0;
    }
    void roiRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        const QList<BCodeRoi> rois = BCodeRoiString::parse(text);
        QCOMPARE(rois.size(), count);
        QCOMPARE(BCodeRoiString::compose(rois), text);
    }

    void roiParseValues()
    {
        const QList<BCodeRoi> rois = BCodeRoiString::parse(QStringLiteral("2S3I10L20T300R400B7I1L2T3R4B"));
        QCOMPARE(rois.size(), 2);
        QCOMPARE(rois[0].index, 3);
        QCOMPARE(rois[0].rect, QRect(QPoint(10, 20), QPoint(300, 400)));
        QCOMPARE(rois[1].index, 7);
        QCOMPARE(rois[1].rect.bottomRight(), QPoint(3, 4));
        QCOMPARE(BCodeRoiString::single(QRect(QPoint(5, 6), QPoint(70, 80))), QStringLiteral("1S0I5L6T70R80B"));
    }

    void roiParseRejectsMalformed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("garbage") << "hello" << 0;
        QTest::newRow("missing B") << "1S0I1L2T3R4" << 0;
        QTest::newRow("right before left") << "1S0I50L2T3R40B" << 0;
        QTest::newRow("good after bad") << "2S0I50L2T3R40B1I1L2T3R4B" << 1;
        QTest::newRow("overflow") << "1S0I99999999999L2T3R4B" << 0;
    }
    void roiParseRejectsMalformed()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QCOMPARE(BCodeRoiString::parse(text).size(), count);
    }

    void roiScaling()
    {
        // A half-size image: the reader's coordinates are twice the image's.
        const QRect image(QPoint(10, 20), QPoint(110, 220));
        const QRect reader = BCodeRoiString::toReader(image, 2.0, 2.0);
        QCOMPARE(reader, QRect(QPoint(20, 40), QPoint(220, 440)));
        QCOMPARE(BCodeRoiString::toImage(reader, 2.0, 2.0), image);
        QCOMPARE(BCodeRoiString::extendTo(QRect(10, 10, 20, 20), QPoint(50, 5)),
                 QRect(QPoint(10, 5), QPoint(50, 29)));
        QCOMPARE(BCodeRoiString::extendTo(QRect(10, 10, 20, 20), QPoint(15, 15)), QRect(10, 10, 20, 20));
    }

    void imageRequest_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("capGli");
        QTest::addColumn<bool>("capPrepro");
        QTest::addColumn<bool>("alternate");
        QTest::addColumn<QString>("request");
        QTest::newRow("plain") << "0,1,0,," << false << false << false << "IMGGET0T1R0F";
        QTest::newRow("jpeg quality") << "0,0,2,90," << false << false << false << "IMGGET0T0R2F90Q";
        QTest::newRow("quality ignored for bmp") << "0,0,0,90," << false << false << false << "IMGGET0T0R0F";
        QTest::newRow("prepro on format 3") << "1,2,3,,2" << false << false << false << "IMGGET1T2R3F2I";
        QTest::newRow("one capability keeps IMGGET") << "1,0,0,," << true << false << false << "IMGGET1T0R0F";
        QTest::newRow("both capabilities") << "1,0,3,,2" << true << true << false << "IMGGLI1T0R3F";
        QTest::newRow("background") << "255,1,2,50," << false << false << false << "IMGBGT2F50Q";
        QTest::newRow("alternate") << "0,1,0,," << false << false << true << "IMGTGT4T1R0F";
        QTest::newRow("short stored text") << "1" << false << false << false << "IMGGET1T0R0F";
    }
    void imageRequest()
    {
        QFETCH(QString, stored);
        QFETCH(bool, capGli);
        QFETCH(bool, capPrepro);
        QFETCH(bool, alternate);
        QFETCH(QString, request);
        KxImageRequest r = KxImageRequest::fromStored(stored);
        r.capGli = capGli;
        r.capGliPrepro = capPrepro;
        r.alternate = alternate;
        r.altType = QStringLiteral("4");
        QCOMPARE(r.code() + r.value(), request);
    }

    void decodeAreaCommands_data()
    {
        QTest::addColumn<QStringList>("known");
        QTest::addColumn<QStringList>("expected");
        const QRect r(QPoint(100, 50), QPoint(300, 250));
        QTest::newRow("region string")
            << QStringList{"CADENA", "CADMRI"} << QStringList{"CADENA=1", "CADMRI=1S0I100L50T300R250B"};
        QTest::newRow("position and size, steps of 8")
            << QStringList{"CADENA", "CADMOD", "CADPOS", "CADSIZ"}
            << QStringList{"CADENA=1", "CADMOD=1", "CADPOS=100,50", "CADSIZ=200,200"};
        QTest::newRow("edges")
            << QStringList{"CADENA", "CADTOP", "CADBOT", "CADLEF", "CADRIG"}
            << QStringList{"CADENA=1", "CADLEF=100", "CADTOP=50", "CADRIG=300", "CADBOT=250"};
        QTest::newRow("every form known: region string first")
            << QStringList{"CADENA", "CADMRI", "CADTOP", "CADBOT", "CADLEF", "CADRIG", "CADPOS", "CADSIZ"}
            << QStringList{"CADENA=1", "CADMRI=1S0I100L50T300R250B"};
        QTest::newRow("edges before position and size")
            << QStringList{"CADENA", "CADTOP", "CADBOT", "CADLEF", "CADRIG", "CADPOS", "CADSIZ"}
            << QStringList{"CADENA=1", "CADLEF=100", "CADTOP=50", "CADRIG=300", "CADBOT=250"};
        QTest::newRow("three edges are not enough")
            << QStringList{"CADENA", "CADTOP", "CADBOT", "CADLEF", "CADPOS", "CADSIZ"}
            << QStringList{"CADENA=1", "CADPOS=100,50", "CADSIZ=200,200"};
        QTest::newRow("no area commands") << QStringList{"CADENA"} << QStringList{};
        QTest::newRow("no switch") << QStringList{"CADMRI"} << QStringList{};
    }
    void decodeAreaCommands()
    {
        QFETCH(QStringList, known);
        QFETCH(QStringList, expected);
        const auto changes = BCodeDecodeArea::changesFor(
            [&known](const QString &c) { return known.contains(c); },
            QRect(QPoint(100, 50), QPoint(300, 250)), QSize(640, 480));
        QStringList got;
        for (const ChangedCmdInfo &c : changes)
            got << c.code + "=" + c.value.toString();
        QCOMPARE(got, expected);
    }

    void decodeAreaSizeStaysOnSensor()
    {
        // A drag to the sensor's corner: the size is cut to whole steps and the corner moves in.
        const auto changes = BCodeDecodeArea::changesFor(
            [](const QString &c) { return QStringList{"CADENA", "CADMOD", "CADPOS", "CADSIZ"}.contains(c); },
            QRect(QPoint(630, 470), QPoint(639, 479)),
            QSize(640, 480));
        QStringList got;
        for (const ChangedCmdInfo &c : changes)
            got << c.code + "=" + c.value.toString();
        QVERIFY(got.contains("CADPOS=624,464"));
        QVERIFY(got.contains("CADSIZ=16,16"));
    }

    void decodeAreaRead_data()
    {
        QTest::addColumn<QVariantMap>("values");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("off") << QVariantMap{{"CADENA", "0"}, {"CADMRI", "1S0I1L2T3R4B"}} << QRect();
        QTest::newRow("region string") << QVariantMap{{"CADENA", "1"}, {"CADMRI", "1S0I1L2T30R40B"}}
                                       << QRect(QPoint(1, 2), QPoint(30, 40));
        QTest::newRow("pixels") << QVariantMap{{"CADENA", "1"}, {"CADMOD", "1"}, {"CADPOS", "8,16"}, {"CADSIZ", "64,32"}}
                                << QRect(8, 16, 64, 32);
        QTest::newRow("percent") << QVariantMap{{"CADENA", "1"}, {"CADMOD", "0"}, {"CADPOS", "8,16"}, {"CADSIZ", "64,32"},
                                                {"CADCTR", "50,50"}, {"CADPSZ", "50,25"}}
                                 << QRect(160, 180, 320, 120);
        QTest::newRow("empty region string falls back")
            << QVariantMap{{"CADENA", "1"}, {"CADMRI", ""}, {"CADMOD", "1"}, {"CADPOS", "8,16"}, {"CADSIZ", "64,32"}}
            << QRect(8, 16, 64, 32);
        QTest::newRow("edges before pixels")
            << QVariantMap{{"CADENA", "1"}, {"CADLEF", "1"}, {"CADTOP", "2"}, {"CADRIG", "30"}, {"CADBOT", "40"},
                           {"CADMOD", "1"}, {"CADPOS", "8,16"}, {"CADSIZ", "64,32"}}
            << QRect(QPoint(1, 2), QPoint(30, 40));
        QTest::newRow("bad pair") << QVariantMap{{"CADENA", "1"}, {"CADPOS", "8"}, {"CADSIZ", "64,32"}} << QRect();
    }
    void decodeAreaRead()
    {
        QFETCH(QVariantMap, values);
        QFETCH(QRect, expected);
        const auto rois = BCodeDecodeArea::read([&values](const QString &c) { return values.contains(c); },
                                                [&values](const QString &c) { return values.value(c).toString(); },
                                                QSize(640, 480));
        QCOMPARE(rois.isEmpty() ? QRect() : rois.first().rect, expected);
    }

    void decodeFindsEveryCodeWithPosition_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<CodeImages::Placed>>("codes");
        QTest::newRow("label") << QSize(1100, 600)
                               << QList<CodeImages::Placed>{{"HELLO-QR", BARCODE_QRCODE, QPoint(40, 40)},
                                                            {"CODE128-42", BARCODE_CODE128, QPoint(300, 60)},
                                                            {"4006381333931", BARCODE_EANX, QPoint(60, 320)}};
        // A linear code in a full-size sensor image once aborted the whole program inside ZXing.
        QTest::newRow("linear code on a 1920x1200 sensor")
            << QSize(1920, 1200) << QList<CodeImages::Placed>{{"ONE-128", BARCODE_CODE128, QPoint(100, 100)}};
        // ZXing 1.4 finds small Data Matrix symbols only in small images.
        QTest::newRow("data matrix") << QSize(400, 300)
                                     << QList<CodeImages::Placed>{{"DM-PART-7", BARCODE_DATAMATRIX, QPoint(120, 80), 4}};
    }
    void decodeFindsEveryCodeWithPosition()
    {
        QFETCH(QSize, size);
        QFETCH(QList<CodeImages::Placed>, codes);
        QList<QRect> where;
        const QImage img = CodeImages::page(size, codes, &where);
        QCOMPARE(where.size(), codes.size());
        for (const QRect &r : where)
            QVERIFY(QRect(QPoint(0, 0), img.size()).contains(r));
        const QList<KxFoundCode> found = KxDecodeCodes(img);
        QCOMPARE(found.size(), codes.size());
        for (int i = 0; i < codes.size(); ++i) {
            const QString text = QString::fromUtf8(codes[i].text);
            const auto it = std::find_if(found.begin(), found.end(),
                                         [&](const KxFoundCode &c) { return c.text == text; });
            QVERIFY2(it != found.end(), qPrintable(text));
            QVERIFY(!it->format.isEmpty());
            QCOMPARE(it->position.size(), 4);
            // Every corner lies on the drawn symbol.
            for (const QPoint &p : it->position)
                QVERIFY2(where[i].adjusted(-2, -2, 2, 2).contains(p), qPrintable(text));
        }
    }

    void decodeImageFromBytes_data()
    {
        QTest::addColumn<QByteArray>("format");  // empty: raw 8-bit rows
        QTest::newRow("raw") << QByteArray();
        QTest::newRow("bmp") << QByteArray("BMP");
        QTest::newRow("png") << QByteArray("PNG");
        QTest::newRow("jpeg") << QByteArray("JPG");
    }
    void decodeImageFromBytes()
    {
        QFETCH(QByteArray, format);
        // An odd width, so Qt pads the rows: the stride must be honoured.
        const QImage img = CodeImages::page(QSize(333, 251), {{"ROW-STRIDE", BARCODE_QRCODE, QPoint(20, 20)}});
        QByteArray bytes;
        if (format.isEmpty()) {
            for (int y = 0; y < img.height(); ++y)
                bytes.append(reinterpret_cast<const char *>(img.constScanLine(y)), img.width());
        } else {
            QBuffer b(&bytes);
            b.open(QIODevice::WriteOnly);
            QVERIFY(img.save(&b, format.constData()));
        }
        QString text;
        QByteArray data;
        int ms = -1;
        QVERIFY(decodeImage(text, bytes, img.width(), img.height(), data, &ms));
        QCOMPARE(text, QStringLiteral("ROW-STRIDE"));
        QVERIFY(ms >= 0);
        const QList<KxFoundCode> back = KxFoundCodesFromJson(data);
        QCOMPARE(back.size(), 1);
        QCOMPARE(back.first().position.size(), 4);
    }

    void decodeGarbageFindsNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::newRow("empty") << QByteArray() << 0 << 0;
        QTest::newRow("noise") << QByteArray("BM\x01\x02garbage", 11) << 0 << 0;
        QTest::newRow("size mismatch") << QByteArray(100, '\xff') << 20 << 20;
        QTest::newRow("blank raw") << QByteArray(400, '\xff') << 20 << 20;
    }
    void decodeGarbageFindsNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, w);
        QFETCH(int, h);
        QString text = QStringLiteral("stale");
        QByteArray data;
        QVERIFY(!decodeImage(text, bytes, w, h, data));
        QVERIFY(text.isEmpty());
        QVERIFY(KxFoundCodesFromJson(data).isEmpty());
        QVERIFY(KxFoundCodesFromJson("{not json").isEmpty());
    }

    void saverFolderAndName()
    {
        QCOMPARE(ImageSaverSettings::folderFor("/base", "COM3:1"), QStringLiteral("/base/COM3_1"));
        const QDateTime now(QDate(2025, 1, 2), QTime(3, 4, 5, 6));
        QCOMPARE(DeviceImageSaver::composeFileName("", "", "", now), QStringLiteral("20250102_03-04-05.006"));
        QCOMPARE(DeviceImageSaver::composeFileName("img", "pre", "suf", now), QStringLiteral("pre_img_suf"));
        QCOMPARE(DeviceImageSaver::composeFileName("img", "", "suf", now), QStringLiteral("img_suf"));
    }

    void saverSettingsFallBack_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("expectLimit");
        QTest::addColumn<int>("expectInterval");
        QTest::newRow("good") << "100" << "60" << 100 << 60;
        QTest::newRow("zero limit") << "0" << "60" << 5120 << 60;
        QTest::newRow("text") << "lots" << "0" << 5120 << 300;
        QTest::newRow("interval too big") << "100" << "65536" << 100 << 300;
        QTest::newRow("interval at top") << "100" << "65535" << 100 << 65535;
    }
    void saverSettingsFallBack()
    {
        QFETCH(QString, limit);
        QFETCH(QString, interval);
        QFETCH(int, expectLimit);
        QFETCH(int, expectInterval);
        KxSettings::instance()->setValue("IMGSAVER", "savepath", "");
        KxSettings::instance()->setValue("IMGSAVER", "disk_limit_mb", limit);
        KxSettings::instance()->setValue("IMGSAVER", "check_interval_sec", interval);
        const ImageSaverSettings s = ImageSaverSettings::load();
        QCOMPARE(s.diskLimitMb, expectLimit);
        QCOMPARE(s.checkIntervalSec, expectInterval);
        // An empty path becomes the data directory's "images" and is stored back.
        QCOMPARE(s.savePath, QDir(KxConfig::instance()->dataDir()).filePath("images"));
        QCOMPARE(KxSettings::instance()->value("IMGSAVER", "savepath").toString(), s.savePath);
    }

    void saverWritesFiles()
    {
        DeviceImageSaver saver;
        QVERIFY(!saver.put("bytes", "early"));  // not initialised yet
        QVERIFY(!saver.init(QString()));
        const QString base = m_root.path() + QStringLiteral("/saved");
        QVERIFY(saver.init(QStringLiteral("127.0.0.2:36520"), base));
        QCOMPARE(saver.saveFolder(), base + QStringLiteral("/127.0.0.2_36520"));
        QVERIFY(!saver.put(QByteArray(), "empty"));
        QSignalSpy saved(&saver, &DeviceImageSaver::imageSaved);
        QVERIFY(saver.put("first-bytes", "one", "pre", "", "bmp"));
        saver.waitForDone();
        QVERIFY(QFile::exists(saver.saveFolder() + QStringLiteral("/pre_one.bmp")));
        // A folder removed under the saver comes back on the next put.
        QVERIFY(QDir(saver.saveFolder()).removeRecursively());
        QVERIFY(saver.put("second", "two", "", "", "png"));
        saver.waitForDone();
        QTRY_COMPARE_WITH_TIMEOUT(saved.size(), 2, 10000);
        QFile f(saver.saveFolder() + QStringLiteral("/two.png"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("second"));
        QCOMPARE(saved.last().at(1).toString(), f.fileName());
    }
};

QTEST_MAIN(TestImageRules)
#include "tst_imagerules.moc"
