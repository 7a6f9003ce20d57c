#include "NetGroupEditWidget.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "NetGroupKitPort.h"
#include "NetGroupTree.h"

#include <QComboBox>
#include <QDebug>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace KxNetGroupConfig;

namespace
{
const char *const kStyle =
    "#NetGroupEditWidget{background-color:#ffffff;}"
    "#labGroupEditTitle{color:#1f2733;font-size:15px;font-weight:bold;}"
    "#labGroupEditHint{color:#7a8494;}"
    "#treeGroups{border:1px solid #dbdbdb;border-radius:4px;}"
    "#treeGroups::item{height:26px;}"
    "QGroupBox#boxGroupProperties{border:1px solid #dbdbdb;border-radius:4px;margin-top:14px;"
    "padding:8px;font-weight:bold;color:#1f2733;}"
    "QGroupBox#boxGroupProperties::title{subcontrol-origin:margin;left:8px;padding:0 4px;}"
    "QGroupBox#boxGroupProperties QLabel{font-weight:normal;}"
    "#labGroupLimit{color:#7a8494;font-weight:normal;}";
} // namespace

NetGroupEditWidget::NetGroupEditWidget(QWidget *parent)
    : QWidget(parent), m_saver(new KxNetGroupSaver(this))
{
    NetGroupKitPort::attach(m_saver);
    connect(m_saver, &KxNetGroupSaver::finished, this, &NetGroupEditWidget::onSaveFinished);
    connect(m_saver, &KxNetGroupSaver::stateChanged, this, &NetGroupEditWidget::onReaderState);
    buildUi();
}

NetGroupEditWidget::~NetGroupEditWidget()
{
    if (m_saver->isRunning()) {
        m_saver->abort();
        KxUi()->closeWaiting();
    }
}

