#include "KxPropertyWidget.h"

#include "KxControlBase.h"
#include "KxControlEvents.h"
#include "KxControlUtil.h"
#include "KxI18nUtil.h"

#include <QDebug>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
KxPropertyWidget::ExtendHandler g_extendHandler;
constexpr int MaxRefDepth = 4;
} // namespace

const char *const KxPropertyWidget::GroupBarStyle =
    "max-width:4px;max-height:14px;min-height:14px;background-color:#0c3484;";
const char *const KxPropertyWidget::GroupTitleStyle = "font-size:14px; font-weight:bold; color:#000000;";
const char *const KxPropertyWidget::GroupButtonStyle = "border:none;background:transparent;color:#000000;";
const char *const KxPropertyWidget::GroupLineStyle =
    ".QWidget{border:none; border-bottom:1px solid #d1d1d1; border-radius:0px;}";
const char *const KxPropertyWidget::ItemEditorStyle = "font-size:14px; min-height:28px; color:#1f1f1f;";
const char *const KxPropertyWidget::ItemLabelStyle = "font-size:14px; color:#1f1f1f;";

void KxPropertyWidget::setExtendHandler(ExtendHandler handler)
{
    g_extendHandler = std::move(handler);
}

KxPropertyWidget::KxPropertyWidget(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabWidgetPages"));
    m_tabs->tabBar()->setAutoHide(true); // one page: no tab bar
    m_tabs->setDocumentMode(true);
    layout->addWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, &KxPropertyWidget::onTabChanged);
}

KxPropertyWidget::~KxPropertyWidget()
{
    // Controls are children of this widget; their widgets die with the tab widget first, which
    // the controls' guarded pointers notice.
    delete m_tabs;
    m_tabs = nullptr;
}

_tagKxPropertyInfo *KxPropertyWidget::info(const QString &pageId)
{
    auto it = m_infos.find(pageId);
    return it == m_infos.end() ? nullptr : &it.value();
}

const _tagKxPropertyInfo *KxPropertyWidget::info(const QString &pageId) const
{
    auto it = m_infos.constFind(pageId);
    return it == m_infos.constEnd() ? nullptr : &it.value();
}

void KxPropertyWidget::setProperty(KxPagesInfo *pages)
{
    for (auto it = m_infos.begin(); it != m_infos.end(); ++it)
        clearPage(it.value());
    {
        const QSignalBlocker block(m_tabs);
        while (m_tabs->count() > 0) {
            QWidget *w = m_tabs->widget(0);
            m_tabs->removeTab(0);
            w->hide();
            w->deleteLater();
        }
    }
    m_infos.clear();
    m_order.clear();
    m_recordPage.clear();
    m_currentPage.clear();
    m_pages = pages;
    if (!pages)
        return;

    for (KxPageInfo *page : pages->pages) {
        if (!page || m_infos.contains(page->id)) {
            qWarning() << "KxPropertyWidget::setProperty()... skipping repeated page" << (page ? page->id : QString());
            continue;
        }
        _tagKxPropertyInfo rec;
        rec.page = page;
        for (KxGroupInfo *g : page->groups) {
            m_recordPage.insert(g, page->id);
            rec.linkSet.unite(g->triggers.linkSet);
            rec.expanded.insert(g->id, g->expanded);
            for (KxItemInfo *i : g->items) {
                m_recordPage.insert(i, page->id);
                rec.linkSet.unite(i->triggers.linkSet);
            }
        }
        m_infos.insert(page->id, rec);
        m_order.append(page->id);
    }
    const QSignalBlocker block(m_tabs);
    for (const QString &id : qAsConst(m_order)) {
        _tagKxPropertyInfo &rec = m_infos[id];
        rec.tab = new QWidget();
        rec.tab->setObjectName(id);
        auto *tabLayout = new QVBoxLayout(rec.tab);
        tabLayout->setContentsMargins(0, 0, 0, 0);
        // In place before building, so the page's widgets are born with their final font.
        m_tabs->addTab(rec.tab, kxTrPage(rec.page));
        buildPage(rec);
        tabLayout->addWidget(rec.scroll);
    }
    if (!m_order.isEmpty())
        m_currentPage = m_order.first();
    // Limits that depend on other controls, once with the values as they stand.
    for (const QString &id : qAsConst(m_order)) {
        _tagKxPropertyInfo &rec = m_infos[id];
        const QList<KxControlBase *> list = rec.controls;
        for (KxControlBase *c : list) {
            const QStringList parts = c->itemParam(QStringLiteral("Ref")).toString().split(QLatin1Char(':'));
            if (parts.size() < 2 || parts.size() > 3)
                continue;
            if (KxControlBase *src = control(parts.at(0), id))
                applyRefs(rec, parts.at(0), src->value());
        }
    }
    for (int i = 0; i < m_order.size(); ++i)
        m_tabs->setTabVisible(i, isPageVisible(m_infos.value(m_order.at(i)).page));
    for (const QString &id : qAsConst(m_order))
        notifyPageCreated(id);
}

