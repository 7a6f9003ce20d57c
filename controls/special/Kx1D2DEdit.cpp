#include "Kx1D2DEdit.h"

#include "IKxSpecialReader.h"
#include "KxI18nUtil.h"
#include "KxPropertyWidget.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QtDebug>

namespace {

// Items that hold a value of their own, as the property widget's JSON export takes them.
bool isStorable(const KxItemInfo *item)
{
    if (item->flags.compare(QLatin1String("Unstore"), Qt::CaseInsensitive) == 0)
        return false;
    return item->controlType != QLatin1String("Panel") && item->controlType != QLatin1String("DEFCMD")
           && item->controlType != QLatin1String("WLSCLP");
}

bool isPlainType(const QString &t)
{
    return t.isEmpty() || t == QLatin1String("string") || t == QLatin1String("int") || t == QLatin1String("float")
           || t == QLatin1String("double");
}

KxItemInfo *findItem(KxPageInfo *page, const QString &id)
{
    if (!page)
        return nullptr;
    for (KxGroupInfo *g : page->groups) {
        for (KxItemInfo *i : g->items) {
            if (i->id == id)
                return i;
        }
    }
    return nullptr;
}

}  // namespace

// --- a row ----------------------------------------------------------------------------------

KxCodeItem::KxCodeItem(std::unique_ptr<KxPagesInfo> pages, const QString &xml, QWidget *parent)
    : QWidget(parent), m_pages(std::move(pages)), m_xml(xml)
{
    KxPageInfo *p = page();
    setObjectName(p ? p->id : QString());
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral(".KxCodeItem{border:1px solid #B6B6B6;border-radius:3px;}"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    m_enable = new QCheckBox(this);
    m_enable->setProperty("Checkable", true);
    m_name = new QLabel(p ? kxTr(p->displayName) : QString(), this);
    m_name->setObjectName(QStringLiteral("ID_CodeName"));
    m_name->setStyleSheet(QStringLiteral("border:0; font-size:14px;"));
    m_name->setToolTip(m_name->text());
    m_name->setCursor(Qt::PointingHandCursor);
    m_name->installEventFilter(this);
    layout->addWidget(m_enable);
    layout->addWidget(m_name, 1);
    m_enable->setChecked(enableValue() != QLatin1String("0"));
    connect(m_enable, &QCheckBox::clicked, this, [this](bool on) {
        const QString id = pageId();
        setEnableValue(!on ? QStringLiteral("0")
                           : (id == QLatin1String("D12ENA") || id == QLatin1String("D14ENA") ? QStringLiteral("2")
                                                                                             : QStringLiteral("1")));
        emit enableClicked();
    });
}

KxPageInfo *KxCodeItem::page() const
{
    return m_pages && !m_pages->pages.isEmpty() ? m_pages->pages.first() : nullptr;
}

QString KxCodeItem::enableValue() const
{
    const KxItemInfo *i = findItem(page(), pageId());
    return i ? i->value.toString() : QString();
}

void KxCodeItem::setEnableValue(const QString &value)
{
    if (KxItemInfo *i = findItem(page(), pageId()))
        i->value = value;
    m_enable->setChecked(value != QLatin1String("0"));
}

QJsonObject KxCodeItem::toJson() const
{
    QJsonObject groups;
    if (!page())
        return groups;
    for (const KxGroupInfo *g : page()->groups) {
        QJsonArray items;
        for (const KxItemInfo *i : g->items) {
            if (!isStorable(i))
                continue;
            QJsonObject o;
            o.insert(QStringLiteral("Id"), i->id);
            if (!isPlainType(i->returnType))
                o.insert(QStringLiteral("Type"), i->returnType);
            if (!i->flags.isEmpty())
                o.insert(QStringLiteral("Flags"), i->flags);
            o.insert(QStringLiteral("Param"), i->value.toString());
            items.append(o);
        }
        if (!items.isEmpty())
            groups.insert(g->id, items);
    }
    return groups;
}

void KxCodeItem::fromJson(const QJsonObject &groups)
{
    for (auto g = groups.begin(); g != groups.end(); ++g) {
        for (const QJsonValue &v : g.value().toArray()) {
            const QJsonObject o = v.toObject();
            if (KxItemInfo *i = findItem(page(), o.value(QStringLiteral("Id")).toString()))
                i->value = o.value(QStringLiteral("Param")).toVariant().toString();
        }
    }
    m_enable->setChecked(enableValue() != QLatin1String("0"));
}

bool KxCodeItem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_name && event->type() == QEvent::MouseButtonPress) {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton) {
            emit nameClicked(e->globalPos());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- the popup ------------------------------------------------------------------------------

KxCodePopupWidget::KxCodePopupWidget(KxCodeItem *row, QWidget *parent)
    : QWidget(parent, Qt::Popup), m_row(row)
{
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral(".KxCodePopupWidget{border:1px solid #B6B6B6;border-radius:2px;}"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_property = new KxPropertyWidget(this);
    layout->addWidget(m_property);
    if (row && row->page()) {
        for (const KxGroupInfo *g : row->page()->groups) {
            for (const KxItemInfo *i : g->items) {
                if (i->controlType == QLatin1String("DEFCMD"))
                    m_defCmds << i->id;
            }
        }
        m_property->setProperty(row->pages());
    }
    resize(m_property->sizeHint() + QSize(0, 10));
}

void KxCodePopupWidget::takeValues()
{
    if (!m_row || !m_row->page())
        return;
    for (KxControlBase *c : m_property->controls()) {
        const QVariant v = c->value();
        if (c->item() && v.isValid())
            c->item()->value = v.toString();
    }
    m_row->setEnableValue(m_row->enableValue());
}

void KxCodePopupWidget::hideEvent(QHideEvent *event)
{
    takeValues();
    QWidget::hideEvent(event);
    emit closed();
}

// --- the list -------------------------------------------------------------------------------

KxCodeSettingWidget::KxCodeSettingWidget(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_selectAll = new QCheckBox(kxTr(QStringLiteral("#IDS_SelectAll")), this);
    m_selectAll->setObjectName(QStringLiteral("selectAll"));
    m_list = new QListWidget(this);
    m_list->setStyleSheet(QStringLiteral("QListWidget{border-style:none;background:transparent;}"));
    m_list->setMinimumHeight(200);
    layout->addWidget(m_selectAll);
    layout->addWidget(m_list, 1);
    connect(m_selectAll, &QCheckBox::clicked, this, [this](bool on) {
        for (KxCodeItem *r : rows()) {
            if (r->enableBox()->property("Checkable").toBool() && r->enableBox()->isChecked() != on)
                r->enableBox()->click();
        }
        updateSelectAll();
    });
    updateSelectAll();
}

void KxCodeSettingWidget::addRow(KxCodeItem *row)
{
    auto *item = new QListWidgetItem(m_list);
    item->setSizeHint(QSize(200, 34));
    m_list->setItemWidget(item, row);
    connect(row, &KxCodeItem::enableClicked, this, [this, row]() { onEnableClicked(row); });
    connect(row, &KxCodeItem::nameClicked, this, [this, row](const QPoint &pos) { openPopup(row, pos); });
}

QList<KxCodeItem *> KxCodeSettingWidget::rows() const
{
    QList<KxCodeItem *> out;
    for (int i = 0; i < m_list->count(); ++i) {
        if (auto *r = qobject_cast<KxCodeItem *>(m_list->itemWidget(m_list->item(i))))
            out << r;
    }
    return out;
}

KxCodeItem *KxCodeSettingWidget::row(const QString &pageId) const
{
    for (KxCodeItem *r : rows()) {
        if (r->pageId() == pageId)
            return r;
    }
    return nullptr;
}

// Checked exactly when every checkable row is checked; with no rows that holds.
void KxCodeSettingWidget::updateSelectAll()
{
    bool all = true;
    for (KxCodeItem *r : rows()) {
        if (r->enableBox()->property("Checkable").toBool() && !r->enableBox()->isChecked())
            all = false;
    }
    m_selectAll->setChecked(all);
}

void KxCodeSettingWidget::onEnableClicked(KxCodeItem *)
{
    updateSelectAll();
    emit changed();
}

QJsonObject KxCodeSettingWidget::toJson() const
{
    QJsonObject all;
    for (KxCodeItem *r : rows()) {
        if (!r->page()) {
            qWarning() << "KxCodeSettingWidget::saveAsJson fail!";
            continue;
        }
        all.insert(r->pageId(), r->toJson());
    }
    return all;
}

bool KxCodeSettingWidget::applyJson(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (KxCodeItem *r = row(it.key()))
            r->fromJson(it.value().toObject());
    }
    updateSelectAll();
    return true;
}

KxCodePopupWidget *KxCodeSettingWidget::openPopup(KxCodeItem *row, const QPoint &globalPos)
{
    if (m_popup)
        m_popup->close();
    m_popup = new KxCodePopupWidget(row, this);
    m_popup->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_popup, &KxCodePopupWidget::closed, this, [this]() {
        updateSelectAll();
        emit changed();
    });
    m_popup->move(globalPos);
    m_popup->show();
    return m_popup;
}