void NetGroupEditWidget::buildUi()
{
    setObjectName(QStringLiteral("NetGroupEditWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QLatin1String(kStyle));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(10);
    auto *title = new QLabel(kxTr(QStringLiteral("#IDS_NetworkGroupEdit")), this);
    title->setObjectName(QStringLiteral("labGroupEditTitle"));
    layout->addWidget(title);
    auto *hint = new QLabel(kxTr(QStringLiteral("#IDS_NetGroupDragTips")), this);
    hint->setObjectName(QStringLiteral("labGroupEditHint"));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    auto *buttons = new QHBoxLayout;
    auto button = [this, buttons](const char *name, const char *key, KxPushButton::Kind kind) {
        auto *b = new KxPushButton(QLatin1String(key), kind, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    m_btnNew = button("btnNewGroup", "#IDS_NewGroup", KxPushButton::Normal);
    m_btnAdd = button("btnAddReader", "#IDS_AddDevice", KxPushButton::Normal);
    m_btnMaster = button("btnSetMaster", "#IDS_SetMasterDevice", KxPushButton::Normal);
    m_btnRemove = button("btnRemove", "#IDS_Remove", KxPushButton::Normal);
    buttons->addStretch(1);
    m_btnSave = button("btnSaveGroups", "#IDS_Save", KxPushButton::Primary);
    layout->addLayout(buttons);
    connect(m_btnNew, &QPushButton::clicked, this, &NetGroupEditWidget::newGroup);
    connect(m_btnAdd, &QPushButton::clicked, this, &NetGroupEditWidget::showAddMenu);
    connect(m_btnMaster, &QPushButton::clicked, this, &NetGroupEditWidget::setCurrentAsMaster);
    connect(m_btnRemove, &QPushButton::clicked, this, &NetGroupEditWidget::removeCurrent);
    connect(m_btnSave, &QPushButton::clicked, this, [this] { save(); });

    auto *body = new QHBoxLayout;
    body->setSpacing(12);
    m_tree = new NetGroupTree(this);
    m_tree->setColumnCount(4);
    m_tree->setHeaderLabels({kxTr(QStringLiteral("#IDS_NetGroup_Column_Name")),
                             kxTr(QStringLiteral("#IDS_IPAddress")),
                             kxTr(QStringLiteral("#IDS_NetGroup_Column_Role")),
                             kxTr(QStringLiteral("#IDS_NetGroup_Column_State"))});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_tree->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_tree->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    body->addWidget(m_tree, 1);
    connect(m_tree, &NetGroupTree::readerDropped, this, &NetGroupEditWidget::moveReader);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
        updateButtons();
        showProperties();
    });

    m_props = new QGroupBox(kxTr(QStringLiteral("#IDS_EditProperty")), this);
    m_props->setObjectName(QStringLiteral("boxGroupProperties"));
    m_props->setMinimumWidth(300);
    auto *form = new QFormLayout(m_props);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    m_name = new QLineEdit(m_props);
    m_name->setObjectName(QStringLiteral("editGroupName"));
    m_name->setMaxLength(kMaxNameLength);
    // The name travels inside the configuration text: none of its separators.
    m_name->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^;=<>,]*")), m_name));
    form->addRow(kxTr(QStringLiteral("#IDS_NetGroup_Name")), m_name);
    m_priority = new QComboBox(m_props);
    m_priority->setObjectName(QStringLiteral("comboPriority"));
    m_priority->addItem(kxTr(QStringLiteral("#IDS_NetworkingPriority_Master")), 0);
    m_priority->addItem(kxTr(QStringLiteral("#IDS_NetworkingPriority_First")), 1);
    form->addRow(kxTr(QStringLiteral("#IDS_NetworkingPriority")), m_priority);
    m_mode = new QComboBox(m_props);
    m_mode->setObjectName(QStringLiteral("comboMode"));
    m_mode->addItem(kxTr(QStringLiteral("#IDS_NetworkingMode_Sync")), 0);
    m_mode->addItem(kxTr(QStringLiteral("#IDS_NetworkingMode_Alone")), 1);
    form->addRow(kxTr(QStringLiteral("#IDS_NetworkingMode")), m_mode);
    m_min = new QSpinBox(m_props);
    m_min->setObjectName(QStringLiteral("spinMinCodes"));
    m_min->setRange(1, kMaxCodes);
    form->addRow(kxTr(QStringLiteral("#IDS_NetworkingBarcode_Min")), m_min);
    m_max = new QSpinBox(m_props);
    m_max->setObjectName(QStringLiteral("spinMaxCodes"));
    m_max->setRange(1, kMaxCodes);
    form->addRow(kxTr(QStringLiteral("#IDS_NetworkingBarcode_Max")), m_max);
    m_limit = new QLabel(m_props);
    m_limit->setObjectName(QStringLiteral("labGroupLimit"));
    m_limit->setWordWrap(true);
    form->addRow(m_limit);
    body->addWidget(m_props, 0, Qt::AlignTop);
    layout->addLayout(body, 1);

    connect(m_name, &QLineEdit::editingFinished, this, &NetGroupEditWidget::applyProperties);
    connect(m_priority, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &NetGroupEditWidget::applyProperties);
    connect(m_mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &NetGroupEditWidget::applyProperties);
    connect(m_min, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int v) {
        if (v > m_max->value())
            m_max->setValue(v); // the least may not pass the most
        applyProperties();
    });
    connect(m_max, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int v) {
        if (v < m_min->value())
            m_min->setValue(v);
        applyProperties();
    });
    updateButtons();
    showProperties();
}

void NetGroupEditWidget::setReaders(const QList<KxDeviceInfoMap> &infos)
{
    if (m_saver->isRunning())
        return;
    m_model.load(infos);
    m_states.clear();
    rebuildTree();
    emit groupsChanged();
}