QString KxPropertyWidget::kxTrPage(const KxPageInfo *page)
{
    return page ? kxTr(page->displayName.isEmpty() ? page->id : page->displayName) : QString();
}

void KxPropertyWidget::setShowChanged(bool on)
{
    m_showChanged = on;
    for (auto it = m_infos.begin(); it != m_infos.end(); ++it) {
        for (KxControlBase *c : qAsConst(it->controls)) {
            c->setShowChanged(on);
            c->updateTitle(c->value());
        }
    }
}

bool KxPropertyWidget::setCurrentPage(const QString &pageId)
{
    const _tagKxPropertyInfo *rec = info(pageId);
    if (!rec || !rec->tab)
        return false;
    m_tabs->setCurrentWidget(rec->tab);
    m_currentPage = pageId;
    return true;
}

void KxPropertyWidget::onTabChanged(int index)
{
    if (index < 0)
        return;
    QWidget *w = m_tabs->widget(index);
    if (!w)
        return;
    m_currentPage = w->objectName();
    emit currentPageChanged(m_currentPage);
}

QList<KxControlBase *> KxPropertyWidget::controls(const QString &pageId) const
{
    const _tagKxPropertyInfo *rec = info(pageId.isEmpty() ? m_currentPage : pageId);
    return rec ? rec->controls : QList<KxControlBase *>();
}

KxControlBase *KxPropertyWidget::control(const QString &id, const QString &pageId) const
{
    const _tagKxPropertyInfo *rec = info(pageId.isEmpty() ? m_currentPage : pageId);
    if (!rec)
        return nullptr;
    for (KxControlBase *c : rec->controls) {
        if (c->itemId() == id)
            return c;
    }
    return nullptr;
}

QWidget *KxPropertyWidget::pageContent(const QString &pageId) const
{
    const _tagKxPropertyInfo *rec = info(pageId);
    return rec ? rec->content : nullptr;
}

// --- visibility -----------------------------------------------------------------------------

QString KxPropertyWidget::pageOf(const void *record) const
{
    if (!m_buildingPage.isEmpty())
        return m_buildingPage;
    const auto it = m_recordPage.constFind(record);
    return it == m_recordPage.constEnd() ? m_currentPage : it.value();
}

QVariant KxPropertyWidget::linkedValue(const _tagKxPropertyInfo &rec, const QString &id,
                                       bool *found) const
{
    *found = false;
    if (m_evaluating.contains(id))
        return QVariant(); // a cycle of links: that link does not decide
    for (KxControlBase *c : rec.controls) {
        if (c->itemId() != id)
            continue;
        m_evaluating.insert(id);
        const bool visible = isItemVisible(c->item());
        m_evaluating.remove(id);
        if (!visible)
            return QVariant();
        *found = true;
        return c->value();
    }
    // While a page is being built, controls further down do not exist yet: their items
    // answer with the value the control will show.
    if (m_buildingPage.isEmpty() || !rec.page)
        return QVariant();
    KxItemInfo *item = rec.page->findItem(id);
    if (!item)
        return QVariant();
    m_evaluating.insert(id);
    const bool visible = isItemVisible(item);
    m_evaluating.remove(id);
    if (!visible)
        return QVariant();
    *found = true;
    return rec.pending.value(id, item->value);
}

bool KxPropertyWidget::triggersHold(const KxTriggerSet &triggers, const QString &pageId) const
{
    if (triggers.isEmpty())
        return true;
    const _tagKxPropertyInfo *rec = info(pageId);
    QMap<QString, QVariant> values;
    if (rec) {
        for (const QString &link : triggers.links) {
            bool found = false;
            const QVariant v = linkedValue(*rec, link, &found);
            if (found)
                values.insert(link, v);
        }
    }
    return triggers.holds(values);
}

bool KxPropertyWidget::isPageVisible(const KxPageInfo *page) const
{
    if (!page)
        return false;
    for (const KxGroupInfo *g : page->groups) {
        if (!isGroupVisible(g))
            continue;
        for (const KxItemInfo *i : g->items) {
            if (isItemVisible(i))
                return true;
        }
    }
    return false;
}

bool KxPropertyWidget::isGroupVisible(const KxGroupInfo *group) const
{
    if (!group || !group->visible)
        return false;
    return triggersHold(group->triggers, pageOf(group));
}

bool KxPropertyWidget::isItemVisible(const KxItemInfo *item) const
{
    if (!item || !item->visible)
        return false;
    return triggersHold(item->triggers, pageOf(item));
}

