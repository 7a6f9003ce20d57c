#include "VisionEditFrame.h"

#include "KxDeviceConnector.h"
#include "KxDeviceResource.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxPropertyWidget.h"
#include "KxControlBase.h"
#include "KxUiService.h"
#include "KxVisionControls.h"
#include "KxVisionLogin.h"
#include "KxVisionResource.h"
#include "KxVisionSolution.h"
#include "KxWorkflowRules.h"
#include "VisionDialogs.h"
#include "VisionImageView.h"

#include <QDebug>
#include <QDir>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPointer<VisionEditFrame> g_live;

const char *const kTitleStyle = "font-weight:bold;color:#0c3484;";

// A limit message with its number; the bare key when the text takes none.
QString withCount(const QString &key, int n)
{
    const QString text = kxTr(key);
    return text.contains(QLatin1String("%1")) ? text.arg(n) : key;
}

QLabel *caption(const QString &key, QWidget *parent)
{
    auto *l = new QLabel(kxTr(key), parent);
    l->setStyleSheet(QLatin1String(kTitleStyle));
    return l;
}

// Every item of the pages gets the node's value, or gives the node its default.
void bindValues(KxPagesInfo *pages, KxVisionNode *node)
{
    for (KxPageInfo *p : pages->pages) {
        for (KxGroupInfo *g : p->groups) {
            for (KxItemInfo *i : g->items) {
                const QString v = node->param(i->id);
                if (v.isNull())
                    node->setParam(i->id, i->defaultValue.toString());
                else
                    i->value = v;
            }
        }
    }
}
}  // namespace

