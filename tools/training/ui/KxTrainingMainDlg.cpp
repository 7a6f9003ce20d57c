// The training window: its pages, the navigation between them and the labelling page.
#include "KxTrainingMainDlg.h"

#include "FileDownload.h"
#include "FileUpload.h"
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "TrainingDataSet.h"
#include "TrainingTaskMonitor.h"

#include <QDebug>
#include <QDir>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace
{
const char *const kStepKeys[] = {"#IDS_Training_StepImages", "#IDS_Training_StepUpload",
                                 "#IDS_Training_StepParams", "#IDS_Training_StepTrain"};

QPixmap thumbnail(const QString &path, const QSize &box)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage img = reader.read();
    return img.isNull() ? QPixmap() : QPixmap::fromImage(img.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
} // namespace

KxTrainingMainDlg::KxTrainingMainDlg(const QString &productName, QWidget *parent)
    : NDialogEx(parent),
      m_product(productName),
      m_upload(new FileUpload(this)),
      m_models(new GetModelList(this)),
      m_start(new TrainStart(this)),
      m_kill(new KillTrain(this)),
      m_download(new FileDownload(this)),
      m_monitor(new TrainingTaskMonitor(this))
{
    setObjectName(QStringLiteral("KxTrainingMainDlg"));
    setTitle(kxTr(QStringLiteral("#IDS_Training")) + (productName.isEmpty() ? QString() : QStringLiteral(" - ") + productName));
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setSpacing(10);
    m_steps = new QLabel(contentWidget());
    m_steps->setObjectName(QStringLiteral("labSteps"));
    m_steps->setTextFormat(Qt::RichText);
    layout->addWidget(m_steps);
    m_pages = new QStackedWidget(contentWidget());
    m_pages->addWidget(buildImagesPage());
    m_pages->addWidget(buildUploadPage());
    m_pages->addWidget(buildParamsPage());
    m_pages->addWidget(buildTrainPage());
    layout->addWidget(m_pages, 1);

    m_back = addButton(QStringLiteral("#IDS_Back"));
    m_back->setObjectName(QStringLiteral("btnBack"));
    m_next = addButton(QStringLiteral("#IDS_Training_Next"), KxPushButton::Primary);
    m_next->setObjectName(QStringLiteral("btnNext"));
    KxPushButton *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(m_back, &QPushButton::clicked, this, [this] { goToPage(currentPage() - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { goToPage(currentPage() + 1); });
    connect(close, &QPushButton::clicked, this, &KxTrainingMainDlg::reject);

    connect(m_upload, &FileUpload::finished, this, &KxTrainingMainDlg::onUploadFinished);
    connect(m_upload, &FileUpload::progress, this, [this](int p) { m_uploadBar->setValue(p); });
    connect(&m_packWatcher, &QFutureWatcher<QString>::finished, this, &KxTrainingMainDlg::onPacked);
    connect(m_models, &GetModelList::models, this, &KxTrainingMainDlg::onModels);
    connect(m_start, &TrainStart::started, this, &KxTrainingMainDlg::onStarted);
    connect(m_monitor, &TrainingTaskMonitor::stateChanged, this,
            [this](GetTaskStatus::State s, const QString &) { onState(s); });
    connect(m_monitor, &TrainingTaskMonitor::logLines, this,
            [this](const QStringList &lines) { m_log->appendPlainText(lines.join(QLatin1Char('\n'))); });
    connect(m_monitor, &TrainingTaskMonitor::progressChanged, this, [this](int p) { m_trainBar->setValue(p); });
    connect(m_monitor, &TrainingTaskMonitor::metrics, this, &KxTrainingMainDlg::onMetrics);
    connect(m_monitor, &TrainingTaskMonitor::ended, this, &KxTrainingMainDlg::onEnded);
    connect(m_monitor, &TrainingTaskMonitor::failed, this, [this](const QString &message) {
        m_resultLabel->setText(kxTr(QStringLiteral("#IDS_Training_ServiceLost")).arg(message));
    });
    connect(m_kill, &KillTrain::killed, this, [this](bool ok, const QString &message) {
        m_stopBtn->setEnabled(m_trainingRunning);
        if (!ok)
            KxUi()->toast(kxTr(QStringLiteral("#IDS_Training_StopFailed")).arg(message), 3000, this);
    });
    connect(m_download, &FileDownload::downloaded, this, [this](bool ok, const QString &message, const QString &path) {
        setBusy(false);
        m_downloadBtn->setEnabled(m_shownState == GetTaskStatus::Finish);
        if (ok)
            m_resultFile = path;
        m_resultLabel->setText(ok ? kxTr(QStringLiteral("#IDS_Training_Downloaded")).arg(QDir::toNativeSeparators(path))
                                  : kxTr(QStringLiteral("#IDS_Training_DownloadFailed")).arg(message));
    });
    resize(980, 640);
    updateNavigation();
}

KxTrainingMainDlg::~KxTrainingMainDlg()
{
    m_monitor->stop();
}

void KxTrainingMainDlg::setServiceUrl(const QString &url)
{
    m_serviceUrl = url;
    for (KxTrainingRequest *r : std::initializer_list<KxTrainingRequest *>{m_upload, m_models, m_start, m_kill, m_download})
        r->setBaseUrl(url);
    m_monitor->setBaseUrl(url);
}

QString KxTrainingMainDlg::workDir() const
{
    return KxConfig::instance()->subDir(QStringLiteral("training"));
}

QWidget *KxTrainingMainDlg::buildImagesPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageImages"));
    auto *v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    auto *choose = new KxPushButton(QStringLiteral("#IDS_Training_ChooseFolder"), KxPushButton::Normal, page);
    choose->setObjectName(QStringLiteral("btnChooseFolder"));
    connect(choose, &QPushButton::clicked, this, &KxTrainingMainDlg::chooseFolder);
    m_folderLabel = new QLabel(kxTr(QStringLiteral("#IDS_Training_NoFolder")), page);
    m_folderLabel->setObjectName(QStringLiteral("labFolder"));
    m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(choose);
    top->addWidget(m_folderLabel, 1);
    v->addLayout(top);

    auto *split = new QSplitter(Qt::Horizontal, page);
    m_list = new QListWidget(split);
    m_list->setObjectName(QStringLiteral("listImages"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setIconSize(QSize(120, 40));
    m_list->setMinimumWidth(320);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &KxTrainingMainDlg::onSelectionChanged);
    auto *right = new QWidget(split);
    auto *rv = new QVBoxLayout(right);
    m_preview = new QLabel(right);
    m_preview->setObjectName(QStringLiteral("labPreview"));
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setMinimumSize(360, 200);
    m_preview->setStyleSheet(QStringLiteral("QLabel{background:#f9f9f9;border:1px solid #dbdbdb;}"));
    rv->addWidget(m_preview, 1);
    rv->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_Training_ImageText")), right));
    m_labelEdit = new QLineEdit(right);
    m_labelEdit->setObjectName(QStringLiteral("editLabel"));
    m_labelEdit->setEnabled(false);
    connect(m_labelEdit, &QLineEdit::textEdited, this, [this](const QString &text) {
        const QList<QListWidgetItem *> sel = m_list->selectedItems();
        if (sel.size() == 1)
            setLabel(sel.first()->data(Qt::UserRole).toString(), text);
    });
    // Enter moves on to the next image, so a series is labelled from the keyboard.
    connect(m_labelEdit, &QLineEdit::returnPressed, this, [this] {
        const int row = m_list->currentRow();
        if (row + 1 < m_list->count()) {
            m_list->clearSelection();
            m_list->setCurrentRow(row + 1);
        }
    });
    rv->addWidget(m_labelEdit);
    rv->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_Training_BatchLabel")), right));
    auto *batchRow = new QHBoxLayout;
    m_batchEdit = new QLineEdit(right);
    m_batchEdit->setObjectName(QStringLiteral("editBatch"));
    auto *apply = new KxPushButton(QStringLiteral("#IDS_Training_ApplyBatch"), KxPushButton::Normal, right);
    apply->setObjectName(QStringLiteral("btnApplyBatch"));
    connect(apply, &QPushButton::clicked, this, [this] { applyBatchLabel(m_batchEdit->text()); });
    batchRow->addWidget(m_batchEdit, 1);
    batchRow->addWidget(apply);
    rv->addLayout(batchRow);
    split->setStretchFactor(1, 1);
    v->addWidget(split, 1);
    m_countLabel = new QLabel(page);
    m_countLabel->setObjectName(QStringLiteral("labCount"));
    v->addWidget(m_countLabel);
    return page;
}

void KxTrainingMainDlg::chooseFolder()
{
    const QString dir = KxUi()->getExistingDirectory(QStringLiteral("#IDS_Training_ChooseFolder"), m_folder, this);
    if (!dir.isEmpty())
        openFolder(dir);
}

bool KxTrainingMainDlg::openFolder(const QString &folder)
{
    const QStringList images = TrainingDataSet::imageFiles(folder);
    if (images.isEmpty()) {
        KxUi()->warning(QStringLiteral("#IDS_Training_NoImages"), QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    m_folder = folder;
    m_labels = TrainingDataSet::readLabels(folder);
    m_md5.clear();
    m_folderLabel->setText(QDir::toNativeSeparators(folder));
    m_list->clear();
    for (const QString &name : images) {
        auto *item = new QListWidgetItem(thumbnail(QDir(folder).filePath(name), m_list->iconSize()), QString(), m_list);
        item->setData(Qt::UserRole, name);
    }
    refreshList();
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    updateNavigation();
    return true;
}

void KxTrainingMainDlg::refreshList()
{
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        const QString name = item->data(Qt::UserRole).toString();
        const QString text = m_labels.value(name);
        item->setText(text.isEmpty() ? name : QStringLiteral("%1\n%2").arg(name, text));
        item->setForeground(text.isEmpty() ? QColor(0x8c, 0x8c, 0x8c) : QColor(0x1f, 0x1f, 0x1f));
    }
    m_countLabel->setText(kxTr(QStringLiteral("#IDS_Training_LabelCount")).arg(labelledCount()).arg(m_list->count()));
}

void KxTrainingMainDlg::onSelectionChanged()
{
    const QList<QListWidgetItem *> sel = m_list->selectedItems();
    m_labelEdit->setEnabled(sel.size() == 1);
    if (sel.size() != 1) {
        m_labelEdit->clear();
        m_preview->clear();
        return;
    }
    const QString name = sel.first()->data(Qt::UserRole).toString();
    m_labelEdit->setText(m_labels.value(name));
    m_preview->setPixmap(thumbnail(QDir(m_folder).filePath(name), m_preview->size() - QSize(8, 8)));
    m_labelEdit->setFocus();
}

void KxTrainingMainDlg::setLabel(const QString &image, const QString &text)
{
    const QString clean = TrainingDataSet::cleanLabel(text);
    if (clean.isEmpty())
        m_labels.remove(image);
    else
        m_labels.insert(image, clean);
    m_md5.clear(); // the uploaded data set no longer matches
    saveLabels();
    refreshList();
    updateNavigation();
}

void KxTrainingMainDlg::applyBatchLabel(const QString &text)
{
    const QString clean = TrainingDataSet::cleanLabel(text);
    const QList<QListWidgetItem *> sel = m_list->selectedItems();
    if (clean.isEmpty() || sel.isEmpty())
        return;
    for (QListWidgetItem *item : sel)
        m_labels.insert(item->data(Qt::UserRole).toString(), clean);
    m_md5.clear();
    saveLabels();
    refreshList();
    updateNavigation();
}

void KxTrainingMainDlg::saveLabels()
{
    QString error;
    if (!m_folder.isEmpty() && !TrainingDataSet::writeLabels(m_folder, m_labels, &error))
        KxUi()->toast(kxTr(QStringLiteral("#IDS_Training_LabelsNotSaved")).arg(error), 3000, this, KxMsgType::Warning);
}

int KxTrainingMainDlg::labelledCount() const
{
    int n = 0;
    for (int i = 0; i < m_list->count(); ++i)
        n += m_labels.contains(m_list->item(i)->data(Qt::UserRole).toString()) ? 1 : 0;
    return n;
}

int KxTrainingMainDlg::currentPage() const
{
    return m_pages->currentIndex();
}

bool KxTrainingMainDlg::goToPage(int page)
{
    if (page < Page_Images || page > Page_Train || m_busy)
        return false;
    // Forward only when the page before is done.
    if (page > Page_Images && labelledCount() == 0)
        return false;
    if (page > Page_Upload && m_md5.isEmpty())
        return false;
    if (page > Page_Params && m_taskId.isEmpty())
        return false;
    if (page < Page_Train && m_trainingRunning)
        return false;
    m_pages->setCurrentIndex(page);
    if (page == Page_Params && !m_modelsAsked) {
        m_modelsAsked = true;
        m_paramsStatus->clear();
        m_models->start(QStringLiteral("ocr"));
    }
    updateNavigation();
    return true;
}

void KxTrainingMainDlg::updateNavigation()
{
    const int page = currentPage();
    QStringList steps;
    for (int i = 0; i < 4; ++i) {
        const QString text = kxTr(QString::fromLatin1(kStepKeys[i])).toHtmlEscaped();
        steps << (i == page ? QStringLiteral("<b style='color:#0c3484'>%1</b>").arg(text)
                            : QStringLiteral("<span style='color:#8c8c8c'>%1</span>").arg(text));
    }
    m_steps->setText(steps.join(QStringLiteral(" &nbsp;›&nbsp; ")));
    m_back->setEnabled(page > Page_Images && !m_busy && !m_trainingRunning);
    const bool canNext = (page == Page_Images && labelledCount() > 0) || (page == Page_Upload && !m_md5.isEmpty())
        || (page == Page_Params && !m_taskId.isEmpty());
    m_next->setVisible(page < Page_Train);
    m_next->setEnabled(canNext && !m_busy);
}

void KxTrainingMainDlg::setBusy(bool busy)
{
    m_busy = busy;
    updateNavigation();
}

void KxTrainingMainDlg::reject()
{
    // Closing leaves a task running on the service, but stops every local transfer.
    m_monitor->stop();
    if (m_upload->isRunning())
        m_upload->abort();
    m_download->cancel();
    NDialogEx::reject();
}
