// The image view against the real virtual reader over loopback: the blank image of the sensor,
// fetching an image that decodes locally to the scene's codes, a code outside the decode area
// that the reader does not read until the area is dragged over it with the mouse, playing, and
// auto-save with its naming rules.
#include "BCodeImageCanvas.h"
#include "BCodeImageView.h"
#include "BCodeImageViewPrivate.h"
#include "BCodeImageWall.h"
#include "DeviceImageSaver.h"
#include "KxConfig.h"
#include "KxDeviceCommand.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QToolButton>
#include <QtTest>

namespace {
// Two codes, one in each half of a 640 x 400 sensor.
const QByteArray kScene = R"({"sensor":[640,400],"background":0.5,"codes":[
 {"symbology":"QR Code","text":"LEFT-QR-1","x":160,"y":200,"module":5},
 {"symbology":"Code 128","text":"RIGHT-128","x":480,"y":200,"module":2,"height":70}]})";

ChangedCmdInfo change(const QString &code, const QString &value)
{
    ChangedCmdInfo c;
    c.code = code;
    c.name = code;
    c.value = value;
    c.displayValue = value;
    return c;
}

QJsonObject info(const BCodeImageView &view)
{
    return QJsonDocument::fromJson(view.d()->lastExtData()).object();
}

QStringList codeTexts(const BCodeImageCanvas *canvas)
{
    QStringList out;
    for (const KxFoundCode &c : canvas->codes())
        out << c.text;
    out.sort();
    return out;
}
}  // namespace