VisionEditFrame::VisionEditFrame(QWidget *parent) : IPluginWidget(parent)
{
    g_live = this;
    setObjectName(QStringLiteral("VisionEditFrame"));
    KxVisionControls::registerAll();
    auto *column = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    addButton(bar, QStringLiteral("btnHome"), QStringLiteral("#IDS_Back"));
    m_title = new QLabel(this);
    m_title->setStyleSheet(QLatin1String(kTitleStyle));
    bar->addWidget(m_title, 1);
    m_mode = new QLabel(this);
    m_mode->setObjectName(QStringLiteral("lblMode"));
    bar->addWidget(m_mode);
    bar->addWidget(new QLabel(kxTr(QStringLiteral("#IDS_RunInterval")), this));
    m_interval = new QSpinBox(this);
    m_interval->setObjectName(QStringLiteral("spinInterval"));
    m_interval->setRange(KxVisionSolution::kMinIntervalMs, KxVisionSolution::kMaxIntervalMs);
    m_interval->setSingleStep(100);
    m_interval->setValue(500);
    m_interval->setSuffix(QStringLiteral(" ms"));
    bar->addWidget(m_interval);
    addButton(bar, QStringLiteral("btnTestOnce"), QStringLiteral("#IDS_Test_Once"));
    addButton(bar, QStringLiteral("btnTestRun"), QStringLiteral("#IDS_Run_Test"));
    addButton(bar, QStringLiteral("btnRun"), QStringLiteral("#IDS_RunSolution"));
    addButton(bar, QStringLiteral("btnSave"), QStringLiteral("#IDS_Save"));
    column->addLayout(bar);

    auto *split = new QSplitter(this);
    auto *left = new QWidget(split);
    auto *lc = new QVBoxLayout(left);
    lc->setContentsMargins(0, 0, 0, 0);
    lc->addWidget(caption(QStringLiteral("#IDS_VisionSolutions"), left));
    m_solutions = new QListWidget(left);
    lc->addWidget(m_solutions, 1);
    auto *sb = new QGridLayout;
    auto *row1 = new QHBoxLayout, *row2 = new QHBoxLayout;
    addButton(row1, QStringLiteral("btnSolNew"), QStringLiteral("#IDS_NewSolution"));
    addButton(row1, QStringLiteral("btnSolRename"), QStringLiteral("#IDS_RenameSolution"));
    addButton(row2, QStringLiteral("btnSolDelete"), QStringLiteral("#IDS_Delete"));
    addButton(row2, QStringLiteral("btnSolUse"), QStringLiteral("#IDS_UseSolution"));
    sb->addLayout(row1, 0, 0);
    sb->addLayout(row2, 1, 0);
    lc->addLayout(sb);
    lc->addWidget(caption(QStringLiteral("#IDS_Workflows"), left));
    m_flowList = new QListWidget(left);
    lc->addWidget(m_flowList, 1);
    auto *row3 = new QHBoxLayout, *row4 = new QHBoxLayout;
    addButton(row3, QStringLiteral("btnFlowNew"), QStringLiteral("#IDS_NewWorkflow"));
    addButton(row3, QStringLiteral("btnFlowSet"), QStringLiteral("#IDS_SetWorkflow"));
    addButton(row4, QStringLiteral("btnFlowDelete"), QStringLiteral("#IDS_Delete"));
    addButton(row4, QStringLiteral("btnFlowClear"), QStringLiteral("#IDS_ClearWorkflow"));
    lc->addLayout(row3);
    lc->addLayout(row4);

    auto *middle = new QWidget(split);
    auto *mc = new QVBoxLayout(middle);
    mc->setContentsMargins(0, 0, 0, 0);
    mc->addWidget(caption(QStringLiteral("#IDS_WorkflowNodes"), middle));
    m_nodeList = new QListWidget(middle);
    m_nodeList->setIconSize(QSize(40, 30));
    mc->addWidget(m_nodeList, 2);
    m_limits = new QLabel(middle);
    m_limits->setStyleSheet(QStringLiteral("color:#666666;"));
    mc->addWidget(m_limits);
    auto *row5 = new QHBoxLayout;
    addButton(row5, QStringLiteral("btnNodeAdd"), QStringLiteral("#IDS_AddWorkflowNode"));
    addButton(row5, QStringLiteral("btnNodeRemove"), QStringLiteral("#IDS_Remove"));
    addButton(row5, QStringLiteral("btnNodeUp"), QStringLiteral("#IDS_MoveUp"));
    addButton(row5, QStringLiteral("btnNodeDown"), QStringLiteral("#IDS_MoveDown"));
    mc->addLayout(row5);
    m_prop = new KxPropertyWidget(middle);
    m_prop->setObjectName(QStringLiteral("VisionEdit"));
    mc->addWidget(m_prop, 3);

    auto *right = new QWidget(split);
    auto *rc = new QVBoxLayout(right);
    rc->setContentsMargins(0, 0, 0, 0);
    auto *row6 = new QHBoxLayout;
    row6->addWidget(caption(QStringLiteral("#IDS_VisionImage"), right), 1);
    QPushButton *draw = addButton(row6, QStringLiteral("btnDraw"), QStringLiteral("#IDS_DrawRegion"));
    draw->setCheckable(true);
    rc->addLayout(row6);
    m_image = new VisionImageView(right);
    rc->addWidget(m_image, 1);
    m_result = new QLabel(right);
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rc->addWidget(m_result);
    m_outputs = new QTableWidget(0, 2, right);
    m_outputs->setObjectName(QStringLiteral("tblOutputs"));
    m_outputs->setHorizontalHeaderLabels({kxTr(QStringLiteral("#IDS_VisionOutput")), kxTr(QStringLiteral("#IDS_VisionValue"))});
    m_outputs->horizontalHeader()->setStretchLastSection(true);
    m_outputs->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_outputs->verticalHeader()->hide();
    m_outputs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_outputs->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_outputs->setMaximumHeight(170);
    rc->addWidget(m_outputs);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 0);
    split->setStretchFactor(2, 1);
    // The node pages need room for a region's four fields in either language.
    split->setSizes({230, 460, 700});
    column->addWidget(split, 1);

    connect(button("btnHome"), &QPushButton::clicked, this, [this] {
        if (checkLeave())
            emit signal_goHome();
    });
    connect(button("btnTestOnce"), &QPushButton::clicked, this, &VisionEditFrame::testOnce);
    connect(button("btnTestRun"), &QPushButton::clicked, this, &VisionEditFrame::toggleTest);
    connect(button("btnRun"), &QPushButton::clicked, this, &VisionEditFrame::toggleRun);
    connect(button("btnSave"), &QPushButton::clicked, this, &VisionEditFrame::save);
    connect(button("btnSolNew"), &QPushButton::clicked, this, &VisionEditFrame::newSolution);
    connect(button("btnSolRename"), &QPushButton::clicked, this, &VisionEditFrame::renameSolution);
    connect(button("btnSolDelete"), &QPushButton::clicked, this, &VisionEditFrame::deleteSolution);
    connect(button("btnSolUse"), &QPushButton::clicked, this, &VisionEditFrame::useSolution);
    connect(button("btnFlowNew"), &QPushButton::clicked, this, &VisionEditFrame::newWorkflow);
    connect(button("btnFlowSet"), &QPushButton::clicked, this, &VisionEditFrame::workflowSettings);
    connect(button("btnFlowDelete"), &QPushButton::clicked, this, &VisionEditFrame::deleteWorkflow);
    connect(button("btnFlowClear"), &QPushButton::clicked, this, &VisionEditFrame::clearWorkflow);
    connect(button("btnNodeAdd"), &QPushButton::clicked, this, &VisionEditFrame::addNode);
    connect(button("btnNodeRemove"), &QPushButton::clicked, this, &VisionEditFrame::removeNode);
    connect(button("btnNodeUp"), &QPushButton::clicked, this, [this] { moveNode(-1); });
    connect(button("btnNodeDown"), &QPushButton::clicked, this, [this] { moveNode(1); });
    connect(draw, &QPushButton::toggled, m_image, &VisionImageView::setDrawMode);
    connect(m_image, &VisionImageView::rectDrawn, this, &VisionEditFrame::regionDrawn);
    connect(m_solutions, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { editSolution(item->data(Qt::UserRole).toString()); });
    connect(m_flowList, &QListWidget::currentRowChanged, this, &VisionEditFrame::selectWorkflow);
    connect(m_nodeList, &QListWidget::currentRowChanged, this, &VisionEditFrame::selectNode);
    connect(m_prop, &KxPropertyWidget::valueChanged, this, &VisionEditFrame::nodeValueChanged);
    updateButtons();
}

