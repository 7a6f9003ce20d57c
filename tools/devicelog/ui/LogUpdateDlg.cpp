#include "LogUpdateDlg.h"

#include "DeviceLogDownload.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QCheckBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QTextBrowser>
#include <QVBoxLayout>

static void initDeviceLogResources()
{
    Q_INIT_RESOURCE(devicelogui);
}

namespace {
const char *const kColumns[] = {"#IDS_ProductInfo", "#IDS_SerialNumber", "#IDS_FirmwareVersion", "#IDS_IPAddress"};
const char *const kKeys[] = {"Product Name", "Serial Number", "Firmware Version", "Ip Address"};

// Online network readers: only they have a log link.
bool online(const KxDeviceInfoMap &info)
{
    return !info.contains(QStringLiteral("offLine")) && !info.value(QStringLiteral("Ip Address")).isEmpty();
}
}  // namespace

LogUpdateDlg::LogUpdateDlg(const QList<QPair<QString, KxDeviceInfoMap>> &readers, QWidget *parent)
    : NDialogEx(parent), m_download(new DeviceLogDownload(this))
{
    initDeviceLogResources();
    setObjectName(QStringLiteral("LogUpdateDlg"));
    setTitle(QStringLiteral("#IDS_Log_Update"));
    for (const auto &r : readers) {
        if (online(r.second))
            m_readers.append(r);
    }
    auto *layout = new QVBoxLayout(contentWidget());
    auto *head = new QHBoxLayout;
    auto *title = new QLabel(kxTr(QStringLiteral("#IDS_All_OnLine_Device")), contentWidget());
    title->setStyleSheet(QStringLiteral("font-weight:bold;"));
    m_all = new QCheckBox(kxTr(QStringLiteral("#IDS_SelectAll")), contentWidget());
    m_all->setObjectName(QStringLiteral("chkAll"));
    head->addWidget(title);
    head->addStretch();
    head->addWidget(m_all);
    layout->addLayout(head);

    m_table = new QTableWidget(m_readers.size(), 4, contentWidget());
    m_table->setObjectName(QStringLiteral("tableDevices"));
    QStringList headers;
    for (const char *k : kColumns)
        headers << kxTr(QString::fromLatin1(k)).remove(QLatin1Char(':')).remove(QChar(0xFF1A));
    m_table->setHorizontalHeaderLabels(headers);
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < m_readers.size(); ++row) {
        const KxDeviceInfoMap &info = m_readers.at(row).second;
        for (int c = 0; c < 4; ++c) {
            QString text = info.value(QString::fromLatin1(kKeys[c]));
            if (c == 0 && text.isEmpty())
                text = QStringLiteral("UNKNOW");
            auto *item = new QTableWidgetItem(text);
            if (c == 0) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Unchecked);
            }
            m_table->setItem(row, c, item);
        }
    }
    if (m_readers.isEmpty()) {
        auto *none = new QLabel(kxTr(QStringLiteral("#IDS_Log_NoOnlineDevice")), contentWidget());
        none->setObjectName(QStringLiteral("labNoDevice"));
        none->setWordWrap(true);
        layout->addWidget(none);
    }
    layout->addWidget(m_table, 1);
    connect(m_all, &QCheckBox::toggled, this, [this](bool on) {
        for (int row = 0; row < m_table->rowCount(); ++row)
            m_table->item(row, 0)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    });

    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_Log_Folder")), contentWidget()));
    m_folder = new QLineEdit(QDir::toNativeSeparators(DeviceLogDownload::defaultDir()), contentWidget());
    m_folder->setObjectName(QStringLiteral("editFolder"));
    folderRow->addWidget(m_folder, 1);
    m_btnBrowse = new KxPushButton(QStringLiteral("#IDS_Log_Browse"), KxPushButton::Normal, contentWidget());
    m_btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    folderRow->addWidget(m_btnBrowse);
    layout->addLayout(folderRow);

    m_results = new QTextBrowser(contentWidget());
    m_results->setObjectName(QStringLiteral("textResults"));
    m_results->setMaximumHeight(130);
    layout->addWidget(m_results);

    m_btnDownload = addButton(QStringLiteral("#IDS_Log_Download"), KxPushButton::Primary);
    m_btnDownload->setObjectName(QStringLiteral("btnDownload"));
    m_btnClose = addButton(QStringLiteral("#IDS_Close"));
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(m_btnDownload, &QPushButton::clicked, this, &LogUpdateDlg::on_btnDownload_clicked);
    connect(m_btnBrowse, &QPushButton::clicked, this, &LogUpdateDlg::on_btnBrowse_clicked);
    connect(m_btnClose, &QPushButton::clicked, this, &LogUpdateDlg::reject);
    connect(m_download, &DeviceLogDownload::readerFinished, this, &LogUpdateDlg::onReaderFinished);
    connect(m_download, &DeviceLogDownload::finished, this, [this] {
        setRunning(false);
        if (m_closeWhenDone)
            NDialogEx::reject();
    });
    m_btnDownload->setEnabled(!m_readers.isEmpty());
    resize(760, 520);
}