class TestImageVReader : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    VReaderProcess m_vr;
    std::unique_ptr<KxDeviceConnector> m_connector;
    std::unique_ptr<BCodeImageView> m_view;

    // Presses "get image" and waits for the image to be shown.
    bool fetch()
    {
        QSignalSpy done(m_view->d(), &BCodeImageViewPrivate::fetchFinished);
        m_view->button("btnGetImage")->click();
        return done.wait(60000) && done.first().at(0).toBool();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        KxConfig::instance()->setDataDir(m_dir.filePath("data"));
        QVERIFY(QDir().mkpath(KxConfig::instance()->dataDir()));
        KxSettings::instance()->setValue("IMGGET", "cmd", "0,0,0,,");  // full size, BMP
        KxSettings::instance()->setValue("IMGGET", "interval", 50);
        QSaveFile scene(m_dir.filePath("scene.json"));
        QVERIFY(scene.open(QIODevice::WriteOnly) && scene.write(kScene) == kScene.size() && scene.commit());
        QVERIFY2(m_vr.start({"--count", "1", "--scene", m_dir.filePath("scene.json")}),
                 m_vr.errorOutput().constData());
        QString why;
        m_connector = VReaderSession::login(m_vr, &why);
        QVERIFY2(m_connector, qPrintable(why));
        m_view = std::make_unique<BCodeImageView>();
        m_view->resize(1000, 640);
        m_view->show();
        m_view->setDevice(QPointer<KxDeviceConnector>(m_connector.get()));
    }

    void cleanupTestCase()
    {
        m_view.reset();
        m_connector.reset();
        m_vr.stop();
    }

    void blankImageHasSensorSize()
    {
        QVERIFY(m_view->hasImageSupport());
        QCOMPARE(m_view->d()->sensorSize(), QSize(640, 400));
        const QImage blank = m_view->canvas()->pixmap().toImage();
        QCOMPARE(blank.size(), QSize(640, 400));
        QCOMPARE(qGray(blank.pixel(320, 200)), 0);
    }

    void fetchedImageDecodesToSceneCodes()
    {
        QVERIFY(fetch());
        QCOMPARE(m_view->canvas()->pixmap().size(), QSize(640, 400));
        QCOMPARE(info(*m_view).value("format").toString().toLower(), QStringLiteral("bmp"));
        QTRY_COMPARE_WITH_TIMEOUT(codeTexts(m_view->canvas()), (QStringList{"LEFT-QR-1", "RIGHT-128"}), 30000);
        // The marks sit on the codes: the QR code's corners lie in the left half.
        for (const KxFoundCode &c : m_view->canvas()->codes()) {
            for (const QPoint &p : c.position)
                QVERIFY2((c.text == "LEFT-QR-1") == (p.x() < 320), qPrintable(c.text));
        }
        QVERIFY(m_view->wall()->count() >= 1);
        QVERIFY(m_view->button("btnGetImage")->isEnabled());
    }

    void draggingTheAreaMakesTheOtherCodeRead()
    {
        KxDeviceCommand *cmd = m_connector->command();
        // The area on the left half only: the reader reads the QR code and not the Code 128.
        QCOMPARE(VReaderSession::sendChanges(cmd, {change("CADENA", "1"), change("CADMOD", "1"),
                                                   change("CADPOS", "16,16"), change("CADSIZ", "288,368")},
                                             this),
                 4);
        QVERIFY(fetch());
        QCOMPARE(info(*m_view).value("decoded").toString(), QStringLiteral("LEFT-QR-1"));
        QCOMPARE(info(*m_view).value("codes").toInt(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_view->canvas()->rois().size(), 1, 10000);
        QCOMPARE(m_view->canvas()->rois().first().rect, QRect(16, 16, 288, 368));

        // Drag it with the mouse 320 image pixels to the right, over the Code 128.
        BCodeImageCanvas *canvas = m_view->canvas();
        QSignalSpy sent(m_view->d(), &BCodeImageViewPrivate::roiSent);
        const QPoint from = canvas->toWidget(QPoint(160, 200)).toPoint();
        const QPoint to = canvas->toWidget(QPoint(480, 200)).toPoint();
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        QVERIFY(sent.wait(30000));
        QCOMPARE(sent.first().at(0).toBool(), true);
        // The canvas is shown scaled: allow a pixel of rounding in the drag.
        const QByteArray pos = VReaderSession::readerValue(m_connector.get(), "CADPOS");
        const QStringList xy = QString::fromUtf8(pos).split(',');
        QCOMPARE(xy.size(), 2);
        QVERIFY2(qAbs(xy[0].toInt() - 336) <= 2 && qAbs(xy[1].toInt() - 16) <= 2, pos.constData());
        QCOMPARE(VReaderSession::readerValue(m_connector.get(), "CADSIZ"), QByteArray("288,368"));
        // The drag became unsaved changes like any page edit.
        bool recorded = false;
        for (const ChangedCmdInfo &c : cmd->changedCmds())
            recorded = recorded || c.code == "CADPOS";
        QVERIFY(recorded);

        QVERIFY(fetch());
        QCOMPARE(info(*m_view).value("decoded").toString(), QStringLiteral("RIGHT-128"));
        QCOMPARE(info(*m_view).value("codes").toInt(), 1);
        QVERIFY(m_view->canvas()->rois().first().rect.left() > 320);
    }

    void playStreamsUntilStopped()
    {
        QSignalSpy images(m_view->d(), &BCodeImageViewPrivate::fetchFinished);
        m_view->button("btnPlay")->click();
        QVERIFY(m_view->d()->isPlaying());
        QVERIFY(!m_view->button("btnGetImage")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(images.size() >= 3, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(m_connector.get(), "SCNMTR"), QByteArray("1"), 10000);
        m_view->button("btnPlay")->click();
        QVERIFY(!m_view->d()->isPlaying());
        // At most the fetch already under way still lands; then nothing more comes.
        QTest::qWait(300);
        const int settled = images.size();
        QTest::qWait(500);
        QCOMPARE(images.size(), settled);
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(m_connector.get(), "SCNMTR"), QByteArray("0"), 10000);
        for (const QList<QVariant> &r : images)
            QVERIFY(r.at(0).toBool());
    }

    void closingWhilePlayingStopsTheStream()
    {
        auto view = std::make_unique<BCodeImageView>();
        view->setDevice(QPointer<KxDeviceConnector>(m_connector.get()));
        view->button("btnPlay")->click();
        QVERIFY(view->d()->isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(m_connector.get(), "SCNMTR"), QByteArray("1"), 10000);
        view.reset();
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(m_connector.get(), "SCNMTR"), QByteArray("0"), 10000);
    }

    void autoSaveNamesAndFormats_data()
    {
        QTest::addColumn<QString>("fileType");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("jpg") << "0" << ".jpg";
        QTest::newRow("png") << "2" << ".png";
    }
    void autoSaveNamesAndFormats()
    {
        QFETCH(QString, fileType);
        QFETCH(QString, suffix);
        const QString base = m_dir.filePath("auto-" + fileType);
        qApp->setProperty("localSetting_imagePath", base);
        qApp->setProperty("localSetting_imageFileType", fileType);
        qApp->setProperty("localSetting_imageQuality", "2");
        qApp->setProperty("localSetting_miniFreeReservedSpace", "0");
        qApp->setProperty("localSetting_imageStrategy", "1");
        m_view->button("btnAutoSave")->setChecked(true);
        QVERIFY(fetch());
        m_view->d()->saver()->waitForDone();
        const QString name = m_view->d()->lastAutoSaveName();
        // "yyyy-MM-dd_HH-mm-ss_<9 digits>_barcode_<text>" with the reader's decoded text.
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_\\d{9}_barcode_RIGHT-128\\" + suffix + "$")
                     .match(name).hasMatch(), qPrintable(name));
        const QString folder = m_view->d()->saver()->saveFolder();
        QVERIFY(folder.startsWith(base));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/" + name), 10000);
        QCOMPARE(QImage(folder + "/" + name).size(), QSize(640, 400));
        m_view->button("btnAutoSave")->setChecked(false);
    }

    void readerWithoutImagesGetsNoBlank()
    {
        VReaderSession::Started handHeld;
        QVERIFY2(handHeld.start({"--model", "KXS-HS120", "--count", "1"}), qPrintable(handHeld.why));
        auto &connector = handHeld.connector;
        BCodeImageView view;
        view.setDevice(QPointer<KxDeviceConnector>(connector.get()));
        QVERIFY(!view.hasImageSupport());
        QVERIFY(view.canvas()->pixmap().isNull());
        QVERIFY(!view.button("btnGetImage")->isEnabled());
        QVERIFY(!view.button("btnPlay")->isEnabled());
        view.setDevice(nullptr);
    }
};

QTEST_MAIN(TestImageVReader)
#include "tst_imagevreader.moc"