VisionEditFrame::~VisionEditFrame()
{
    m_prop->setProperty(nullptr);
    if (g_live == this)
        g_live = nullptr;
}

VisionEditFrame *VisionEditFrame::live()
{
    return g_live.data();
}

QPushButton *VisionEditFrame::addButton(QLayout *row, const QString &name, const QString &key)
{
    auto *b = new QPushButton(kxTr(key), this);
    b->setObjectName(name);
    b->setProperty("textKey", key);
    row->addWidget(b);
    return b;
}

QPushButton *VisionEditFrame::button(const QString &name) const
{
    return findChild<QPushButton *>(name);
}

bool VisionEditFrame::openDeviceById(const QString &deviceId, const QVariant &param)
{
    return openDevice(KxLoginedDevicesManage::instance()->device(deviceId), param);
}

bool VisionEditFrame::openDevice(QPointer<KxDeviceConnector> connector, const QVariant &)
{
    m_connector = connector;
    m_solution = KxVisionLogin::solution(connector);
    KxDeviceResource *res = KxVisionLogin::deviceResource(connector);
    if (!m_solution || !res) {
        qWarning() << "VisionEditFrame::openDevice()...no vision objects";
        return false;
    }
    qInfo() << "VisionEditFrame::openDevice()..." << connector->deviceId();
    m_title->setText(QStringLiteral("%1  %2").arg(connector->productName(), connector->deviceId()));
    m_tools = KxVisionTools();
    if (!m_tools.load(res->toolkitDir())
        || !m_tools.loadParams(QDir(res->dir()).filePath(QStringLiteral("zukit/") + m_tools.kitName())))
        qWarning() << "VisionEditFrame::openDevice()...tool kit problems" << m_tools.errors();
    connect(m_solution, &KxVisionSolution::listChanged, this, &VisionEditFrame::refreshSolutions,
            Qt::UniqueConnection);
    connect(m_solution, &KxVisionSolution::resultReceived, this, &VisionEditFrame::showResult,
            Qt::UniqueConnection);
    connect(m_solution, &KxVisionSolution::modeChanged, this, &VisionEditFrame::updateButtons,
            Qt::UniqueConnection);
    m_interval->setValue(m_solution->intervalMs());
    refreshSolutions();
    if (!m_solution->currentId().isEmpty())
        editSolution(m_solution->currentId());
    return true;
}

std::function<void(bool, const QString &)> VisionEditFrame::pending(std::function<void(bool, const QString &)> done)
{
    ++m_pending;
    updateButtons();
    QPointer<VisionEditFrame> self(this);
    return [self, done](bool ok, const QString &text) {
        if (!self)
            return;
        --self->m_pending;
        done(ok, text);
        self->updateButtons();
    };
}

void VisionEditFrame::refreshSolutions()
{
    const QString keep = m_solutions->currentItem() ? m_solutions->currentItem()->data(Qt::UserRole).toString()
                                                     : m_solId;
    m_solutions->clear();
    if (!m_solution)
        return;
    for (const KxVisionSolutionEntry &e : m_solution->list()) {
        auto *item = new QListWidgetItem(e.curUsed ? QStringLiteral("%1  [%2]").arg(e.solName, kxTr(QStringLiteral("#IDS_SolutionInUse")))
                                                   : e.solName, m_solutions);
        item->setData(Qt::UserRole, e.solId);
        item->setToolTip(QStringLiteral("%1  %2").arg(e.solId, e.modifyTime));
        QFont f = item->font();
        f.setBold(e.solId == m_solId);
        item->setFont(f);
        if (e.solId == keep)
            m_solutions->setCurrentItem(item);
    }
    updateButtons();
}

