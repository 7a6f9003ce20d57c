#pragma once
// One window that walks a user through training a text-reading model: choose a folder of
// images and type the text each shows (one text for several at once if they share it), pack
// and upload them, set the parameters, start, follow state, log, progress and metrics, stop,
// and download the model. Labels are saved in the folder at every edit, so nothing is lost.
#include "NDialogEx.h"
#include "TrainingRequests.h"

#include <QFutureWatcher>
#include <QMap>

class FileDownload;
class FileUpload;
class KxPushButton;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QSpinBox;
class QStackedWidget;
class TrainingTaskMonitor;
namespace QtCharts {
class QChart;
class QLineSeries;
class QValueAxis;
}

class KxTrainingMainDlg : public NDialogEx
{
    Q_OBJECT
public:
    enum Page { Page_Images, Page_Upload, Page_Params, Page_Train };

    explicit KxTrainingMainDlg(const QString &productName, QWidget *parent = nullptr);
    ~KxTrainingMainDlg() override;

    // Every request goes to this address instead of the settings' one (tools and tests).
    void setServiceUrl(const QString &url);
    bool openFolder(const QString &folder);
    QString folder() const { return m_folder; }
    QMap<QString, QString> labels() const { return m_labels; }
    void setLabel(const QString &image, const QString &text);
    // Gives every selected image the same text.
    void applyBatchLabel(const QString &text);
    int labelledCount() const;

    int currentPage() const;
    bool goToPage(int page);
    QString dataSetMd5() const { return m_md5; }
    QString taskId() const { return m_taskId; }
    GetTaskStatus::State shownState() const { return m_shownState; }
    QString resultFile() const { return m_resultFile; }
    QString statusText() const;

    // The actions behind the buttons, for the buttons and for tests.
    void startUpload();
    void startTraining();
    void stopTraining();
    void downloadModel(const QString &folder);

    QListWidget *imageList() const { return m_list; }
    QLineEdit *labelEdit() const { return m_labelEdit; }
    QSpinBox *epochsBox() const { return m_epochs; }
    QComboBox *modelBox() const { return m_model; }
    QPlainTextEdit *logView() const { return m_log; }
    QProgressBar *trainProgress() const { return m_trainBar; }
    QtCharts::QLineSeries *accuracySeries() const { return m_accuracy; }

protected:
    void reject() override;

private:
    QWidget *buildImagesPage();
    QWidget *buildUploadPage();
    QWidget *buildParamsPage();
    QWidget *buildTrainPage();
    void updateNavigation();
    void refreshList();
    void onSelectionChanged();
    void saveLabels();
    void chooseFolder();
    void onPacked();
    void onUploadFinished(bool ok, const QString &message);
    void onModels(bool ok, const QString &message, const QList<TrainingModel> &models);
    void onStarted(bool ok, const QString &message, const QString &taskId);
    void onState(GetTaskStatus::State state);
    void onMetrics(const QVariantMap &best);
    void onEnded(GetTaskStatus::State state);
    void setBusy(bool busy);
    QString stateKey(GetTaskStatus::State s) const;
    QString workDir() const;

    QString m_product;
    QString m_serviceUrl;
    QString m_folder;
    QMap<QString, QString> m_labels;
    QString m_md5;
    QString m_taskId;
    QString m_resultFile;
    GetTaskStatus::State m_shownState = GetTaskStatus::Unknown;
    bool m_busy = false;
    bool m_trainingRunning = false;
    bool m_modelsAsked = false;
    bool m_packCancelled = false;

    QStackedWidget *m_pages;
    QLabel *m_steps;
    KxPushButton *m_back;
    KxPushButton *m_next;
    // Images.
    QLabel *m_folderLabel;
    QListWidget *m_list;
    QLabel *m_preview;
    QLineEdit *m_labelEdit;
    QLineEdit *m_batchEdit;
    QLabel *m_countLabel;
    // Upload.
    QLabel *m_uploadStatus;
    QProgressBar *m_uploadBar;
    KxPushButton *m_uploadBtn;
    // Parameters.
    QComboBox *m_model;
    QSpinBox *m_epochs;
    QDoubleSpinBox *m_rate;
    QSpinBox *m_batch;
    QSpinBox *m_width;
    QSpinBox *m_height;
    QComboBox *m_device;
    QLineEdit *m_desc;
    QLabel *m_paramsStatus;
    KxPushButton *m_startBtn;
    // Training.
    QLabel *m_stateLabel;
    QProgressBar *m_trainBar;
    QPlainTextEdit *m_log;
    QtCharts::QChart *m_chart;
    QtCharts::QLineSeries *m_accuracy;
    QtCharts::QLineSeries *m_loss;
    QtCharts::QValueAxis *m_axisX;
    KxPushButton *m_stopBtn;
    KxPushButton *m_downloadBtn;
    QLabel *m_resultLabel;

    FileUpload *m_upload;
    GetModelList *m_models;
    TrainStart *m_start;
    KillTrain *m_kill;
    FileDownload *m_download;
    TrainingTaskMonitor *m_monitor;
    QFutureWatcher<QString> m_packWatcher;
};