// --- the control ----------------------------------------------------------------------------

QWidget *Kx1D2DEdit::editorWidget() const
{
    return m_root;
}

bool Kx1D2DEdit::createEditor(QWidget *parent)
{
    m_root = new QWidget(parent);
    auto *layout = new QVBoxLayout(m_root);
    layout->setContentsMargins(0, 0, 0, 0);
    m_settings = new KxCodeSettingWidget(m_root);
    layout->addWidget(m_settings);
    const QString xml = textAttr(QStringLiteral("Xml"));
    IKxSpecialReader *reader = IKxSpecialReader::find(this);
    if (reader && !xml.isEmpty()) {
        // One load per row, so each row owns its page with the reader's values.
        const std::unique_ptr<KxPagesInfo> all = reader->readerPages(xml);
        const int count = all ? all->pages.size() : 0;
        for (int i = 0; i < count; ++i) {
            std::unique_ptr<KxPagesInfo> own = reader->readerPages(xml);
            if (!own || own->pages.size() != count)
                continue;
            KxPageInfo *keep = own->pages.takeAt(i);
            qDeleteAll(own->pages);
            own->pages = {keep};
            m_settings->addRow(new KxCodeItem(std::move(own), xml));
        }
        m_settings->updateSelectAll();
    }
    connect(m_settings, &KxCodeSettingWidget::changed, this, [this]() { notifyValueChanged(true); });
    if (!KxControlBase::createEditor(parent))
        return false;
    setValue(item()->value);
    return true;
}

void Kx1D2DEdit::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (m_settings && v.isValid())
        m_settings->applyJson(v.toString());
}

QVariant Kx1D2DEdit::value() const
{
    if (!m_settings)
        return QVariant();
    const QJsonObject o = m_settings->toJson();
    return o.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}