static QString selectedId(QListWidget *list)
{
    return list->currentItem() ? list->currentItem()->data(Qt::UserRole).toString() : QString();
}

void VisionEditFrame::newSolution()
{
    KxInputRequest r;
    r.title = QStringLiteral("#IDS_NewSolution");
    r.label = QStringLiteral("#IDS_SolutionName");
    r.maxLength = 32;
    r.parent = this;
    const KxInputResult name = KxUi()->getText(r);
    if (!name.ok || name.text.trimmed().isEmpty() || !m_solution)
        return;
    m_solution->create(name.text.trimmed(), pending([this](bool ok, const QString &idOrError) {
        if (!ok)
            KxUi()->toast(kxTr(QStringLiteral("#IDS_ExecuteCmd_Failed")) + QStringLiteral(" ") + idOrError);
        else if (m_solId.isEmpty())
            editSolution(idOrError);
    }));
}

void VisionEditFrame::renameSolution()
{
    const QString id = selectedId(m_solutions);
    if (id.isEmpty() || !m_solution)
        return;
    KxInputRequest r;
    r.title = QStringLiteral("#IDS_RenameSolution");
    r.label = QStringLiteral("#IDS_SolutionName");
    r.text = m_solutions->currentItem()->text();
    r.maxLength = 32;
    r.parent = this;
    const KxInputResult name = KxUi()->getText(r);
    if (name.ok && !name.text.trimmed().isEmpty())
        m_solution->rename(id, name.text.trimmed(), pending([](bool ok, const QString &why) {
            if (!ok)
                KxUi()->toast(kxTr(QStringLiteral("#IDS_ExecuteCmd_Failed")) + QStringLiteral(" ") + why);
        }));
}

void VisionEditFrame::deleteSolution()
{
    const QString id = selectedId(m_solutions);
    if (id.isEmpty() || !m_solution
        || !KxUi()->confirm(QStringLiteral("%1<font color=red><b>{%2}</b></font>?")
                                .arg(kxTr(QStringLiteral("#IDS_DeleteSolution_Tips")), m_solutions->currentItem()->text()),
                            QStringLiteral("#IDS_Tips"), this))
        return;
    m_solution->remove(id, pending([this, id](bool ok, const QString &why) {
        if (!ok) {
            KxUi()->toast(kxTr(QStringLiteral("#IDS_ExecuteCmd_Failed")) + QStringLiteral(" ") + why);
            return;
        }
        if (id == m_solId) {
            m_solId.clear();
            m_flows.clear();
            m_dirty = false;
            refreshWorkflows();
        }
    }));
}

void VisionEditFrame::useSolution()
{
    const QString id = selectedId(m_solutions);
    if (!id.isEmpty() && m_solution)
        m_solution->activate(id, pending([this](bool ok, const QString &why) {
            if (!ok)
                KxUi()->toast(kxTr(QStringLiteral("#IDS_ExecuteCmd_Failed")) + QStringLiteral(" ") + why);
            refreshSolutions();
        }));
}

void VisionEditFrame::editSolution(const QString &solId)
{
    if (!m_solution || solId.isEmpty())
        return;
    if (m_dirty && solId != m_solId) {
        const KxMessageResult r = KxUi()->question(QStringLiteral("#IDS_SaveWorkflow_Tips"), QStringLiteral("#IDS_Tips"),
                                                   QStringLiteral("#IDS_Save|NotSave|Cancel"), this);
        if (r.isRejected())
            return;
        if (r.isAccepted()) {
            save();
            return;
        }
    }
    m_solution->download(solId, pending([this, solId](bool ok, const QString &why) {
        QList<KxVisionWorkflow> flows;
        if (!ok || !KxSolutionDocument::parse(m_solution->document(), &flows)) {
            KxUi()->toast(kxTr(QStringLiteral("#IDS_ExecuteCmd_Failed")) + QStringLiteral(" ") + why);
            return;
        }
        m_solId = solId;
        m_flows = flows;
        m_dirty = false;
        m_flow = -1;
        refreshSolutions();
        refreshWorkflows();
    }));
}

KxVisionWorkflow *VisionEditFrame::flow()
{
    return m_flow >= 0 && m_flow < m_flows.size() ? &m_flows[m_flow] : nullptr;
}

void VisionEditFrame::refreshWorkflows()
{
    const int keep = m_flow;
    const QSignalBlocker block(m_flowList);
    m_flowList->clear();
    for (const KxVisionWorkflow &w : m_flows)
        m_flowList->addItem(QStringLiteral("%1   [%2]").arg(w.displayName, w.triggerId));
    m_flow = -1;
    selectWorkflow(qBound(-1, keep < 0 ? 0 : keep, m_flows.size() - 1));
}

