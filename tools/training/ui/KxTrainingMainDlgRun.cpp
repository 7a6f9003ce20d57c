// The training window's upload, parameter and training pages.
#include "KxTrainingMainDlg.h"

#include "FileDownload.h"
#include "FileUpload.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "TrainingDataSet.h"
#include "TrainingTaskMonitor.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtConcurrent>

using namespace QtCharts;

namespace
{
QProgressBar *progressBar(const QString &name, QWidget *parent)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setStyleSheet(QStringLiteral("QProgressBar{border:1px solid #dbdbdb;border-radius:3px;background:#f9f9f9;"
                                      "text-align:center;height:18px;}"
                                      "QProgressBar::chunk{background-color:#4a6fb5;border-radius:2px;}"));
    return bar;
}
} // namespace

QWidget *KxTrainingMainDlg::buildUploadPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageUpload"));
    auto *v = new QVBoxLayout(page);
    v->addStretch(1);
    m_uploadStatus = new QLabel(kxTr(QStringLiteral("#IDS_Training_UploadHint")), page);
    m_uploadStatus->setObjectName(QStringLiteral("labUploadStatus"));
    m_uploadStatus->setWordWrap(true);
    v->addWidget(m_uploadStatus);
    m_uploadBar = progressBar(QStringLiteral("barUpload"), page);
    v->addWidget(m_uploadBar);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    m_uploadBtn = new KxPushButton(QStringLiteral("#IDS_Training_Upload"), KxPushButton::Primary, page);
    m_uploadBtn->setObjectName(QStringLiteral("btnUpload"));
    connect(m_uploadBtn, &QPushButton::clicked, this, [this] {
        if (m_packWatcher.isRunning())
            m_packCancelled = true;
        else if (m_upload->isRunning())
            m_upload->abort();
        else
            startUpload();
    });
    row->addWidget(m_uploadBtn);
    v->addLayout(row);
    v->addStretch(2);
    return page;
}

QString KxTrainingMainDlg::statusText() const
{
    switch (currentPage()) {
    case Page_Upload:
        return m_uploadStatus->text();
    case Page_Params:
        return m_paramsStatus->text();
    case Page_Train:
        return m_stateLabel->text();
    default:
        return m_countLabel->text();
    }
}

void KxTrainingMainDlg::startUpload()
{
    if (m_busy || m_folder.isEmpty() || labelledCount() == 0)
        return;
    setBusy(true);
    m_packCancelled = false;
    m_md5.clear();
    m_uploadBar->setValue(0);
    m_uploadStatus->setText(kxTr(QStringLiteral("#IDS_Training_Packing")));
    m_uploadBtn->setTextKey(QStringLiteral("#IDS_Cancel"));
    const QString folder = m_folder;
    const QMap<QString, QString> labels = m_labels;
    const QString zipPath = QDir(workDir()).filePath(QStringLiteral("image.zip"));
    // Packing many images takes a while: off the window's thread, an empty answer is success.
    m_packWatcher.setFuture(QtConcurrent::run([folder, labels, zipPath] {
        QString error;
        return TrainingDataSet::pack(folder, labels, zipPath, &error) ? QString() : error;
    }));
}

void KxTrainingMainDlg::onPacked()
{
    const QString error = m_packCancelled ? QStringLiteral("cancelled") : m_packWatcher.result();
    m_packCancelled = false;
    if (!error.isEmpty()) {
        onUploadFinished(false, error);
        return;
    }
    m_uploadStatus->setText(kxTr(QStringLiteral("#IDS_Training_Uploading")));
    if (!m_upload->start(QDir(workDir()).filePath(QStringLiteral("image.zip"))))
        onUploadFinished(false, QStringLiteral("busy"));
}

void KxTrainingMainDlg::onUploadFinished(bool ok, const QString &message)
{
    m_uploadBtn->setTextKey(QStringLiteral("#IDS_Training_Upload"));
    if (ok) {
        m_md5 = m_upload->md5();
        m_uploadBar->setValue(100);
        m_uploadStatus->setText(kxTr(QStringLiteral("#IDS_Training_Uploaded")).arg(m_md5));
    } else {
        m_uploadStatus->setText(kxTr(QStringLiteral("#IDS_Training_UploadFailed")).arg(message));
    }
    setBusy(false);
}

