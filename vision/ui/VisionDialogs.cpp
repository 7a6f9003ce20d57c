#include "VisionDialogs.h"

#include "KxI18nUtil.h"
#include "KxUiService.h"
#include "KxWorkflowRules.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QUuid>
#include <QVBoxLayout>

namespace {
QDialogButtonBox *buttons(NDialogEx *dlg)
{
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
    box->button(QDialogButtonBox::Ok)->setText(kxTr(QStringLiteral("#IDS_OK")));
    box->button(QDialogButtonBox::Cancel)->setText(kxTr(QStringLiteral("#IDS_Cancel")));
    QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    return box;
}
}  // namespace

VisionWorkflowDlg::VisionWorkflowDlg(Kind kind, const QList<KxVisionWorkflow> &flows, int index, QWidget *parent)
    : NDialogEx(parent), m_kind(kind), m_flows(flows), m_index(index)
{
    setTitle(kind == New ? QStringLiteral("#IDS_NewWorkflow")
             : kind == Settings ? QStringLiteral("#IDS_SetWorkflow") : QStringLiteral("#IDS_RenameWorkflow"));
    auto *form = new QFormLayout(contentWidget());
    m_name = new QLineEdit(this);
    m_name->setMaxLength(KxWorkflowRules::kMaxNameLength);
    m_trigger = new QLineEdit(this);
    m_trigger->setValidator(new QRegularExpressionValidator(KxWorkflowRules::triggerPattern(), m_trigger));
    m_full = new QCheckBox(kxTr(QStringLiteral("#IDS_NeedFullResult")), this);
    const KxVisionWorkflow current = flows.value(index);
    m_name->setText(current.displayName);
    m_trigger->setText(current.triggerId);
    m_full->setChecked(current.needFullResult);
    form->addRow(kxTr(QStringLiteral("#IDS_WorkflowName")), m_name);
    if (kind != Rename) {
        form->addRow(kxTr(QStringLiteral("#IDS_WorkflowTriggerId")), m_trigger);
        form->addRow(QString(), m_full);
    } else {
        m_trigger->hide();
        m_full->hide();
    }
    QDialogButtonBox *box = buttons(this);
    connect(box, &QDialogButtonBox::accepted, this, &VisionWorkflowDlg::tryAccept);
    form->addRow(box);
    resize(360, sizeHint().height());
}

KxVisionWorkflow VisionWorkflowDlg::result() const
{
    KxVisionWorkflow w = m_flows.value(m_index);
    if (w.uuid.isEmpty())
        w.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    w.displayName = m_name->text().trimmed();
    if (m_kind != Rename) {
        w.triggerId = m_trigger->text().trimmed();
        w.needFullResult = m_full->isChecked();
    }
    return w;
}

bool VisionWorkflowDlg::tryAccept()
{
    QString why = KxWorkflowRules::checkName(m_name->text(), m_flows, m_index);
    if (why.isEmpty() && m_kind != Rename)
        why = KxWorkflowRules::checkTrigger(m_trigger->text(), m_flows, m_index);
    if (!why.isEmpty()) {
        KxUi()->warning(why, QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    accept();
    return true;
}

VisionToolDlg::VisionToolDlg(const KxVisionTools &tools, QWidget *parent) : NDialogEx(parent)
{
    setTitle(QStringLiteral("#IDS_AddWorkflowNode"));
    auto *column = new QVBoxLayout(contentWidget());
    auto *grid = new QGridLayout;
    column->addLayout(grid);
    int at = 0;
    for (const KxVisionToolGroup &g : tools.groups()) {
        auto *title = new QLabel(kxTr(g.displayName), this);
        title->setStyleSheet(QStringLiteral("font-weight:bold;color:#0c3484;"));
        auto *list = new QListWidget(this);
        list->setObjectName(g.id);
        list->setViewMode(QListView::IconMode);
        list->setIconSize(QSize(96, 72));
        list->setGridSize(QSize(128, 108));
        list->setMovement(QListView::Static);
        list->setWrapping(false);
        list->setFixedHeight(116);
        list->setMinimumWidth(3 * 128 + 8);
        list->setFlow(QListView::LeftToRight);
        for (const KxVisionTool &t : g.tools) {
            auto *item = new QListWidgetItem(QIcon(tools.samplePath(t.id)), kxTr(t.displayName), list);
            item->setData(Qt::UserRole, t.id);
            item->setToolTip(kxTr(tools.helpTips(t.id)));
        }
        connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
            selectTool(item->data(Qt::UserRole).toString());
        });
        connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
            if (selectTool(item->data(Qt::UserRole).toString()))
                accept();
        });
        // Two groups side by side keep the dialog low enough for small screens.
        grid->addWidget(title, (at / 2) * 2, at % 2);
        grid->addWidget(list, (at / 2) * 2 + 1, at % 2);
        ++at;
        m_lists << list;
    }
    QDialogButtonBox *box = buttons(this);
    connect(box, &QDialogButtonBox::accepted, this, [this] {
        if (!m_selected.isEmpty())
            accept();
    });
    column->addWidget(box);
    resize(sizeHint());
}

bool VisionToolDlg::selectTool(const QString &id)
{
    for (QListWidget *list : qAsConst(m_lists)) {
        for (int i = 0; i < list->count(); ++i) {
            const bool hit = list->item(i)->data(Qt::UserRole).toString() == id;
            list->item(i)->setSelected(hit);
            if (hit)
                m_selected = id;
        }
    }
    return m_selected == id;
}