void VisionEditFrame::selectWorkflow(int index)
{
    if (index == m_flow && index >= 0)
        return;
    m_flow = index;
    {
        const QSignalBlocker block(m_flowList);
        m_flowList->setCurrentRow(index);
    }
    m_node = -1;
    refreshNodes();
    selectNode(flow() && !flow()->nodes.isEmpty() ? 0 : -1);
}

void VisionEditFrame::refreshNodes()
{
    const QSignalBlocker block(m_nodeList);
    m_nodeList->clear();
    const KxVisionWorkflow *w = flow();
    if (w) {
        for (const KxVisionNode &n : w->nodes) {
            auto *item = new QListWidgetItem(QIcon(m_tools.samplePath(n.method)),
                                             QStringLiteral("%1  %2").arg(n.index).arg(n.displayName), m_nodeList);
            item->setData(Qt::UserRole, n.index);
        }
    }
    m_nodeList->setCurrentRow(m_node);
    const QString count = kxTr(QStringLiteral("#IDS_NodeCount_Tips"));
    m_limits->setText(w && m_solution && count.contains(QLatin1String("%2"))
                          ? count.arg(w->nodes.size()).arg(m_solution->maxTools())
                          : QString());
    updateButtons();
}

void VisionEditFrame::selectNode(int index)
{
    KxVisionWorkflow *w = flow();
    m_node = w && index >= 0 && index < w->nodes.size() ? index : -1;
    {
        const QSignalBlocker block(m_nodeList);
        m_nodeList->setCurrentRow(m_node);
    }
    m_prop->setProperty(nullptr);
    m_pages.reset();
    if (m_node >= 0) {
        KxVisionNode &n = w->nodes[m_node];
        m_pages = m_tools.propertyPages(n.method);
        if (m_pages) {
            bindValues(m_pages.get(), &n);
            m_prop->setProperty(m_pages.get());
        }
    }
    updateButtons();
}

void VisionEditFrame::nodeValueChanged(const QString &id)
{
    KxVisionWorkflow *w = flow();
    if (!w || m_node < 0)
        return;
    w->nodes[m_node].setParam(id, m_prop->controlValue(id).toString());
    markDirty();
}

void VisionEditFrame::markDirty()
{
    m_dirty = true;
    updateButtons();
}

KxVisionResource *VisionEditFrame::visionResource() const
{
    return KxVisionLogin::resource(m_connector);
}

QList<QPair<int, QString>> VisionEditFrame::locatorsBefore() const
{
    QList<QPair<int, QString>> out;
    if (m_flow < 0 || m_flow >= m_flows.size())
        return out;
    const QList<KxVisionNode> &nodes = m_flows[m_flow].nodes;
    for (int i = 0; i < nodes.size() && i < m_node; ++i) {
        if (nodes[i].method == QLatin1String("zuBlobLocator") || nodes[i].method == QLatin1String("zuTemplateLocator"))
            out << qMakePair(nodes[i].index, nodes[i].displayName);
    }
    return out;
}

QImage VisionEditFrame::shownImage() const
{
    return m_image->image();
}

void VisionEditFrame::regionDrawn(const QRect &r)
{
    m_drawn = r;
    auto *box = qobject_cast<KxZuRectangleBox *>(m_prop->control(QStringLiteral("roi")));
    if (!box) {
        KxUi()->toast(QStringLiteral("#IDS_NoRegionParam_Tips"));
        return;
    }
    box->setRect(r);
    QJsonArray regions;
    regions << QJsonObject{{"kind", "roi"}, {"points", QJsonArray{r.left(), r.top(), r.right(), r.top(),
                                                                  r.right(), r.bottom(), r.left(), r.bottom()}}};
    m_image->setRegions(regions);
}

void VisionEditFrame::newWorkflow()
{
    if (!m_solution || m_solId.isEmpty())
        return;
    const QString limit = KxWorkflowRules::canAddWorkflow(m_flows.size(), m_solution->maxWorkflows());
    if (!limit.isEmpty()) {
        KxUi()->warning(withCount(limit, m_solution->maxWorkflows()), QStringLiteral("#IDS_Tips"), this);
        return;
    }
    auto *dlg = new VisionWorkflowDlg(VisionWorkflowDlg::New, m_flows, -1, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::accepted, this, [this, dlg] {
        m_flows << dlg->result();
        markDirty();
        m_flow = m_flows.size() - 1;
        refreshWorkflows();
    });
    dlg->open();
}