QWidget *KxTrainingMainDlg::buildParamsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageParams"));
    auto *v = new QVBoxLayout(page);
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setHorizontalSpacing(16);
    form->setVerticalSpacing(10);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    auto label = [](const char *key) { return kxTr(QString::fromLatin1(key)); };
    m_model = new QComboBox(page);
    m_model->setObjectName(QStringLiteral("comboModel"));
    m_model->setMinimumWidth(260);
    form->addRow(label("#IDS_Training_Model"), m_model);
    auto spin = [page](const QString &name, int lo, int hi, int value) {
        auto *s = new QSpinBox(page);
        s->setObjectName(name);
        s->setRange(lo, hi);
        s->setValue(value);
        s->setMinimumWidth(200);
        return s;
    };
    m_epochs = spin(QStringLiteral("spinEpochs"), 1, 1000, 20);
    form->addRow(label("#IDS_Training_Epochs"), m_epochs);
    m_rate = new QDoubleSpinBox(page);
    m_rate->setObjectName(QStringLiteral("spinRate"));
    m_rate->setDecimals(5);
    m_rate->setRange(0.00001, 1.0);
    m_rate->setSingleStep(0.0005);
    m_rate->setValue(0.001);
    m_rate->setMinimumWidth(200);
    form->addRow(label("#IDS_Training_Rate"), m_rate);
    m_batch = spin(QStringLiteral("spinBatch"), 1, 512, 16);
    form->addRow(label("#IDS_Training_BatchSize"), m_batch);
    m_width = spin(QStringLiteral("spinWidth"), 8, 2048, 160);
    form->addRow(label("#IDS_Training_Width"), m_width);
    m_height = spin(QStringLiteral("spinHeight"), 8, 2048, 48);
    form->addRow(label("#IDS_Training_Height"), m_height);
    m_device = new QComboBox(page);
    m_device->setObjectName(QStringLiteral("comboDevice"));
    m_device->addItem(QStringLiteral("cpu"));
    m_device->addItem(QStringLiteral("gpu"));
    m_device->setMinimumWidth(200);
    form->addRow(label("#IDS_Training_Device"), m_device);
    m_desc = new QLineEdit(m_product, page);
    m_desc->setMinimumWidth(360);
    m_desc->setObjectName(QStringLiteral("editDesc"));
    form->addRow(label("#IDS_Training_Description"), m_desc);
    v->addLayout(form);
    m_paramsStatus = new QLabel(page);
    m_paramsStatus->setObjectName(QStringLiteral("labParamsStatus"));
    m_paramsStatus->setWordWrap(true);
    v->addWidget(m_paramsStatus);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    m_startBtn = new KxPushButton(QStringLiteral("#IDS_Training_Start"), KxPushButton::Primary, page);
    m_startBtn->setObjectName(QStringLiteral("btnStart"));
    connect(m_startBtn, &QPushButton::clicked, this, &KxTrainingMainDlg::startTraining);
    row->addWidget(m_startBtn);
    v->addLayout(row);
    v->addStretch(1);
    return page;
}

void KxTrainingMainDlg::onModels(bool ok, const QString &message, const QList<TrainingModel> &models)
{
    m_model->clear();
    for (const TrainingModel &m : models)
        m_model->addItem(m.describe.isEmpty() ? m.name : QStringLiteral("%1 (%2)").arg(m.name, m.describe), m.id);
    if (!ok) {
        m_modelsAsked = false; // asked again on the next visit
        m_paramsStatus->setText(kxTr(QStringLiteral("#IDS_Training_ModelsFailed")).arg(message));
    }
}

void KxTrainingMainDlg::startTraining()
{
    if (m_busy || m_md5.isEmpty() || m_trainingRunning)
        return;
    const QJsonObject doc{{QStringLiteral("trainRound"), m_epochs->value()},
                          {QStringLiteral("trainRate"), m_rate->value()},
                          {QStringLiteral("width"), m_width->value()},
                          {QStringLiteral("height"), m_height->value()},
                          {QStringLiteral("trainModel"), m_model->currentData().toInt()},
                          {QStringLiteral("batchSize"), m_batch->value()},
                          {QStringLiteral("modelDesc"), m_desc->text()}};
    if (!m_start->start(TrainStart::parameters(doc, m_md5, QStringLiteral("ocr"), m_device->currentText())))
        return;
    m_paramsStatus->clear();
    setBusy(true);
}

void KxTrainingMainDlg::onStarted(bool ok, const QString &message, const QString &taskId)
{
    setBusy(false);
    if (!ok) {
        m_paramsStatus->setText(kxTr(QStringLiteral("#IDS_Training_StartFailed")).arg(message));
        return;
    }
    m_taskId = taskId;
    m_resultFile.clear();
    m_shownState = GetTaskStatus::Unknown;
    m_log->clear();
    m_accuracy->clear();
    m_loss->clear();
    m_trainBar->setValue(0);
    m_resultLabel->clear();
    m_stateLabel->setText(kxTr(QStringLiteral("#IDS_Training_StateWaiting")));
    m_downloadBtn->setEnabled(false);
    m_trainingRunning = true;
    m_stopBtn->setEnabled(true);
    goToPage(Page_Train);
    m_monitor->start(taskId, 1000);
}

