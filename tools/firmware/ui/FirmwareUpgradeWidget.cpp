#include "FirmwareUpgradeWidget.h"

#include "KxDeviceKit.h"
#include "KxFirmwareFrames.h"
#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

FirmwareUpgradeWidget::FirmwareUpgradeWidget(const QString &deviceId, const KxDeviceInfoMap &info,
                                             bool alreadyConnected, QWidget *parent)
    : QWidget(parent), m_deviceId(deviceId), m_info(info), m_alreadyConnected(alreadyConnected)
{
    setObjectName(QStringLiteral("FirmwareUpgradeWidget"));
    auto *layout = new QVBoxLayout(this);
    auto *reader = new QLabel(QStringLiteral("%1   %2   %3 %4")
                                  .arg(info.value("Product Name"), info.value("Serial Number"),
                                       kxTr("#IDS_FirmwareVersion"), info.value("Firmware Version")),
                              this);
    layout->addWidget(reader);
    auto *row = new QHBoxLayout;
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setReadOnly(true);
    m_pathEdit->setMinimumWidth(320);
    m_btnFile = new KxPushButton(QStringLiteral("#IDS_SelectFile"), KxPushButton::Normal, this);
    m_btnFile->setObjectName(QStringLiteral("btn_file"));
    m_btnUpgrade = new KxPushButton(QStringLiteral("#IDS_UpgradeFirmware"), KxPushButton::Primary, this);
    m_btnUpgrade->setObjectName(QStringLiteral("btn_upgrade"));
    row->addWidget(m_pathEdit, 1);
    row->addWidget(m_btnFile);
    row->addWidget(m_btnUpgrade);
    layout->addLayout(row);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setStyleSheet(QStringLiteral(
        "QProgressBar { background-color: #ebebeb;}QProgressBar::chunk { background-color: #76c7c0;}"));
    m_progress->hide();
    layout->addWidget(m_progress);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("upgrade_log"));
    m_log->setReadOnly(true);
    m_log->setMinimumHeight(160);
    layout->addWidget(m_log, 1);
    m_timer = new QTimer(this);
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &FirmwareUpgradeWidget::poll);
    connect(m_btnFile, &QPushButton::clicked, this, &FirmwareUpgradeWidget::onBtnClickedSelectFile);
    connect(m_btnUpgrade, &QPushButton::clicked, this, &FirmwareUpgradeWidget::onBtnClickedUpgrade);
    connect(this, &FirmwareUpgradeWidget::UpgradeEnd, this, &FirmwareUpgradeWidget::slotUpgradeEnd,
            Qt::QueuedConnection);
    connect(this, &FirmwareUpgradeWidget::requestUserChoose, this,
            &FirmwareUpgradeWidget::slotUserChoose);
}

FirmwareUpgradeWidget::~FirmwareUpgradeWidget()
{
    if (m_cancel)
        m_cancel->store(true);
}

QString FirmwareUpgradeWidget::fileFilter()
{
    return QStringLiteral(
        "*.bin *.bin2 *.bin3 *.pak *.pk2 *.nfp *.ifp *.efp (*.bin *.bin2 *.bin3 *.pak *.pk2 *.nfp *.ifp *.efp);;"
        "bin (*.bin *.bin2 *.bin3);;pak (*.pak *.pk2);;nfp (*.nfp);;ifp (*.ifp);;efp (*.efp);;"
        "All Files (*.*)");
}

void FirmwareUpgradeWidget::setFilePath(const QString &path)
{
    m_path = path;
    m_pathEdit->setText(QDir::toNativeSeparators(path));
}

QString FirmwareUpgradeWidget::logText() const
{
    return m_log->toPlainText();
}

void FirmwareUpgradeWidget::appendLine(const QString &text)
{
    m_log->appendPlainText(text);
}

void FirmwareUpgradeWidget::onBtnClickedSelectFile()
{
    const QString dir = KxSettings::instance()->value("firmware_update", "dir").toString();
    const QString file = KxUi()->getOpenFileName(QStringLiteral("#IDS_SelectFirmwareFile"), dir,
                                                 fileFilter(), this);
    if (file.isEmpty() || file.size() > 512)
        return;
    KxSettings::instance()->setValue("firmware_update", "dir", QFileInfo(file).absolutePath());
    setFilePath(file);
}

void FirmwareUpgradeWidget::onBtnClickedUpgrade()
{
    m_mismatchAccepted = false;
    m_ifp = false;
    if (m_running)
        return;
    if (m_path.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_FileIsEmpty_Tips"), 3000, this);
        return;
    }
    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (kit->isIfp(m_path)) {
        if (!kit->extractIfpFile(m_path)) {
            KxUi()->toast(QStringLiteral("#IDS_InvalidFirmwareFile"), 3000, this);
            return;
        }
        m_ifp = true;
    }
    if (!FirmwareUpgrade::packageInfo(m_path, nullptr, nullptr)) {
        KxUi()->toast(QStringLiteral("#IDS_InvalidFirmwareFile"), 3000, this);
        return;
    }
    m_log->clear();
    start(true);
}