void VisionEditFrame::workflowSettings()
{
    if (!flow())
        return;
    auto *dlg = new VisionWorkflowDlg(VisionWorkflowDlg::Settings, m_flows, m_flow, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    const int index = m_flow;
    connect(dlg, &QDialog::accepted, this, [this, dlg, index] {
        if (index >= m_flows.size())
            return;
        m_flows[index] = dlg->result();
        markDirty();
        refreshWorkflows();
    });
    dlg->open();
}

void VisionEditFrame::deleteWorkflow()
{
    const KxVisionWorkflow *w = flow();
    if (!w || !KxUi()->confirm(QStringLiteral("%1<font color=red><b>{%2}</b></font>?")
                                   .arg(kxTr(QStringLiteral("#IDS_DeleteWorkflow_Tips")), w->displayName),
                               QStringLiteral("#IDS_Tips"), this))
        return;
    m_flows.removeAt(m_flow);
    m_flow = qMin(m_flow, m_flows.size() - 1);
    markDirty();
    refreshWorkflows();
}

void VisionEditFrame::clearWorkflow()
{
    KxVisionWorkflow *w = flow();
    if (!w || w->nodes.isEmpty() || !KxUi()->confirm(QStringLiteral("#IDS_ClearWorkflow_Tips"), QStringLiteral("#IDS_Tips"), this))
        return;
    w->nodes.clear();
    markDirty();
    selectNode(-1);
    refreshNodes();
}

void VisionEditFrame::addNode()
{
    KxVisionWorkflow *w = flow();
    if (!w || !m_solution)
        return;
    if (w->nodes.size() >= m_solution->maxTools()) {
        KxUi()->warning(withCount(QStringLiteral("#IDS_MaxTool_Tips"), m_solution->maxTools()), QStringLiteral("#IDS_Tips"), this);
        return;
    }
    auto *dlg = new VisionToolDlg(m_tools, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::accepted, this, [this, dlg] { addNodeOf(dlg->selectedTool()); });
    dlg->open();
}

void VisionEditFrame::addNodeOf(const QString &toolId)
{
    KxVisionWorkflow *w = flow();
    const KxVisionTool *tool = m_tools.tool(toolId);
    if (!w || !tool || !m_solution)
        return;
    const QString why = KxWorkflowRules::canAddNode(*w, toolId, tool->maxCount, m_solution->maxTools());
    if (!why.isEmpty()) {
        KxUi()->warning(withCount(why, m_solution->maxTools()), QStringLiteral("#IDS_Tips"), this);
        return;
    }
    KxVisionNode n;
    n.index = KxWorkflowRules::nextIndex(*w);
    n.method = toolId;
    n.displayName = kxTr(tool->displayName);
    n.displayNo = tool->displayNo;
    n.uuid = tool->uuid;
    n.type = tool->type;
    if (auto pages = m_tools.propertyPages(toolId))
        bindValues(pages.get(), &n);
    w->nodes << n;
    markDirty();
    m_node = w->nodes.size() - 1;
    refreshNodes();
    selectNode(m_node);
}

void VisionEditFrame::removeNode()
{
    KxVisionWorkflow *w = flow();
    if (!w || m_node < 0)
        return;
    w->nodes.removeAt(m_node);
    markDirty();
    const int next = qMin(m_node, w->nodes.size() - 1);
    refreshNodes();
    selectNode(next);
}

void VisionEditFrame::moveNode(int delta)
{
    KxVisionWorkflow *w = flow();
    const int to = m_node + delta;
    if (!w || m_node < 0 || to < 0 || to >= w->nodes.size())
        return;
    // Indexes stay with their nodes: branch and loop targets name them.
    w->nodes.swapItemsAt(m_node, to);
    markDirty();
    m_node = to;
    refreshNodes();
    selectNode(to);
}

void VisionEditFrame::showFailure(const QString &text)
{
    m_result->setText(kxTr(QStringLiteral("#IDS_ExecuteCmd_Failed")) + QStringLiteral(" ") + text.toHtmlEscaped());
    KxUi()->toast(QStringLiteral("#IDS_ExecuteCmd_Failed"));
}

// A result from the camera's result stream (or, when its frame never came, from the reply of a
// single test): the image with its regions, the verdict and every output.
void VisionEditFrame::showResult(const KxVisionResult &r)
{
    ++m_shown;
    if (!r.image.isNull())
        m_image->setImage(r.image);
    m_image->setRegions(r.regions);
    const QString kind = kxTr(r.kind == QLatin1String("run") ? QStringLiteral("#IDS_VisionRunResult")
                                                             : QStringLiteral("#IDS_VisionTestResult"));
    QString line = QStringLiteral("<b><font color=%1>%2</font></b>  %3  <font color=#666666>%4 %5 [%6]</font>")
                       .arg(r.ok ? "#1a9a3a" : "#d02020", r.ok ? "OK" : "NG", r.result.toHtmlEscaped(), kind,
                            r.workflow.toHtmlEscaped(), r.triggerId.toHtmlEscaped());
    if (!r.error.isEmpty())
        line += QStringLiteral("<br>") + r.error.toHtmlEscaped();
    m_result->setText(line);
    // Output names "<Index>.<id>" read better with the node's name when the node is known.
    QMap<int, QString> names, methods;
    for (const KxVisionWorkflow &w : m_flows) {
        if (w.displayName == r.workflow) {
            for (const KxVisionNode &n : w.nodes) {
                names.insert(n.index, n.displayName);
                methods.insert(n.index, n.method);
            }
        }
    }
    const auto outputName = [this, &methods](int index, const QString &id) {
        for (const QVariantMap &p : m_tools.zuGetFunctionParamsInfos(methods.value(index)).output_params) {
            if (p.value(QStringLiteral("id")).toString() == id)
                return kxTr(p.value(QStringLiteral("name")).toString());
        }
        return id;
    };
    m_outputs->setRowCount(0);
    for (auto it = r.outputs.begin(); it != r.outputs.end(); ++it) {
        const int dot = it.key().indexOf(QLatin1Char('.'));
        const int index = it.key().left(dot).toInt();
        const QString name = names.contains(index) && dot > 0
            ? QStringLiteral("%1 %2 · %3").arg(index).arg(names.value(index), outputName(index, it.key().mid(dot + 1)))
            : it.key();
        const int row = m_outputs->rowCount();
        m_outputs->insertRow(row);
        m_outputs->setItem(row, 0, new QTableWidgetItem(name));
        m_outputs->setItem(row, 1, new QTableWidgetItem(it.value().toVariant().toString()));
    }
}

void VisionEditFrame::testOnce()
{
    const KxVisionWorkflow *w = flow();
    if (!w || !m_solution)
        return;
    const QString why = KxWorkflowRules::canTest(*w);
    if (!why.isEmpty()) {
        KxUi()->warning(why, QStringLiteral("#IDS_Tips"), this);
        return;
    }
    const QByteArray doc = KxSolutionDocument::testDocument(KxSolutionDocument::workflowXml(*w),
                                                            w->displayName, w->triggerId, true);
    const int shown = m_shown;
    m_solution->test(1, w->triggerId, doc, pending([this, shown](bool ok, const QString &text) {
        if (!ok) {
            showFailure(text);
            return;
        }
        // The result frame follows the reply; a camera link that carries no results still
        // shows the reply's result.
        QPointer<VisionEditFrame> self(this);
        QTimer::singleShot(3000, this, [self, shown] {
            if (self && self->m_shown == shown && self->m_solution)
                self->showResult(KxVisionResult::fromReply(self->m_solution->lastRun(), QStringLiteral("test")));
        });
    }));
}

void VisionEditFrame::toggleTest()
{
    const KxVisionWorkflow *w = flow();
    if (!m_solution || (!w && !m_solution->isTesting()))
        return;
    if (!m_solution->isTesting() && !KxWorkflowRules::canTest(*w).isEmpty()) {
        KxUi()->warning(KxWorkflowRules::canTest(*w), QStringLiteral("#IDS_Tips"), this);
        return;
    }
    const bool start = !m_solution->isTesting();
    const QByteArray doc = start ? KxSolutionDocument::testDocument(KxSolutionDocument::workflowXml(*w),
                                                                    w->displayName, w->triggerId, true)
                                 : QByteArray();
    m_solution->setIntervalMs(m_interval->value());
    m_solution->test(start ? 2 : 3, start ? w->triggerId : QString(), doc,
                     pending([this](bool ok, const QString &text) {
        if (!ok)
            showFailure(text);
    }));
}

void VisionEditFrame::toggleRun()
{
    if (!m_solution || m_solution->currentId().isEmpty())
        return;
    const bool start = !m_solution->isRunning();
    // What runs is what the camera stores: unsaved edits of the solution in use are not in it.
    if (start && m_dirty && m_solId == m_solution->currentId()
        && !KxUi()->confirm(QStringLiteral("#IDS_RunUnsaved_Tips"), QStringLiteral("#IDS_Tips"), this))
        return;
    m_solution->setIntervalMs(m_interval->value());
    m_solution->run(start ? 2 : 3, QString(), pending([this](bool ok, const QString &text) {
        if (!ok)
            showFailure(text);
    }));
}

void VisionEditFrame::save()
{
    if (!m_solution || m_solId.isEmpty())
        return;
    const QByteArray doc = KxSolutionDocument::make(m_flows);
    QList<KxVisionWorkflow> check;
    if (!KxSolutionDocument::parse(doc, &check)) {
        qWarning() << "WFEditFrame::saveNodeToSolution...KxSolution_Make failed!";
        return;
    }
    m_solution->save(m_solId, doc, pending([this](bool ok, const QString &why) {
        if (!ok) {
            qWarning() << "WFEditFrame::saveNodeToSolution...saveWorkflow failed!" << why;
            KxUi()->warning(kxTr(QStringLiteral("#IDS_SaveSolution_Failed")) + QStringLiteral("\n") + why,
                            QStringLiteral("#IDS_Tips"), this);
            return;
        }
        m_dirty = false;
        KxUi()->toast(QStringLiteral("#IDS_SaveSolution_Success"));
    }));
}

bool VisionEditFrame::checkLeave()
{
    if (m_solution && (m_solution->isTesting() || m_solution->isRunning())) {
        if (!KxUi()->confirm(QStringLiteral("#IDS_ExitSolutionRunning_Tips"), QStringLiteral("#IDS_Tips"), this))
            return false;
        if (m_solution->isTesting())
            m_solution->test(3, QString(), {}, {});
        if (m_solution->isRunning())
            m_solution->run(3, QString(), {});
    }
    if (m_dirty) {
        const KxMessageResult r = KxUi()->question(QStringLiteral("#IDS_SaveWorkflow_Tips"), QStringLiteral("#IDS_Tips"),
                                                   QStringLiteral("#IDS_Save|NotSave|Cancel"), this);
        if (r.isRejected())
            return false;
        if (r.isAccepted()) {
            save();
            return false;  // leave once the camera has stored it
        }
        m_dirty = false;
    }
    return true;
}

void VisionEditFrame::updateButtons()
{
    const bool idle = m_pending == 0;
    const bool editing = !m_solId.isEmpty();
    const bool hasFlow = m_flow >= 0 && m_flow < m_flows.size();
    const bool testing = m_solution && m_solution->isTesting();
    const bool running = m_solution && m_solution->isRunning();
    // The camera refuses to save, delete or switch away from the solution it runs.
    const bool editingRunning = running && editing && m_solId == m_solution->currentId();
    const QString selected = m_solutions->currentItem() ? m_solutions->currentItem()->data(Qt::UserRole).toString() : QString();
    const auto set = [this](const char *name, bool on) {
        if (QPushButton *b = button(QLatin1String(name)))
            b->setEnabled(on);
    };
    set("btnSolNew", idle);
    set("btnSolRename", idle && m_solutions->currentItem());
    set("btnSolDelete", idle && m_solutions->currentItem() && !(running && selected == m_solution->currentId()));
    set("btnSolUse", idle && m_solutions->currentItem() && !testing && !running);
    set("btnFlowNew", idle && editing && !testing);
    set("btnFlowSet", idle && hasFlow && !testing);
    set("btnFlowDelete", idle && hasFlow && !testing);
    set("btnFlowClear", idle && hasFlow && !testing);
    set("btnNodeAdd", idle && hasFlow && !testing);
    set("btnNodeRemove", idle && m_node >= 0 && !testing);
    set("btnNodeUp", idle && m_node > 0 && !testing);
    set("btnNodeDown", idle && hasFlow && m_node >= 0 && m_node + 1 < m_flows[m_flow].nodes.size() && !testing);
    set("btnTestOnce", idle && hasFlow && !testing);
    set("btnTestRun", idle && (testing || (hasFlow && !running)));
    set("btnRun", idle && (running || (m_solution && !m_solution->currentId().isEmpty() && !testing)));
    set("btnSave", idle && editing && m_dirty && !testing && !editingRunning);
    m_interval->setEnabled(!testing && !running);
    if (QPushButton *b = button(QStringLiteral("btnTestRun")))
        b->setText(kxTr(testing ? QStringLiteral("#IDS_Stop_Test") : QStringLiteral("#IDS_Run_Test")));
    if (QPushButton *b = button(QStringLiteral("btnRun")))
        b->setText(kxTr(running ? QStringLiteral("#IDS_StopRun") : QStringLiteral("#IDS_RunSolution")));
    m_mode->setText(testing ? kxTr(QStringLiteral("#IDS_VisionTesting"))
                            : running ? kxTr(QStringLiteral("#IDS_VisionRunning")) : QString());
    m_mode->setStyleSheet(QStringLiteral("font-weight:bold;color:%1;").arg(testing ? "#0c3484" : "#1a9a3a"));
}
