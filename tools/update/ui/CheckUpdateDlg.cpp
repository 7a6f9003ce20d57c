#include "CheckUpdateDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "KxUpdater.h"

#include <QDebug>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
const char *const kBarStyle = "QProgressBar{border:1px solid #dbdbdb;border-radius:3px;background:#f9f9f9;"
                              "text-align:center;height:18px;color:%1;}"
                              "QProgressBar::chunk{background-color:#0c3484;border-radius:2px;}";
}

CheckUpdateDlg::CheckUpdateDlg(QWidget *parent) : NDialogEx(parent), m_updater(new KxUpdater(this))
{
    setObjectName(QStringLiteral("CheckUpdateDlg"));
    setTitle(QStringLiteral("#IDS_CheckUpgrade"));
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setSpacing(12);
    m_status = new QLabel(contentWidget());
    m_status->setObjectName(QStringLiteral("labStatus"));
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(40);
    layout->addWidget(m_status);
    m_progress = new QProgressBar(contentWidget());
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setStyleSheet(QString::fromLatin1(kBarStyle).arg(QStringLiteral("#1f1f1f")));
    m_progress->setVisible(false);
    layout->addWidget(m_progress);

    m_ok = addButton(QStringLiteral("#IDS_OK"), 1);
    m_ok->setObjectName(QStringLiteral("IDD_OK"));
    m_ok->setVisible(false);
    KxPushButton *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("IDD_CLOSE"));
    connect(m_ok, &QPushButton::clicked, this, &CheckUpdateDlg::onOkClicked);
    connect(close, &QPushButton::clicked, this, &CheckUpdateDlg::onCloseClicked);

    connect(m_updater, &KxUpdater::checkForUpdateResult, this, &CheckUpdateDlg::OnCheckForUpdateResult);
    connect(m_updater, &KxUpdater::downloadStarted, this, &CheckUpdateDlg::OnDownloadStarted);
    connect(m_updater, &KxUpdater::downloadProgressChanged, this, &CheckUpdateDlg::OnDownloadProgressChanged);
    connect(m_updater, &KxUpdater::downloadFinished, this, &CheckUpdateDlg::OnDownloadFinished);
    setStatus(QStringLiteral("#IDS_UpgradeChecking"));
    fitToWidth(420);
}

CheckUpdateDlg::~CheckUpdateDlg()
{
    m_updater->disconnect(this);
    m_updater->cancel();
}

void CheckUpdateDlg::start()
{
    m_stage = Stage::Checking;
    setStatus(QStringLiteral("#IDS_UpgradeChecking"));
    m_updater->checkForUpdate();
}

void CheckUpdateDlg::setStatus(const QString &key)
{
    m_statusKey = key;
    m_status->setText(kxTr(key));
}

void CheckUpdateDlg::OnCheckForUpdateResult(int result)
{
    qDebug() << "CheckUpdateDlg::OnCheckForUpdateResult..." << result;
    m_ok->setVisible(true);
    if (result == KxUpdater::Success) {
        m_stage = Stage::Downloading;
        m_ok->setTextKey(QStringLiteral("#IDS_Cancel"));
        m_updater->downloadInstaller();
        return;
    }
    m_stage = Stage::Done;
    m_ok->setTextKey(QStringLiteral("#IDS_OK"));
    setStatus(result == KxUpdater::NoUpdate ? QStringLiteral("#IDS_AlreadyLatestVersion")
                                            : QStringLiteral("#IDS_UpgradeChecking_Failed"));
}

void CheckUpdateDlg::OnDownloadStarted()
{
    m_progress->setValue(0);
    m_progress->setVisible(true);
    setStatus(QStringLiteral("#IDS_LatestVersionDownloading"));
}

void CheckUpdateDlg::OnDownloadProgressChanged(int percentage)
{
    if (m_statusKey != QLatin1String("#IDS_LatestVersionDownloading"))
        setStatus(QStringLiteral("#IDS_LatestVersionDownloading"));
    const bool wasWhite = m_progress->value() >= 50;
    m_progress->setValue(qBound(0, percentage, 100));
    // The text sits on the bar's filled half from 50 % on: white keeps it readable.
    if ((percentage >= 50) != wasWhite)
        m_progress->setStyleSheet(QString::fromLatin1(kBarStyle).arg(
            percentage >= 50 ? QStringLiteral("#ffffff") : QStringLiteral("#1f1f1f")));
}

void CheckUpdateDlg::OnDownloadFinished(int error)
{
    qDebug() << "CheckUpdateDlg::OnDownloadFinished..." << error;
    if (error == KxUpdater::Success) {
        m_stage = Stage::Ready;
        OnDownloadProgressChanged(100);
        setStatus(QStringLiteral("#IDS_UpdatePkgDownload_Success"));
        m_ok->setTextKey(QStringLiteral("#IDS_RebootToUpgrade"));
    } else {
        m_stage = Stage::Done;
        setStatus(QStringLiteral("#IDS_UpdatePkgDownload_Failed"));
        m_ok->setTextKey(QStringLiteral("#IDS_OK"));
    }
    m_ok->setVisible(true);
}

void CheckUpdateDlg::onOkClicked()
{
    switch (m_stage) {
    case Stage::Checking:
        break;
    case Stage::Downloading:
        m_updater->cancel();
        break;
    case Stage::Ready:
        if (!m_updater->install()) {
            KxMessageRequest r;
            r.type = KxMsgType::Warning;
            r.title = QStringLiteral("#IDS_Tips");
            r.text = QStringLiteral("#IDS_AppUpgrade_Failed");
            r.buttons = QStringLiteral("#IDS_OK|");
            r.parent = this;
            KxUi()->message(r);
        } else {
            accept();
        }
        break;
    case Stage::Done:
        accept();
        break;
    }
}

void CheckUpdateDlg::onCloseClicked()
{
    reject();
}

void CheckUpdateDlg::reject()
{
    // Closing stops a running check or download; a partial installer is removed.
    m_updater->cancel();
    NDialogEx::reject();
}