QString NetGroupEditWidget::stateKey(KxNetGroupSaver::State s)
{
    switch (s) {
    case KxNetGroupSaver::State::Waiting: return QStringLiteral("#IDS_NetGroupState_Waiting");
    case KxNetGroupSaver::State::Failed: return QStringLiteral("#IDS_NetGroupState_Failed");
    case KxNetGroupSaver::State::Answered: return QStringLiteral("#IDS_NetGroupState_Checking");
    case KxNetGroupSaver::State::Verified: return QStringLiteral("#IDS_NetGroupState_Done");
    }
    return QString();
}

void NetGroupEditWidget::rebuildTree()
{
    const int keepGroup = currentGroup();
    const QTreeWidgetItem *cur = m_tree->currentItem();
    const QString keepKey = cur ? cur->data(0, NetGroupTree::KeyRole).toString() : QString();
    m_filling = true;
    m_tree->clear();
    auto readerRow = [this](QTreeWidgetItem *parent, const QString &key, const QString &role) {
        const KxNetGroupModel::Reader r = m_model.reader(key);
        auto *item = new QTreeWidgetItem(parent);
        item->setText(0, QStringLiteral("%1  %2").arg(r.title, r.member.sn));
        item->setText(1, r.member.ip);
        item->setText(2, role.isEmpty() ? QString() : kxTr(role));
        if (m_states.contains(key))
            item->setText(3, kxTr(stateKey(m_states.value(key))));
        item->setData(0, NetGroupTree::KeyRole, key);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
        return item;
    };
    for (const KxNetGroupModel::Group &g : m_model.groups()) {
        auto *gi = new QTreeWidgetItem(m_tree);
        const QString name = g.name.isEmpty() ? kxTr(QStringLiteral("#IDS_NetGroup_NoName"))
                                              : g.name;
        gi->setText(0, QStringLiteral("%1   %2").arg(
                           name, kxTr(QStringLiteral("#IDS_NetGroup_Number")).arg(g.id)));
        if (g.masterKey.isEmpty() && !g.slaveKeys.isEmpty())
            gi->setText(2, kxTr(QStringLiteral("#IDS_Group_NoMasterDevice")));
        gi->setData(0, NetGroupTree::GroupRole, g.id);
        gi->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled);
        QFont bold = gi->font(0);
        bold.setBold(true);
        gi->setFont(0, bold);
        if (!g.masterKey.isEmpty())
            readerRow(gi, g.masterKey, QStringLiteral("#IDS_NetGroup_Master"));
        for (const QString &s : g.slaveKeys)
            readerRow(gi, s, QStringLiteral("#IDS_NetGroup_Slave"));
        gi->setExpanded(true);
    }
    auto *ui = new QTreeWidgetItem(m_tree);
    ui->setText(0, kxTr(QStringLiteral("#IDS_DeviceGroup_Unknow")));
    ui->setData(0, NetGroupTree::GroupRole, -1);
    ui->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled);
    QFont bold = ui->font(0);
    bold.setBold(true);
    ui->setFont(0, bold);
    for (const QString &key : m_model.ungrouped())
        readerRow(ui, key, QString());
    ui->setExpanded(true);
    m_filling = false;
    if (!keepKey.isEmpty() && readerItem(keepKey))
        selectReader(keepKey);
    else if (keepGroup >= 0)
        selectGroup(keepGroup);
    updateButtons();
    showProperties();
}

QTreeWidgetItem *NetGroupEditWidget::readerItem(const QString &key) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->data(0, NetGroupTree::KeyRole).toString() == key)
            return *it;
    }
    return nullptr;
}

int NetGroupEditWidget::currentGroup() const
{
    const int g = NetGroupTree::groupOfItem(m_tree->currentItem());
    return g >= 0 ? g : -1;
}

void NetGroupEditWidget::selectGroup(int groupId)
{
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_tree->topLevelItem(i);
        if (item->data(0, NetGroupTree::GroupRole).toInt() == groupId) {
            m_tree->setCurrentItem(item);
            return;
        }
    }
}

void NetGroupEditWidget::selectReader(const QString &key)
{
    if (QTreeWidgetItem *item = readerItem(key))
        m_tree->setCurrentItem(item);
}