QString LogUpdateDlg::resultLine(bool ok, const QString &name)
{
    const QString text = name + QStringLiteral(": ")
        + kxTr(ok ? QStringLiteral("#IDS_Log_Update_Succ") : QStringLiteral("#IDS_Log_Update_Fail"));
    return QStringLiteral("<img src='%1' width='16' height='16'>  <font color='%2'>%3</font>")
        .arg(ok ? QStringLiteral("://res/icon/icon_succ.png") : QStringLiteral("://res/icon/icon_fail.png"),
             ok ? QStringLiteral("green") : QStringLiteral("red"), text.toHtmlEscaped());
}

QString LogUpdateDlg::readerName(const QString &deviceId) const
{
    for (const auto &r : m_readers) {
        if (r.first == deviceId)
            return r.second.value(QStringLiteral("Serial Number"), deviceId);
    }
    return deviceId;
}

void LogUpdateDlg::on_btnBrowse_clicked()
{
    const QString dir = KxUi()->getExistingDirectory(kxTr(QStringLiteral("#IDS_Select_LogPath")),
                                                     m_folder->text(), this);
    if (!dir.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(dir));
}

void LogUpdateDlg::on_btnDownload_clicked()
{
    if (m_download->isRunning())
        return;
    QList<QPair<QString, KxDeviceInfoMap>> chosen;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, 0)->checkState() == Qt::Checked)
            chosen.append(m_readers.at(row));
    }
    if (chosen.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_Select_LogDevice"), 3000, this);
        return;
    }
    const QString dir = QDir::fromNativeSeparators(m_folder->text().trimmed());
    if (dir.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_Select_LogPath"), 3000, this);
        return;
    }
    if (!QDir().mkpath(dir)) {
        KxUi()->information(kxTr(QStringLiteral("#IDS_Create_Dir_Error")) + QLatin1Char(' ') + dir, QStringLiteral("#IDS_Tips"), this);
        return;
    }
    {
        // Writable means a file can be made there, whatever the folder's flags say.
        QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".brevan-XXXXXX")));
        if (!probe.open()) {
            KxUi()->information(QStringLiteral("#IDS_DRI_NO_WRITE_PERMISSION"), QStringLiteral("#IDS_Tips"), this);
            return;
        }
    }
    DeviceLogDownload::rememberDir(dir);
    m_results->clear();
    if (m_download->start(chosen, dir))
        setRunning(true);
}

void LogUpdateDlg::onReaderFinished(const QString &deviceId, bool ok, const QStringList &files)
{
    m_results->append(resultLine(ok, readerName(deviceId)));
    if (ok)
        qInfo().noquote() << "LogUpdateDlg::onReaderFinished()..." << deviceId << files;
}

void LogUpdateDlg::setRunning(bool running)
{
    m_btnDownload->setEnabled(!running && !m_readers.isEmpty());
    m_btnBrowse->setEnabled(!running);
    m_table->setEnabled(!running);
    m_all->setEnabled(!running);
    m_folder->setEnabled(!running);
    if (running)
        m_results->append(kxTr(QStringLiteral("#IDS_Log_Downloading")).toHtmlEscaped());
}

void LogUpdateDlg::reject()
{
    if (m_download->isRunning()) {
        // The downloads end at once when their links close; the window goes when they have.
        m_closeWhenDone = true;
        m_results->append(kxTr(QStringLiteral("#IDS_Log_Cancelling")).toHtmlEscaped());
        m_download->cancel();
        return;
    }
    NDialogEx::reject();
}