bool KxPropertyWidget::isStorable(const KxItemInfo *item) const
{
    if (!item)
        return false;
    if (item->flags.compare(QLatin1String("Unstore"), Qt::CaseInsensitive) == 0)
        return false;
    static const QStringList notStored = {QStringLiteral("Panel"), QStringLiteral("DEFCMD"),
                                          QStringLiteral("WLSCLP")};
    return !notStored.contains(item->controlType);
}

QVariant KxPropertyWidget::controlValue(const QString &id) const
{
    KxControlBase *c = control(id);
    return c ? c->value() : QVariant();
}

void KxPropertyWidget::notifyPageCreated(const QString &pageId)
{
    emit pageCreated(pageId);
}

void KxPropertyWidget::pagesHook() {}

// --- events ---------------------------------------------------------------------------------

void KxPropertyWidget::customEvent(QEvent *event)
{
    const QEvent::Type t = event->type();
    if (t == KxValueChangedEvent::eventType())
        handleValueChanged(static_cast<KxValueChangedEvent *>(event));
    else if (t == KxCustomChangedEvent::eventType())
        handleCustomChanged(static_cast<KxCustomChangedEvent *>(event));
    else if (t == KxROIChangedEvent::eventType())
        handleROIChanged(static_cast<KxROIChangedEvent *>(event));
    else if (t == KxExtendEvent::eventType())
        handleExtend(static_cast<KxExtendEvent *>(event));
    else
        QWidget::customEvent(event);
}

void KxPropertyWidget::refreshPending(_tagKxPropertyInfo &rec)
{
    for (KxControlBase *c : qAsConst(rec.controls)) {
        if (c->isModified())
            rec.pending.insert(c->itemId(), c->value());
        else
            rec.pending.remove(c->itemId());
    }
}

void KxPropertyWidget::handleValueChanged(KxValueChangedEvent *event)
{
    KxControlBase *c = event->control();
    if (!c)
        return;
    const QString pageId = c->property("PID").toString();
    _tagKxPropertyInfo *rec = info(pageId);
    if (!rec || !rec->controls.contains(c))
        return; // a control of a page that was rebuilt meanwhile
    const QString id = event->id();
    const QVariant value = c->value();
    if (c->isModified())
        rec->pending.insert(id, value);
    else
        rec->pending.remove(id);

    QPointer<KxPropertyWidget> self(this);
    emit valueChanged(id);
    if (!self)
        return;
    rec = info(pageId); // the owner may have replaced the pages
    if (!rec)
        return;
    if (rec->linkSet.contains(id))
        rebuildPage(pageId);
    rec = info(pageId);
    if (rec)
        applyRefs(*rec, id, value);
}

void KxPropertyWidget::applyRefs(_tagKxPropertyInfo &rec, const QString &sourceId, const QVariant &value)
{
    if (m_refDepth >= MaxRefDepth)
        return; // limits that keep moving each other stop here
    ++m_refDepth;
    const QList<KxControlBase *> list = rec.controls;
    for (KxControlBase *c : list) {
        const QStringList parts = c->itemParam(QStringLiteral("Ref")).toString().split(QLatin1Char(':'));
        if (parts.size() < 2 || parts.size() > 3 || parts.at(0) != sourceId)
            continue;
        const QString param = parts.at(1);
        QVariant v = value;
        if (parts.size() == 3 && parts.at(2).compare(QLatin1String("Unequal"), Qt::CaseInsensitive) == 0) {
            if (param.compare(QLatin1String("Maximum"), Qt::CaseInsensitive) == 0)
                v = KxControlUtil::toInt64(value.toString()) - 1;
            else if (param.compare(QLatin1String("Minimum"), Qt::CaseInsensitive) == 0)
                v = KxControlUtil::toInt64(value.toString()) + 1;
        }
        if (rec.controls.contains(c))
            c->setParam(param, v);
    }
    --m_refDepth;
}

void KxPropertyWidget::handleCustomChanged(KxCustomChangedEvent *event)
{
    emit customChanged(event->type(), event->params());
}

void KxPropertyWidget::handleExtend(KxExtendEvent *event)
{
    if (!event->control())
        return;
    if (g_extendHandler)
        g_extendHandler(event->controlId(), this);
    else
        qInfo() << "KxPropertyWidget::handleExtend()... no reader resource access for" << event->controlId();
}

void KxPropertyWidget::handleROIChanged(KxROIChangedEvent *event)
{
    if (KxControlBase *c = event->control())
        OnROIChanged(c->property("GID").toString());
}

void KxPropertyWidget::OnROIChanged(const QString &groupId)
{
    // Region controls of the group refresh from the shared region.
    for (KxControlBase *c : controls()) {
        if (c->property("GID").toString() == groupId)
            c->regionChanged();
    }
}

void KxPropertyWidget::OnImageViewClosed() {}
void KxPropertyWidget::OnImageViewMouseClick() {}
void KxPropertyWidget::OnImageViewMouseDClick() {}