void NetGroupEditWidget::updateButtons()
{
    const bool idle = !m_saver->isRunning();
    const QTreeWidgetItem *cur = m_tree->currentItem();
    const QString key = cur ? cur->data(0, NetGroupTree::KeyRole).toString() : QString();
    const int group = currentGroup();
    const KxNetGroupModel::Group *g = m_model.group(group);
    m_btnNew->setEnabled(idle);
    m_btnAdd->setEnabled(idle && group >= 0 && !m_model.ungrouped().isEmpty());
    m_btnMaster->setEnabled(idle && !key.isEmpty() && g && g->masterKey != key);
    m_btnRemove->setEnabled(idle && (group >= 0 || (!key.isEmpty() && m_model.groupOf(key) >= 0)));
    m_btnSave->setEnabled(idle);
    m_tree->setDragEnabled(idle);
}

void NetGroupEditWidget::showProperties()
{
    const KxNetGroupModel::Group *g = m_model.group(currentGroup());
    m_props->setEnabled(g && !m_saver->isRunning());
    m_filling = true;
    const Attributes a = g ? g->attributes : Attributes();
    m_name->setText(g ? g->name : QString());
    m_priority->setCurrentIndex(m_priority->findData(a.priority));
    m_mode->setCurrentIndex(m_mode->findData(a.mode));
    m_max->setValue(a.maxCodes);
    m_min->setValue(a.minCodes);
    const int limit = g ? m_model.limitOf(*g) : 0;
    m_limit->setText(limit > 0 ? kxTr(QStringLiteral("#IDS_NetGroup_Limit"))
                                     .arg(g->memberKeys().size())
                                     .arg(limit)
                               : QString());
    m_filling = false;
}

void NetGroupEditWidget::applyProperties()
{
    if (m_filling)
        return;
    const int id = currentGroup();
    const KxNetGroupModel::Group *g = m_model.group(id);
    if (!g)
        return;
    const Attributes a{m_priority->currentData().toInt(), m_mode->currentData().toInt(),
                       m_min->value(), m_max->value()};
    const QString name = m_name->text().trimmed();
    if (name == g->name && a == g->attributes)
        return;
    if (!refuse(m_model.setProperties(id, name, a)))
        return;
    rebuildTree();
    emit groupsChanged();
}

int NetGroupEditWidget::newGroup()
{
    if (m_saver->isRunning())
        return -1;
    const int id = m_model.newGroup(kxTr(QStringLiteral("#IDS_NetGroup_DefaultName")).arg(
        m_model.groups().size() + 1));
    rebuildTree();
    selectGroup(id);
    emit groupsChanged();
    return id;
}

bool NetGroupEditWidget::refuse(KxNetGroupModel::Result r)
{
    switch (r) {
    case KxNetGroupModel::Result::Ok: return true;
    case KxNetGroupModel::Result::TooMany:
        KxUi()->toast(QStringLiteral("#IDS_Morethan_MaxNetDevices"), 3000, this,
                      KxMsgType::Warning);
        break;
    case KxNetGroupModel::Result::NoSuchGroup:
        KxUi()->toast(QStringLiteral("#IDS_NetGroup_SelectGroup"), 3000, this,
                      KxMsgType::Warning);
        break;
    case KxNetGroupModel::Result::BadName:
    case KxNetGroupModel::Result::BadAttributes:
        KxUi()->toast(QStringLiteral("#IDS_NetGroup_BadProperty"), 3000, this,
                      KxMsgType::Warning);
        showProperties();
        break;
    case KxNetGroupModel::Result::NoSuchReader: break;
    }
    return false;
}

bool NetGroupEditWidget::moveReader(const QString &key, int groupId)
{
    if (m_saver->isRunning())
        return false;
    const bool ok = groupId < 0 ? refuse(m_model.removeReader(key))
                                : refuse(m_model.addReader(key, groupId));
    if (!ok)
        return false;
    rebuildTree();
    selectReader(key);
    emit groupsChanged();
    return true;
}

