// The quick settings page's centre against the real virtual reader: the image view with the
// blank image of the sensor when the page opens, no image view for a reader without images,
// and local decode results written to the text log under the image.
#include "BCodeImageCanvas.h"
#include "BCodeImageView.h"
#include "KxConfig.h"
#include "KxScriptedUiBackend.h"
#include "KxStandardControls.h"
#include "LazyPlainTextEdit.h"
#include "QuickSettingsWidget.h"
#include "ResultOutputNetWidget.h"
#include "ResultOutputWidget.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"

#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestImageQuickPage : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        KxConfig::instance()->setDataDir(m_dir.filePath("data"));
        QVERIFY(QDir().mkpath(KxConfig::instance()->dataDir()));
        KxStandardControls::registerAll();
    }

    void imageViewByReader_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QSize>("blank");
        QTest::newRow("fixed-mount") << QStringList{"--count", "1", "--sensor", "800x600"} << true << QSize(800, 600);
        QTest::newRow("hand-held") << QStringList{"--model", "KXS-HS120", "--count", "1"} << false << QSize(0, 0);
    }
    void imageViewByReader()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, shown);
        QFETCH(QSize, blank);
        VReaderSession::Started vr;
        QVERIFY2(vr.start(args), qPrintable(vr.why));
        auto &connector = vr.connector;
        QuickSettingsWidget page;
        QVERIFY(page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant()));
        page.resize(1366, 768);
        page.show();
        QCOMPARE(page.imageView()->isVisibleTo(&page), shown);
        QCOMPARE(page.imageView()->canvas()->pixmap().size(), blank);
        // The output panel stays under the image in either case.
        QVERIFY(page.outputArea()->isVisibleTo(&page));
        QVERIFY(!page.isBusy());
    }

    // A network reader's results stream into the table, shown by default; local decodes stay in the log.
    void networkResultsFillTheTable()
    {
        VReaderSession::Started vr;
        QVERIFY2(vr.start({"--count", "1", "--sensor", "800x600"}), qPrintable(vr.why));
        auto &connector = vr.connector;
        // Found on the network, as discovery reports it.
        KxDeviceInfoMap info = connector->deviceInfo();
        info.insert(QStringLiteral("Ip Address"), vr.process.readers().value(0).address);
        connector->setDeviceInfo(info);
        QuickSettingsWidget page;
        QVERIFY(page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant()));
        page.resize(1366, 768);
        page.show();
        QCOMPARE(page.outputTabs()->currentWidget(), static_cast<QWidget *>(page.resultTable()));
        QCOMPARE(page.resultTable()->rowCount(), 0);
        int answer = -1;
        connector->sendAsync(this, QStringLiteral("#SCNITG"), 1, {},
                             [&answer](int error, const QByteArray &) { answer = error; });
        QTRY_VERIFY_WITH_TIMEOUT(answer >= 0 && page.resultTable()->rowCount() > 0, 60000);
        QCOMPARE(answer, 0);
        const QString row = page.resultTable()->exportRows().value(0).join(QLatin1Char('|'));
        // One of the default label's codes: Code 128, QR Code or Data Matrix.
        QVERIFY2(row.contains(QStringLiteral("SHIP0001234567")) || row.contains(QStringLiteral("track/0001234567"))
                     || row.contains(QStringLiteral("LOT 42")),
                 qPrintable(row));
        page.resultOutput()->textEdit()->flush();
        QVERIFY(page.resultOutput()->textEdit()->toPlainText().isEmpty());
    }

    void decodeResultsGoToTheLog()
    {
        KxScriptedUiBackend ui;
        QuickSettingsWidget page;
        const QString file = m_dir.filePath("label.png");
        QImage img(300, 200, QImage::Format_Grayscale8);
        img.fill(255);
        QVERIFY(img.save(file));
        page.decodeResultSlot(file, true, QStringLiteral("ABC;DEF"), 12);
        page.decodeResultSlot(file, false, QString(), 3);
        LazyPlainTextEdit *log = page.resultOutput()->textEdit();
        log->flush();
        const QString text = log->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Image File:%1").arg(file)), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Decode Result:ABC;DEF")));
        QVERIFY(text.contains(QStringLiteral("Decode Time:12")));
        QVERIFY(text.contains(QStringLiteral("Decode Fail!!!")));
    }
};

QTEST_MAIN(TestImageQuickPage)
#include "tst_imagequickpage.moc"
