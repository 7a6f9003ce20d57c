#include "ResultOutputTableWidget.h"

#include "KxI18nUtil.h"
#include "KxSettings.h"
#include "KxXls.h"
#include "ResultOutputTableViewDelegate.h"
#include "ResultOutputTableViewModel.h"
#include "SetResultOutputFieldDlg.h"

#include <QEvent>
#include <QHash>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>

namespace {
const QString kGroup = QStringLiteral("output");
}

ResultOutputTableWidget::ResultOutputTableWidget(const QStringList &columns, const QString &headKey,
                                                 QWidget *parent)
    : ResultOutputBaseWidget(parent), m_headKey(headKey), m_ids(columns)
{
    m_model = new ResultOutputTableViewModel(columns, this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("ResultOutputTable"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new ResultOutputTableViewDelegate(m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    // Fixed row heights and interactive column widths: adding rows never measures contents.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(24);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->horizontalHeader()->setDefaultSectionSize(96);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setStyleSheet(QStringLiteral(
        "QTableView{border:1px solid #dbdbdb; gridline-color:#ececec; background:#ffffff;"
        " alternate-background-color:#f7f8fb; selection-background-color:#dce4f4;"
        " selection-color:#0c3484;}"
        "QHeaderView::section{background:#f9f9f9; border:0; border-right:1px solid #dbdbdb;"
        " border-bottom:1px solid #dbdbdb; padding:2px 6px;}"));
    setContent(m_view);
    fitColumns();

    connect(addToolButton(QStringLiteral("#IDS_ClearImageAndData"), QStringLiteral("clear")),
            &QToolButton::clicked, this, [this] {
                clear();
                emit btnClearCliked();
            });
    connect(addToolButton(QStringLiteral("#ID_TEXT_COPY"), QStringLiteral("copy")),
            &QToolButton::clicked, this, &ResultOutputBaseWidget::copyToClipboard);
    connect(addToolButton(QStringLiteral("#IDS_GenerateReport"), QStringLiteral("export")),
            &QToolButton::clicked, this, &ResultOutputBaseWidget::exportReport);
    connect(addToolButton(QStringLiteral("#IDS_Custom"), QStringLiteral("custom")),
            &QToolButton::clicked, this, &ResultOutputTableWidget::openFieldDialog);
    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(40);
    connect(m_flushTimer, &QTimer::timeout, this, [this] { flushPending(); });
    loadColumns();
}

ResultOutputTableViewModel *ResultOutputTableWidget::model() const
{
    flushPending();
    return m_model;
}

void ResultOutputTableWidget::flushPending() const
{
    m_flushTimer->stop();
    if (m_pending.isEmpty())
        return;
    QVector<QStringList> rows;
    rows.swap(m_pending);
    QScrollBar *bar = m_view->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    m_model->appendRows(rows);
    if (atEnd)
        m_view->scrollToBottom();
}

void ResultOutputTableWidget::fitColumns()
{
    // Wide enough for the title and for the usual content of the column; never measured from
    // the rows, so a stream of results does not re-layout the table.
    static const QHash<QString, int> content = {
        {QStringLiteral("#IDS_Data"), 220},         {QStringLiteral("#IDS_BarCode_Content"), 220},
        {QStringLiteral("MAC"), 130},               {QStringLiteral("IP"), 100},
        {QStringLiteral("#IDS_SerialNumber"), 120}, {QStringLiteral("#IDS_CodeSystem"), 110},
        {QStringLiteral("#IDS_Type"), 110}};
    const QFontMetrics fm(m_view->horizontalHeader()->font());
    const QStringList keys = m_model->columnKeys();
    for (int c = 0; c < keys.size(); ++c) {
        const int title = fm.horizontalAdvance(kxTr(keys[c])) + 28;
        m_view->setColumnWidth(c, qMax(qMax(title, 64), content.value(m_ids[c], 0)));
    }
}

bool ResultOutputTableWidget::event(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange)
        fitColumns();
    return ResultOutputBaseWidget::event(e);
}

void ResultOutputTableWidget::loadColumns()
{
    const QStringList hidden = KxSettings::instance()->value(kGroup, m_headKey).toStringList();
    QList<bool> visible;
    for (const QString &id : m_ids)
        visible.append(!hidden.contains(id));
    if (!visible.contains(true))
        visible = QList<bool>::fromVector(QVector<bool>(m_ids.size(), true));
    for (int c = 0; c < m_ids.size(); ++c)
        m_view->setColumnHidden(c, !visible[c]);
}

void ResultOutputTableWidget::setColumnsVisible(const QList<bool> &visible)
{
    if (visible.size() != m_ids.size() || !visible.contains(true))
        return;
    QStringList hidden;
    for (int c = 0; c < m_ids.size(); ++c) {
        m_view->setColumnHidden(c, !visible[c]);
        if (!visible[c])
            hidden.append(m_ids[c]);
    }
    KxSettings::instance()->setValue(kGroup, m_headKey, hidden);
}

QList<int> ResultOutputTableWidget::visibleColumns() const
{
    QList<int> out;
    for (int c = 0; c < m_ids.size(); ++c)
        if (!m_view->isColumnHidden(c))
            out.append(c);
    return out;
}

SetResultOutputFieldDlg *ResultOutputTableWidget::openFieldDialog()
{
    if (m_dialog) {
        m_dialog->raise();
        return m_dialog;
    }
    m_dialog = new SetResultOutputFieldDlg(this);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QStringList keys = m_model->columnKeys();
    for (int c = 0; c < keys.size(); ++c)
        m_dialog->addItem(keys[c], !m_view->isColumnHidden(c));
    SetResultOutputFieldDlg *dlg = m_dialog;
    connect(dlg, &QDialog::accepted, this, [this, dlg] { setColumnsVisible(dlg->checkedItems()); });
    dlg->open();
    return dlg;
}

void ResultOutputTableWidget::appendRows(const QVector<QStringList> &rows)
{
    m_pending += rows;
    // More than the table holds would only be dropped on the flush.
    const int max = m_model->maxRows();
    if (m_pending.size() > max)
        m_pending.erase(m_pending.begin(), m_pending.end() - max);
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
}

void ResultOutputTableWidget::clear()
{
    m_pending.clear();
    m_flushTimer->stop();
    m_model->clearRows();
}

int ResultOutputTableWidget::rowCount() const
{
    return model()->rowCount();
}

QStringList ResultOutputTableWidget::exportHead() const
{
    QStringList head;
    const QStringList keys = m_model->columnKeys();
    for (int c : visibleColumns())
        head.append(kxTr(keys[c]));
    return head;
}

QList<QStringList> ResultOutputTableWidget::exportRows() const
{
    const QList<int> columns = visibleColumns();
    QList<QStringList> out;
    const QVector<QStringList> &rows = model()->rows();
    out.reserve(rows.size());
    for (const QStringList &row : rows) {
        QStringList cells;
        for (int c : columns)
            cells.append(row.value(c));
        out.append(cells);
    }
    return out;
}

QString ResultOutputTableWidget::copyText() const
{
    return KxXls::tableText(exportRows());
}