void FirmwareUpgradeWidget::start(bool strict)
{
    qInfo().noquote() << "FirmwareUpgradeWidget::start()..." << m_deviceId << m_path << strict;
    m_strict = strict;
    m_running = true;
    m_progressValue = 0;
    m_lastBlock = m_lastStep = m_lastFirst = -1;
    m_progress->setValue(0);
    m_progress->show();
    m_btnFile->setEnabled(false);
    m_btnUpgrade->setEnabled(false);
    m_timer->start();
    FirmwareJob job;
    job.deviceId = m_deviceId;
    job.info = m_info;
    job.path = m_path;
    job.ifp = m_ifp;
    job.strict = strict;
    job.checkModel = !m_mismatchAccepted;
    job.alreadyConnected = m_alreadyConnected;
    job.verifyTimeoutMs = m_verifyTimeoutMs;
    m_cancel = std::make_shared<std::atomic_bool>(false);
    const auto cancel = m_cancel;
    QPointer<FirmwareUpgradeWidget> guard(this);
    QThreadPool::globalInstance()->start([job, cancel, guard] {
        const FirmwareOutcome out = FirmwareUpgrade::run(job, cancel);
        // Back on the main thread, where the guard can be trusted.
        QMetaObject::invokeMethod(qApp, [guard, out] {
            if (guard) {
                guard->m_version = out.version;
                emit guard->UpgradeEnd(out.ok, out.error);
            }
        }, Qt::QueuedConnection);
    });
}

void FirmwareUpgradeWidget::poll()
{
    int first = 0, block = 0, step = 0, progress = 0;
    if (!KxDeviceKit::Instance()->getUpdateFirmwareState(m_deviceId, first, block, step, progress)) {
        m_progress->setValue(m_progressValue);
        return;
    }
    m_progressValue = shownProgress(progress);
    m_progress->setValue(m_progressValue);
    if (first != m_lastFirst || step != m_lastStep) {
        QString line;
        if (block != m_lastBlock)
            line = kxTr(FirmwareUpgrade::blockKey(block)) + QStringLiteral("\r\n");
        line += QLatin1Char('\t') + kxTr(FirmwareUpgrade::stepKey(step));
        appendLine(line);
        m_lastFirst = first;
        m_lastStep = step;
        m_lastBlock = block;
    }
}

void FirmwareUpgradeWidget::slotUserChoose()
{
    m_userYes = KxUi()->question(QStringLiteral("#IDS_UpgradeUnmatch_Tips"),
                                 QStringLiteral("#IDS_FirmwareUpgrade"),
                                 QStringLiteral("#IDS_OK|Cancel"), this, 350).isAccepted();
}

void FirmwareUpgradeWidget::slotUpgradeEnd(bool bRet, int nError)
{
    if (!bRet && !m_mismatchAccepted
        && (nError == KxFirmware::ProductMismatch || (nError == KxFirmware::RefusedStrict && !m_ifp && m_strict))) {
        // The package does not suit the model, or the reader refused it in strict mode: the
        // user may still want it; then it goes again without the checks.
        m_timer->stop();
        emit requestUserChoose();
        if (m_userYes) {
            m_mismatchAccepted = true;
            appendLine(kxTr(FirmwareUpgrade::errorKey(nError)));
            start(nError != KxFirmware::RefusedStrict);
            return;
        }
    }
    finish(bRet, nError);
}

void FirmwareUpgradeWidget::finish(bool ok, int error)
{
    m_timer->stop();
    m_running = false;
    m_progress->hide();
    m_btnFile->setEnabled(true);
    m_btnUpgrade->setEnabled(true);
    if (ok) {
        appendLine(kxTr("#IDS_UpgradeSuccess") + QStringLiteral("\r\n")
                   + kxTr("#IDS_UpgradeVerified").arg(m_version));
        appendLine(kxTr("#IDS_UpgradeSuccess_Warm"));
    } else {
        QString text = kxTr(FirmwareUpgrade::errorKey(error));
        if (error == FirmwareUpgrade::kWrongVersion)
            text = text + QStringLiteral(" (") + m_version + QLatin1Char(')');
        appendLine(text + QStringLiteral("\r\n") + kxTr("#IDS_UpgradeFail"));
    }
    qInfo().noquote() << "FirmwareUpgradeWidget::slotUpgradeEnd()..." << m_deviceId << ok << error;
}