QWidget *KxTrainingMainDlg::buildTrainPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageTrain"));
    auto *v = new QVBoxLayout(page);
    auto *top = new QHBoxLayout;
    m_stateLabel = new QLabel(page);
    m_stateLabel->setObjectName(QStringLiteral("labState"));
    m_stateLabel->setStyleSheet(QStringLiteral("font-weight:bold;"));
    top->addWidget(m_stateLabel);
    m_trainBar = progressBar(QStringLiteral("barTrain"), page);
    top->addWidget(m_trainBar, 1);
    m_stopBtn = new KxPushButton(QStringLiteral("#IDS_Stop"), KxPushButton::Danger, page);
    m_stopBtn->setObjectName(QStringLiteral("btnStop"));
    connect(m_stopBtn, &QPushButton::clicked, this, &KxTrainingMainDlg::stopTraining);
    top->addWidget(m_stopBtn);
    m_downloadBtn = new KxPushButton(QStringLiteral("#IDS_Training_Download"), KxPushButton::Primary, page);
    m_downloadBtn->setObjectName(QStringLiteral("btnDownload"));
    m_downloadBtn->setEnabled(false);
    connect(m_downloadBtn, &QPushButton::clicked, this, [this] {
        const QString dir = KxUi()->getExistingDirectory(QStringLiteral("#IDS_Training_Download"), m_folder, this);
        if (!dir.isEmpty())
            downloadModel(dir);
    });
    top->addWidget(m_downloadBtn);
    v->addLayout(top);

    auto *split = new QSplitter(Qt::Horizontal, page);
    m_chart = new QChart;
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_accuracy = new QLineSeries(m_chart);
    m_accuracy->setName(kxTr(QStringLiteral("#IDS_Training_Accuracy")));
    m_loss = new QLineSeries(m_chart);
    m_loss->setName(kxTr(QStringLiteral("#IDS_Training_Loss")));
    m_chart->addSeries(m_accuracy);
    m_chart->addSeries(m_loss);
    m_axisX = new QValueAxis(m_chart);
    m_axisX->setTitleText(kxTr(QStringLiteral("#IDS_Training_Epoch")));
    m_axisX->setLabelFormat(QStringLiteral("%d"));
    m_axisX->setRange(0, 1);
    auto *axisY = new QValueAxis(m_chart);
    axisY->setRange(0, 1);
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(axisY, Qt::AlignLeft);
    for (QLineSeries *s : {m_accuracy, m_loss}) {
        s->attachAxis(m_axisX);
        s->attachAxis(axisY);
    }
    auto *view = new QChartView(m_chart, split);
    view->setObjectName(QStringLiteral("chartMetrics"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumWidth(360);
    m_log = new QPlainTextEdit(split);
    m_log->setObjectName(QStringLiteral("editLog"));
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(5000);
    m_log->setPlaceholderText(kxTr(QStringLiteral("#IDS_Training_Log")));
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    v->addWidget(split, 1);
    m_resultLabel = new QLabel(page);
    m_resultLabel->setObjectName(QStringLiteral("labResult"));
    m_resultLabel->setWordWrap(true);
    m_resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(m_resultLabel);
    return page;
}

QString KxTrainingMainDlg::stateKey(GetTaskStatus::State s) const
{
    switch (s) {
    case GetTaskStatus::Training:
        return QStringLiteral("#IDS_Training_StateTraining");
    case GetTaskStatus::Quantification:
        return QStringLiteral("#IDS_Training_StateQuant");
    case GetTaskStatus::Finish:
        return QStringLiteral("#IDS_Training_StateFinish");
    case GetTaskStatus::TrainError:
        return QStringLiteral("#IDS_Training_StateTrainError");
    case GetTaskStatus::UnzipError:
        return QStringLiteral("#IDS_Training_StateUnzipError");
    case GetTaskStatus::Unknown:
        break;
    }
    return QStringLiteral("#IDS_Training_StateWaiting");
}

void KxTrainingMainDlg::onState(GetTaskStatus::State state)
{
    // Only the known states reach here: an unknown one keeps what is shown.
    m_shownState = state;
    m_stateLabel->setText(kxTr(stateKey(state)));
}

void KxTrainingMainDlg::onMetrics(const QVariantMap &best)
{
    const int epoch = best.value(QStringLiteral("epoch")).toInt();
    if (epoch <= 0 || (m_accuracy->count() > 0 && m_accuracy->at(m_accuracy->count() - 1).x() >= epoch))
        return;
    if (best.contains(QStringLiteral("accuracy")))
        m_accuracy->append(epoch, best.value(QStringLiteral("accuracy")).toDouble());
    if (best.contains(QStringLiteral("loss")))
        m_loss->append(epoch, qMin(1.0, best.value(QStringLiteral("loss")).toDouble()));
    m_axisX->setRange(0, qMax(epoch, m_epochs->value()));
}

void KxTrainingMainDlg::onEnded(GetTaskStatus::State state)
{
    m_trainingRunning = false;
    m_stopBtn->setEnabled(false);
    m_downloadBtn->setEnabled(state == GetTaskStatus::Finish);
    updateNavigation();
}

void KxTrainingMainDlg::stopTraining()
{
    if (!m_trainingRunning || m_taskId.isEmpty())
        return;
    if (m_kill->start(m_taskId))
        m_stopBtn->setEnabled(false);
}

void KxTrainingMainDlg::downloadModel(const QString &folder)
{
    if (m_shownState != GetTaskStatus::Finish || m_busy)
        return;
    if (!m_download->start(m_taskId, folder))
        return;
    m_downloadBtn->setEnabled(false);
    m_resultLabel->setText(kxTr(QStringLiteral("#IDS_Training_Downloading")));
    setBusy(true);
}
