// The training window against the real stand-in: labelling, upload, parameters, a task followed
// to its end, the model download, and stopping a task.
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "KxTrainingMainDlg.h"
#include "KxUiService.h"
#include "TrainingDataSet.h"
#include "VServiceProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QtCharts/QLineSeries>
#include <QtTest>

class TstTrainingDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    QTemporaryDir m_work;
    VServiceProcess m_service;
    KxScriptedUiBackend m_ui;

    QString makeImages(const QString &name, int count)
    {
        const QString folder = m_work.filePath(name);
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i) {
            QImage img(80, 24, QImage::Format_RGB32);
            img.fill(QColor(40 * i, 120, 200));
            img.save(QStringLiteral("%1/img%2.png").arg(folder).arg(i));
        }
        return folder;
    }

    // Labels three images, uploads them and opens the parameters page.
    void prepare(KxTrainingMainDlg &dlg, const QString &folder)
    {
        QVERIFY(dlg.openFolder(folder));
        QVERIFY(!dlg.goToPage(KxTrainingMainDlg::Page_Upload)); // nothing labelled yet
        dlg.setLabel("img0.png", "LOT 42");
        dlg.imageList()->clearSelection();
        dlg.imageList()->item(1)->setSelected(true);
        dlg.imageList()->item(2)->setSelected(true);
        dlg.applyBatchLabel("EXP 2027");
        QCOMPARE(dlg.labelledCount(), 3);
        QVERIFY(dlg.goToPage(KxTrainingMainDlg::Page_Upload));
        QVERIFY(!dlg.goToPage(KxTrainingMainDlg::Page_Params)); // not uploaded yet
        dlg.startUpload();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.dataSetMd5().isEmpty(), 60000);
        QVERIFY(dlg.goToPage(KxTrainingMainDlg::Page_Params));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.modelBox()->count(), 2, 30000);
    }

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), "en");
        KxUi()->installBackend(&m_ui);
        QVERIFY(m_service.start({"--step-ms", "150"}));
        KxSettings::instance()->setValue("training", "url", m_service.trainingUrl());
    }

    void cleanupTestCase() { KxUi()->installBackend(nullptr); }

    void labelTrainAndDownload()
    {
        const QString folder = makeImages("flow", 3);
        KxTrainingMainDlg dlg("KXS-FM800");
        prepare(dlg, folder);
        // The labels are kept in the folder as they are typed.
        QCOMPARE(TrainingDataSet::readLabels(folder),
                 (QMap<QString, QString>{{"img0.png", "LOT 42"}, {"img1.png", "EXP 2027"}, {"img2.png", "EXP 2027"}}));
        dlg.epochsBox()->setValue(3);
        dlg.startTraining();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.currentPage(), int(KxTrainingMainDlg::Page_Train), 30000);
        QVERIFY(!dlg.taskId().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(dlg.shownState(), GetTaskStatus::Finish, 60000);
        QCOMPARE(dlg.statusText(), QStringLiteral("Finished"));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.trainProgress()->value(), 100, 30000);
        // One point per answer that brought a newer epoch; the last is the final epoch.
        QtCharts::QLineSeries *acc = dlg.accuracySeries();
        QVERIFY(acc->count() >= 1);
        QCOMPARE(acc->at(acc->count() - 1).x(), 3.0);
        QVERIFY(dlg.logView()->toPlainText().contains("epoch 3/3"));
        const QString out = m_work.filePath("models");
        dlg.downloadModel(out);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.resultFile().isEmpty(), 30000);
        QCOMPARE(dlg.resultFile(), QDir(out).filePath("task_" + dlg.taskId() + ".zip"));
        QVERIFY(QFileInfo(dlg.resultFile()).size() > 0);
        // After the end the user may go back and train again.
        QVERIFY(dlg.goToPage(KxTrainingMainDlg::Page_Params));
    }

    void stopTask()
    {
        KxTrainingMainDlg dlg("KXS-FM800");
        prepare(dlg, makeImages("stop", 3));
        dlg.epochsBox()->setValue(500);
        dlg.startTraining();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.shownState(), GetTaskStatus::Training, 30000);
        QVERIFY(!dlg.goToPage(KxTrainingMainDlg::Page_Params)); // not while it runs
        dlg.stopTraining();
        QTRY_COMPARE_WITH_TIMEOUT(dlg.shownState(), GetTaskStatus::TrainError, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.logView()->toPlainText().contains("task stopped by the user"), 30000);
        // No model for a stopped task.
        dlg.downloadModel(m_work.filePath("none"));
        QVERIFY(dlg.resultFile().isEmpty());
        QVERIFY(!QFileInfo::exists(m_work.filePath("none")));
    }

    void folderWithoutImages()
    {
        KxTrainingMainDlg dlg("KXS-FM800");
        m_ui.answerMessage(1);
        QVERIFY(!dlg.openFolder(m_work.path()));
        QCOMPARE(m_ui.messageTexts(), QStringList({"#IDS_Training_NoImages"}));
        QVERIFY(dlg.folder().isEmpty());
    }
};

QTEST_MAIN(TstTrainingDialog)
#include "tst_training_dialog.moc"