bool NetGroupEditWidget::addReader(const QString &key)
{
    if (currentGroup() < 0)
        return refuse(KxNetGroupModel::Result::NoSuchGroup);
    return moveReader(key, currentGroup());
}

void NetGroupEditWidget::addReaderFromList(const QMap<QString, QString> &info)
{
    const QString key = KxNetGroupModel::keyOf(info);
    if (!m_model.hasReader(key))
        return;
    // Without a chosen group the reader starts a new one.
    if (currentGroup() < 0)
        newGroup();
    addReader(key);
}

void NetGroupEditWidget::showAddMenu()
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menuAddReader"));
    for (const QString &key : m_model.ungrouped()) {
        const KxNetGroupModel::Reader r = m_model.reader(key);
        QAction *a = menu.addAction(QStringLiteral("%1  %2  %3").arg(r.title, r.member.sn,
                                                                      r.member.ip));
        connect(a, &QAction::triggered, this, [this, key] { addReader(key); });
    }
    menu.exec(m_btnAdd->mapToGlobal(QPoint(0, m_btnAdd->height())));
}

void NetGroupEditWidget::setCurrentAsMaster()
{
    const QTreeWidgetItem *cur = m_tree->currentItem();
    const QString key = cur ? cur->data(0, NetGroupTree::KeyRole).toString() : QString();
    if (key.isEmpty() || m_saver->isRunning() || !refuse(m_model.setMaster(key)))
        return;
    rebuildTree();
    emit groupsChanged();
}

void NetGroupEditWidget::removeCurrent()
{
    const QTreeWidgetItem *cur = m_tree->currentItem();
    if (!cur || m_saver->isRunning())
        return;
    const QString key = cur->data(0, NetGroupTree::KeyRole).toString();
    if (!key.isEmpty()) {
        moveReader(key, -1);
        return;
    }
    const int group = currentGroup();
    if (group < 0)
        return;
    m_model.removeGroup(group); // its readers go back to the ungrouped ones
    rebuildTree();
    emit groupsChanged();
}

bool NetGroupEditWidget::save()
{
    if (m_saver->isRunning())
        return false;
    const QList<KxNetGroupModel::Change> changes = m_model.changes();
    if (changes.isEmpty()) {
        KxUi()->toast(QStringLiteral("#IDS_SaveConfig_Nothing"), 3000, this);
        return false;
    }
    const QString broken = m_model.check();
    if (!broken.isEmpty()) {
        KxUi()->warning(broken, QStringLiteral("#IDS_Tips"), this);
        return false;
    }
    qInfo().noquote() << "NetGroupEditWidget::save()..." << changes.size() << "readers";
    for (const auto &c : changes)
        qInfo().noquote() << "NetGroupEditWidget::save()..." << c.text;
    m_states.clear();
    if (!m_saver->start(changes))
        return false;
    KxUi()->showWaiting(QStringLiteral("#IDS_Config_Saving"), QString(), {}, this);
    rebuildTree();
    return true;
}

void NetGroupEditWidget::onReaderState(const QString &key, KxNetGroupSaver::State state)
{
    m_states.insert(key, state);
    if (QTreeWidgetItem *item = readerItem(key))
        item->setText(3, kxTr(stateKey(state)));
}

void NetGroupEditWidget::onSaveFinished(bool ok, const QStringList &failed)
{
    KxUi()->closeWaiting();
    if (ok) {
        m_model.commit();
        KxUi()->toast(QStringLiteral("#IDS_SaveGroup_Success"), 3000, this);
    } else {
        qWarning().noquote() << "NetGroupEditWidget::onSaveFinished()... failed:" << failed;
        KxUi()->toast(QStringLiteral("#IDS_SaveGroup_Fail"), 3000, this, KxMsgType::Error);
    }
    rebuildTree();
    emit groupsChanged();
    emit saveFinished(ok);
}
