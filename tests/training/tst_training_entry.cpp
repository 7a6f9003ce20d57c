// The edit frame's way into training, against a real virtual reader: the tools menu offers it
// only for reader models listed for training, and opens one training window.
#include "BCodeEditFrame.h"
#include "DeviceEditClient.h"
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxScriptedUiBackend.h"
#include "KxStandardControls.h"
#include "KxTrainingMainDlg.h"
#include "VReaderSession.h"

#include <QApplication>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

class TstTrainingEntry : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

    static QList<KxTrainingMainDlg *> trainingWindows()
    {
        QList<KxTrainingMainDlg *> out;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<KxTrainingMainDlg *>(w))
                out << d;
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxStandardControls::registerAll();
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
    }

    void menuEntryFollowsTheList()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({}));
        std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(vp);
        QVERIFY(c);
        const QString model = vp.readers().value(0).model;
        QVERIFY(KxLoginedDevicesManage::instance()->registerDevice(c->deviceId(), c.get()));
        KxScriptedUiBackend ui;
        for (bool listed : {false, true}) {
            qApp->setProperty("Training_DevPNameList",
                              listed ? QStringList{"KXS-XY100", model} : QStringList{"KXS-XY100"});
            {
                DeviceEditClient client;
                QVERIFY(client.changeEditMode(2, c->deviceId(), {}));
                auto *frame = qobject_cast<BCodeEditFrame *>(client.currentFrame());
                QVERIFY(frame);
                QToolButton *tools = frame->toolButton("Id_Btn_Tools");
                QVERIFY(tools && tools->menu());
                QAction *entry = tools->menu()->findChild<QAction *>("menu_training");
                QCOMPARE(entry != nullptr, listed);
                if (listed) {
                    QCOMPARE(entry->text(), QStringLiteral("Model Training"));
                    entry->trigger();
                    QCOMPARE(trainingWindows().size(), 1);
                    KxTrainingMainDlg *dlg = trainingWindows().first();
                    QVERIFY(dlg->isVisible());
                    QVERIFY(!dlg->parentWidget()); // a window of its own
                    QVERIFY(dlg->titleText().contains(model));
                    entry->trigger(); // a second time raises the same window
                    QCOMPARE(trainingWindows().size(), 1);
                }
            }
            // The window goes with the edit frame.
            QTRY_VERIFY_WITH_TIMEOUT(trainingWindows().isEmpty(), 10000);
        }
    }
};

QTEST_MAIN(TstTrainingEntry)
#include "tst_training_entry.moc"
