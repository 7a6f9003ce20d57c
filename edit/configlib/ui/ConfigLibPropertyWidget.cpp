#include "ConfigLibPropertyWidget.h"

#include "ConfigLib.h"
#include "KxControlBase.h"

ConfigLibPropertyWidget::ConfigLibPropertyWidget(ConfigLib *set, std::unique_ptr<KxPagesInfo> pages,
                                                 const QStringList &only,
                                                 std::function<QString(const QString &)> running,
                                                 QWidget *parent)
    : BCodePropertyWidget(parent), m_set(set), m_only(only), m_running(std::move(running))
{
    setObjectName(QStringLiteral("ConfigLibPropertyWidget"));
    // No reader is given to the base: nothing here changes the reader's own values.
    if (pages) {
        for (KxPageInfo *p : pages->pages) {
            for (KxItemInfo *item : p->allItems())
                item->value = setValueOf(item->id);
        }
    }
    setPages(std::move(pages));
    connect(this, &KxPropertyWidget::valueChanged, this, &ConfigLibPropertyWidget::onChanged);
    if (m_set)
        connect(m_set, &ConfigLib::configChanged, this, &ConfigLibPropertyWidget::slot_ConfigChanged);
}

bool ConfigLibPropertyWidget::isItemVisible(const KxItemInfo *item) const
{
    if (item && !m_only.isEmpty() && !m_only.contains(item->id))
        return false;
    return KxPropertyWidget::isItemVisible(item);
}

QString ConfigLibPropertyWidget::setValueOf(const QString &code) const
{
    const QVariant v = m_set ? m_set->read(code) : QVariant(false);
    if (v.type() == QVariant::Bool)
        return m_running ? m_running(code) : QString();
    return v.toString();
}

void ConfigLibPropertyWidget::onChanged(const QString &changedId)
{
    if (m_updating || !m_set)
        return;
    KxControlBase *c = control(changedId);
    if (!c || !c->item())
        return;
    const QString value = c->value().toString();
    if (value == setValueOf(changedId))
        return;
    c->item()->value = value;
    c->acceptValue();
    m_set->setValue(changedId, value, true);
}

void ConfigLibPropertyWidget::slot_ConfigChanged(int id, const QString &cmd, const QString &)
{
    if (!m_set || id != m_set->id())
        return;
    // One code, or (empty) every item: the set was taken again from the reader.
    m_updating = true;
    if (pages()) {
        for (KxPageInfo *p : pages()->pages) {
            for (KxItemInfo *item : p->allItems()) {
                if (!cmd.isEmpty() && item->id != cmd)
                    continue;
                const QString now = setValueOf(item->id);
                item->value = now;
                if (KxControlBase *c = control(item->id)) {
                    if (c->value().toString() != now) {
                        const bool was = c->isSilent();
                        c->setSilent(true);
                        c->setValue(now);
                        c->acceptValue();
                        c->setSilent(was);
                    }
                }
            }
        }
    }
    m_updating = false;
}
