// The image view without a reader: the settings dialog, decoding image files, manual saving,
// the image wall and dragging decode areas with the mouse on the real canvas.
#include "BCodeImageCanvas.h"
#include "BCodeImageView.h"
#include "BCodeImageViewPrivate.h"
#include "BCodeImageWall.h"
#include "CodeImages.h"
#include "DialogTestUtil.h"
#include "GetImageSettingDlg.h"
#include "KxConfig.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestImageView : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;

    QString writeCodes(const QString &name, const QByteArray &text)
    {
        const QString path = m_root.filePath(name);
        const QImage img = CodeImages::page(QSize(400, 300), {{text, BARCODE_QRCODE, QPoint(60, 50)}});
        return img.save(path) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        KxConfig::instance()->setDataDir(m_root.path() + QStringLiteral("/data"));
        QVERIFY(QDir().mkpath(KxConfig::instance()->dataDir()));
    }

    void settingsDialogStores_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("ratio");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("quality");
        QTest::addColumn<QString>("stored");
        QTest::newRow("jpeg keeps quality") << "1" << "1" << "2" << "90" << "1,1,2,90,";
        QTest::newRow("bmp drops quality") << "0" << "2" << "0" << "90" << "0,2,0,,";
        QTest::newRow("format 3 takes prepro") << "255" << "0" << "3" << "30" << "255,0,3,,0";
    }
    void settingsDialogStores()
    {
        QFETCH(QString, type);
        QFETCH(QString, ratio);
        QFETCH(QString, format);
        QFETCH(QString, quality);
        QFETCH(QString, stored);
        KxSettings::instance()->setValue("IMGGET", "cmd", "0,0,0,0,0");
        BCodeImageOptions start = BCodeImageOptions::load();
        start.prepro = "0";
        GetImageSettingDlg dlg(QSize(1280, 960), start);
        QCOMPARE(dlg.resolutionLabel()->text(), QStringLiteral("1280x960"));
        auto choose = [&dlg](BCodeImageOptions::Param p, const QString &v) {
            QComboBox *box = dlg.list(p);
            box->setCurrentIndex(box->findData(v));
            return box->currentIndex() >= 0;
        };
        QVERIFY(choose(BCodeImageOptions::Type, type));
        QVERIFY(choose(BCodeImageOptions::Ratio, ratio));
        QVERIFY(choose(BCodeImageOptions::Format, format));
        QVERIFY(choose(BCodeImageOptions::Quality, quality));
        dlg.intervalBox()->setValue(750);
        dlg.accept();
        QCOMPARE(KxSettings::instance()->value("IMGGET", "cmd").toString(), stored);
        QCOMPARE(KxSettings::instance()->value("IMGGET", "interval").toInt(), 750);
        QCOMPARE(KxSettings::instance()->value("IMGGET", "GLI").toString(), type);
        QCOMPARE(BCodeImageOptions::load().storedCmd(), stored);
    }

    void settingsDialogNeedsTypeRatioFormat()
    {
        KxSettings::instance()->setValue("IMGGET", "cmd", "0,1,0,,");
        GetImageSettingDlg dlg(QSize(), BCodeImageOptions::load());
        QCOMPARE(dlg.resolutionLabel()->text(), QStringLiteral("-"));
        dlg.list(BCodeImageOptions::Ratio)->setCurrentIndex(-1);
        dlg.list(BCodeImageOptions::Format)->setCurrentIndex(2);
        dlg.accept();
        QCOMPARE(KxSettings::instance()->value("IMGGET", "cmd").toString(), QStringLiteral("0,1,0,,"));
    }

    void decodeFilesReportsEach()
    {
        KxScriptedUiBackend ui;
        BCodeImageView view;
        view.resize(900, 600);
        view.show();
        const QString a = writeCodes("a.png", "FILE-A-42");
        const QString b = writeCodes("b.png", "FILE-B-43");
        const QString bad = m_root.filePath("not-an-image.png");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("nothing") == 7);
        f.close();
        QSignalSpy results(&view, &BCodeImageView::decodeResult);
        QSignalSpy done(view.d(), &BCodeImageViewPrivate::localDecodeDone);
        ui.answerFiles({a, bad, b});
        view.button("btnDecodeFiles")->click();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 30000);
        QCOMPARE(results.size(), 3);
        QCOMPARE(results[0].at(0).toString(), a);
        QCOMPARE(results[0].at(1).toBool(), true);
        QCOMPARE(results[0].at(2).toString(), QStringLiteral("FILE-A-42"));
        QCOMPARE(results[1].at(0).toString(), bad);
        QCOMPARE(results[1].at(1).toBool(), false);
        QCOMPARE(results[2].at(2).toString(), QStringLiteral("FILE-B-43"));
        // The last file stays shown with its code marked.
        QCOMPARE(view.canvas()->codes().size(), 1);
        QCOMPARE(view.canvas()->codes().first().text, QStringLiteral("FILE-B-43"));
        QVERIFY(ui.waitingTexts().contains("#IDS_LoadImage_ing"));
        QVERIFY(!ui.isWaitingShown());
        QVERIFY(ui.errors().isEmpty());
    }

    void manualSave_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("written");
        QTest::newRow("png by name") << "out1.png" << "BMP (*.BMP)" << "out1.png";
        QTest::newRow("suffix from filter") << "out2" << "JPG (*.JPG)" << "out2.jpg";
        QTest::newRow("raw keeps bytes") << "out3.raw" << "raw (*.raw)" << "out3.raw";
    }
    void manualSave()
    {
        QFETCH(QString, name);
        QFETCH(QString, filter);
        QFETCH(QString, written);
        KxScriptedUiBackend ui;
        BCodeImageView view;
        QVERIFY(!view.button("btnSaveImage")->isEnabled());  // nothing to save yet
        const QString src = writeCodes("src.png", "SAVE-ME");
        QSignalSpy done(view.d(), &BCodeImageViewPrivate::localDecodeDone);
        ui.answerFiles({src});
        view.button("btnDecodeFiles")->click();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 30000);
        QVERIFY(view.button("btnSaveImage")->isEnabled());
        const QString target = m_root.filePath(name);
        ui.answerFile(target, filter);
        view.button("btnSaveImage")->click();
        QVERIFY(ui.toastTexts().contains("#IDS_SaveImage_Success"));
        const QString path = m_root.filePath(written);
        QVERIFY(QFile::exists(path));
        if (written.endsWith(".raw")) {
            // The bytes as they came, untouched.
            QFile in(src), out(path);
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadOnly));
            QCOMPARE(out.readAll(), in.readAll());
        } else {
            QCOMPARE(QImage(path).size(), QSize(400, 300));
        }
        // An unwritable place reports the failure.
        ui.answerFile(m_root.filePath("missing-dir/x.png"), "PNG (*.PNG)");
        view.button("btnSaveImage")->click();
        QVERIFY(ui.toastTexts().contains("#IDS_SaveImage_Failed"));
    }

    void fullScreenShowsTheImageAndEnds()
    {
        KxScriptedUiBackend ui;
        BCodeImageView view;
        view.show();
        const QString src = writeCodes("full.png", "FULL-SCREEN");
        QSignalSpy done(view.d(), &BCodeImageViewPrivate::localDecodeDone);
        ui.answerFiles({src});
        view.button("btnDecodeFiles")->click();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 30000);
        view.button("btnFullScreen")->click();
        QWidget *full = view.fullScreenWindow();
        QVERIFY(full);
        QVERIFY(full->isVisible());
        auto *fullCanvas = full->findChild<BCodeImageCanvas *>();
        QVERIFY(fullCanvas);
        QCOMPARE(fullCanvas->pixmap().cacheKey(), view.canvas()->pixmap().cacheKey());
        QCOMPARE(fullCanvas->codes().size(), 1);
        // Escape leaves full screen, as does the button.
        QTest::keyClick(full, Qt::Key_Escape);
        QTRY_VERIFY(!view.fullScreenWindow());
        view.button("btnFullScreen")->click();
        QVERIFY(view.fullScreenWindow());
        view.fullScreenWindow()->findChild<QToolButton *>("btnExitFullScreen")->click();
        QVERIFY(!view.fullScreenWindow());
    }

    void wallKeepsLatestAndShowsClicked()
    {
        BCodeImageWall wall;
        QSignalSpy clicked(&wall, &BCodeImageWall::imageClicked);
        QPixmap pm(64, 48);
        pm.fill(Qt::gray);
        for (int i = 0; i < BCodeImageWall::kMaxItems + 5; ++i)
            wall.addImage(pm, QByteArray::number(i), "ext", QStringLiteral("f%1").arg(i));
        QCOMPARE(wall.count(), BCodeImageWall::kMaxItems);
        QCOMPARE(wall.item(0)->imageData(), QByteArray::number(BCodeImageWall::kMaxItems + 4));
        wall.show();
        QTest::mouseClick(wall.item(1), Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked[0].at(0).toByteArray(), QByteArray::number(BCodeImageWall::kMaxItems + 3));
        wall.onSaveFinished(true, "/some/where/f7.jpg", true);
        QCOMPARE(wall.item(BCodeImageWall::kMaxItems + 4 - 7)->fileName(), QStringLiteral("/some/where/f7.jpg"));
        wall.onSaveFinished(false, "/some/where/f8.jpg", true);
        QVERIFY(wall.item(BCodeImageWall::kMaxItems + 4 - 8)->fileName().endsWith("(!)"));
    }

    void canvasDrag_data()
    {
        QTest::addColumn<QPoint>("from");   // image pixels
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("expected");
        const QRect start(QPoint(100, 100), QPoint(199, 149));
        QTest::newRow("move from inside") << QPoint(150, 120) << QPoint(250, 220)
                                          << start.translated(100, 100);
        QTest::newRow("move stops at the edge") << QPoint(150, 120) << QPoint(1000, 120)
                                                << QRect(QPoint(540, 100), QPoint(639, 149));
        QTest::newRow("resize from corner") << QPoint(199, 149) << QPoint(300, 200)
                                            << QRect(QPoint(100, 100), QPoint(300, 200));
        QTest::newRow("click outside extends") << QPoint(400, 50) << QPoint(400, 50)
                                               << QRect(QPoint(100, 50), QPoint(400, 149));
    }
    void canvasDrag()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QRect, expected);
        BCodeImageCanvas canvas;
        canvas.resize(640, 480);  // the image at scale 1, no margins
        QPixmap pm(640, 480);
        pm.fill(Qt::black);
        canvas.setPixmap(pm);
        canvas.setRois({BCodeRoi{0, QRect(QPoint(100, 100), QPoint(199, 149))}});
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QSignalSpy edited(&canvas, &BCodeImageCanvas::roiEdited);
        const QPoint a = canvas.toWidget(from).toPoint();
        const QPoint b = canvas.toWidget(to).toPoint();
        QTest::mousePress(&canvas, Qt::LeftButton, {}, a);
        QMouseEvent move(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&canvas, &move);
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, b);
        QVERIFY(edited.size() >= 1);
        QCOMPARE(edited.last().at(1).toRect(), expected);
        QCOMPARE(canvas.rois().first().rect, expected);
    }

    void canvasDrawsNewAreaWhereNone()
    {
        BCodeImageCanvas canvas;
        canvas.resize(1280, 960);
        QPixmap pm(640, 480);  // shown at scale 2
        pm.fill(Qt::black);
        canvas.setPixmap(pm);
        canvas.show();
        QSignalSpy edited(&canvas, &BCodeImageCanvas::roiEdited);
        QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(200, 100));
        QMouseEvent move(QEvent::MouseMove, QPoint(600, 500), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&canvas, &move);
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(600, 500));
        QCOMPARE(edited.size(), 1);
        QCOMPARE(edited[0].at(1).toRect(), QRect(QPoint(100, 50), QPoint(300, 250)));
    }
};

QTEST_MAIN(TestImageView)
#include "tst_imageview.moc"
