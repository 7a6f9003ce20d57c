#include "StoredDataDlg.h"

#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "StoredDataSession.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

StoredDataDlg::StoredDataDlg(KxDeviceConnector *connector, QWidget *parent)
    : NDialogEx(parent)
{
    setObjectName(QStringLiteral("StoredDataDlg"));
    setTitle(QStringLiteral("#ID_SYNC1"));
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    if (StoredDataSession::supported(cmd)) {
        m_session = new StoredDataSession(cmd, this);
        connect(m_session, &StoredDataSession::fetched, this, &StoredDataDlg::onFetched);
        connect(m_session, &StoredDataSession::cleared, this, &StoredDataDlg::onCleared);
    }
    auto *layout = new QVBoxLayout(contentWidget());
    auto *bar = new QHBoxLayout;
    m_status = new QLabel(contentWidget());
    m_status->setObjectName(QStringLiteral("labStatus"));
    m_status->setWordWrap(true);
    bar->addWidget(m_status, 1);
    m_refresh = new KxPushButton(QStringLiteral("#IDS_Sync_Fetch"), KxPushButton::Normal, contentWidget());
    m_refresh->setObjectName(QStringLiteral("btnFetch"));
    m_cancel = new KxPushButton(QStringLiteral("#IDS_Cancel"), KxPushButton::Normal, contentWidget());
    m_cancel->setObjectName(QStringLiteral("btnCancelFetch"));
    m_save = new KxPushButton(QStringLiteral("#IDS_Save"), KxPushButton::Normal, contentWidget());
    m_save->setObjectName(QStringLiteral("btnSave"));
    m_clear = new KxPushButton(QStringLiteral("#IDS_Sync_ClearReader"), KxPushButton::Normal, contentWidget());
    m_clear->setObjectName(QStringLiteral("btnClearReader"));
    for (QWidget *b : {static_cast<QWidget *>(m_refresh), static_cast<QWidget *>(m_cancel),
                       static_cast<QWidget *>(m_save), static_cast<QWidget *>(m_clear)})
        bar->addWidget(b);
    layout->addLayout(bar);
    m_table = new QTableWidget(0, StoredResults::headKeys().size(), contentWidget());
    m_table->setObjectName(QStringLiteral("tableStored"));
    QStringList head;
    for (const QString &k : StoredResults::headKeys())
        head << kxTr(k);
    m_table->setHorizontalHeaderLabels(head);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(22);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < StoredResults::headKeys().size(); ++c)
        m_table->setColumnWidth(c, QList<int>{170, 60, 60, 110, 220, 110, 60}.value(c, 80));
    layout->addWidget(m_table, 1);
    auto *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &StoredDataDlg::reject);
    connect(m_refresh, &QPushButton::clicked, this, &StoredDataDlg::refresh);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_session)
            m_session->cancel();
    });
    connect(m_save, &QPushButton::clicked, this, &StoredDataDlg::save);
    connect(m_clear, &QPushButton::clicked, this, &StoredDataDlg::clearOnReader);
    resize(900, 560);
    if (m_session)
        refresh();
    else
        m_status->setText(kxTr(QStringLiteral("#IDS_Sync_NotSupported")));
    updateButtons();
}

StoredDataDlg::~StoredDataDlg() = default;

QString StoredDataDlg::statusText() const
{
    return m_status->text();
}

void StoredDataDlg::refresh()
{
    if (!m_session || !m_session->fetch())
        return;
    m_status->setText(kxTr(QStringLiteral("#IDS_Sync_Fetching")));
    updateButtons();
}

void StoredDataDlg::reject()
{
    // Leaving never waits for the reader: a fetch still running stops at its next page and
    // its answer goes nowhere.
    if (m_session)
        m_session->cancel();
    NDialogEx::reject();
}

void StoredDataDlg::onFetched(bool ok, const QString &error)
{
    updateButtons();
    if (!ok) {
        m_status->setText(error == QLatin1String("cancelled") ? kxTr(QStringLiteral("#IDS_Sync_Cancelled"))
                                                              : kxTr(QStringLiteral("#IDS_Sync_FetchFailed")).arg(error));
        return;
    }
    m_saved = false;
    const QList<StoredResult> results = m_session->results();
    m_table->setRowCount(results.size());
    for (int r = 0; r < results.size(); ++r) {
        const QStringList cells = StoredResults::row(results[r]);
        for (int c = 0; c < cells.size(); ++c)
            m_table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    const StoredCount count = m_session->count();
    QString text = kxTr(QStringLiteral("#IDS_Sync_Count")).arg(count.count).arg(count.capacity);
    if (count.lost > 0)
        text += QLatin1Char(' ') + kxTr(QStringLiteral("#IDS_Sync_Lost")).arg(count.lost);
    m_status->setText(text);
    updateButtons();
}

void StoredDataDlg::onCleared(bool ok, const QString &error)
{
    if (ok) {
        m_table->setRowCount(0);
        m_status->setText(kxTr(QStringLiteral("#IDS_Sync_Cleared")));
        KxUi()->toast(kxTr(QStringLiteral("#IDS_Sync_Cleared")), 3000, this);
    } else {
        m_status->setText(kxTr(QStringLiteral("#IDS_Sync_ClearFailed")).arg(error));
    }
    updateButtons();
}

bool StoredDataDlg::saveTo(const QString &path)
{
    QString error;
    if (!m_session || !StoredResults::save(path, [] {
            QStringList head;
            for (const QString &k : StoredResults::headKeys())
                head << kxTr(k);
            return head;
        }(), m_session->results(), &error)) {
        KxUi()->error(kxTr(QStringLiteral("#IDS_Sync_SaveFailed")).arg(error), QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    m_saved = true;
    m_status->setText(kxTr(QStringLiteral("#IDS_Sync_Saved")).arg(QDir::toNativeSeparators(path)));
    return true;
}

void StoredDataDlg::save()
{
    const QString name = QStringLiteral("stored-results-%1.xlsx")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = KxUi()->getSaveFileName(kxTr(QStringLiteral("#IDS_Save")), QDir::home().filePath(name),
                                                 QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"), this);
    if (!path.isEmpty())
        saveTo(path);
}

void StoredDataDlg::clearOnReader()
{
    if (!m_session || m_session->busy() || m_session->results().isEmpty())
        return;
    // The reader's copy is the only one until the user has saved it somewhere.
    const QString key = m_saved ? QStringLiteral("#IDS_Sync_ConfirmClear") : QStringLiteral("#IDS_Sync_ConfirmClearUnsaved");
    if (!KxUi()->confirm(kxTr(key).arg(m_session->results().size()), QStringLiteral("#IDS_Tips"), this))
        return;
    if (m_session->clearFetched())
        m_status->setText(kxTr(QStringLiteral("#IDS_Sync_Clearing")));
    updateButtons();
}

void StoredDataDlg::updateButtons()
{
    const bool busy = m_session && m_session->busy();
    const bool have = m_session && !m_session->results().isEmpty();
    m_refresh->setVisible(!busy);
    m_refresh->setEnabled(m_session != nullptr);
    m_cancel->setVisible(busy);
    m_save->setEnabled(!busy && have);
    m_clear->setEnabled(!busy && have);
}
