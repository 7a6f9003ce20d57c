#include "BCodePropertyWidget.h"

#include "EditDeviceContext.h"
#include "EditLogic.h"
#include "Kx1D2DEdit.h"
#include "KxCmdFraming.h"
#include "KxControlBase.h"
#include "KxControlEvents.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>

namespace {
// The symbology list: its value is JSON of many reader settings, not a setting of its own.
bool isSymbologyList(const KxItemInfo *item)
{
    return item && item->returnType == QLatin1String("1D2DJSON");
}

// The setting of a symbology row, for its name and send mode.
const KxItemInfo *symbologyItem(KxControlBase *c, const QString &id)
{
    auto *list = qobject_cast<Kx1D2DEdit *>(c);
    if (!list || !list->settings())
        return nullptr;
    for (KxCodeItem *row : list->settings()->rows()) {
        if (KxItemInfo *item = row->pages() ? row->pages()->findItem(id) : nullptr)
            return item;
    }
    return nullptr;
}

// {page: {group: [{"Id", "Param"}]}} flattened to id -> value.
QList<QPair<QString, QString>> symbologyValues(const QString &json)
{
    QList<QPair<QString, QString>> out;
    const QJsonObject pages = QJsonDocument::fromJson(json.toUtf8()).object();
    for (const QJsonValue &page : pages) {
        const QJsonObject groups = page.toObject();
        for (const QJsonValue &group : groups) {
            for (const QJsonValue &v : group.toArray()) {
                const QJsonObject o = v.toObject();
                const QString id = o.value(QStringLiteral("Id")).toString();
                if (!id.isEmpty())
                    out.append({id, o.value(QStringLiteral("Param")).toString()});
            }
        }
    }
    return out;
}
}  // namespace

BCodePropertyWidget::BCodePropertyWidget(QWidget *parent) : KxPropertyWidget(parent)
{
    setShowChanged(true);
    connect(this, &KxPropertyWidget::valueChanged, this, &BCodePropertyWidget::onValueChanged);
}

BCodePropertyWidget::~BCodePropertyWidget()
{
    // The controls point into the pages: let go of them before the pages are freed.
    setProperty(static_cast<KxPagesInfo *>(nullptr));
}

KxDeviceCommand *BCodePropertyWidget::command() const
{
    return m_command.data();
}

void BCodePropertyWidget::setDevice(QPointer<KxDeviceConnector> connector)
{
    m_connector = connector;
    m_command = connector ? connector->command() : nullptr;
    connectCommand();
}

void BCodePropertyWidget::connectCommand()
{
    for (const auto &c : qAsConst(m_links))
        disconnect(c);
    m_links.clear();
    if (!m_command)
        return;
    m_links << connect(m_command, &KxDeviceCommand::cmdChanged, this,
                       [this](const QStringList &cmds, bool) { onCmdChanged(cmds); });
    m_links << connect(m_command, &KxDeviceCommand::cmdValueChanged, this,
                       [this](const QMap<QString, QByteArray> &m, bool) { onCmdValueChanged(m); });
    // An import that restarts the reader or changes its link: read every value again.
    m_links << connect(m_command, &KxDeviceCommand::cmdValueChanged_ImportReboot, this,
                       [this] { refreshValues(); });
}

void BCodePropertyWidget::setPages(std::unique_ptr<KxPagesInfo> pages)
{
    setProperty(static_cast<KxPagesInfo *>(nullptr));
    m_ownedPages = std::move(pages);
    fillStoredValues();
    setProperty(m_ownedPages.get());
}

void BCodePropertyWidget::fillStoredValues()
{
    if (!m_ownedPages || !m_command)
        return;
    for (KxPageInfo *p : m_ownedPages->pages) {
        for (KxItemInfo *item : p->allItems()) {
            if (isStorable(item) && m_command->hasCmd(item->id))
                item->value = runningValue(item->id);
        }
    }
}

QString BCodePropertyWidget::runningValue(const QString &code) const
{
    return m_command ? m_command->valueText(code) : QString();
}

bool BCodePropertyWidget::isItemVisible(const KxItemInfo *item) const
{
    if (item && m_command && isStorable(item) && !isSymbologyList(item) && !m_command->hasCmd(item->id))
        return false;
    return KxPropertyWidget::isItemVisible(item);
}

void BCodePropertyWidget::notifyPageCreated(const QString &pageId)
{
    // A rebuilt page shows what the reader runs, not a stale edit.
    for (KxControlBase *c : controls(pageId)) {
        KxItemInfo *item = c->item();
        // A symbology list shows the reader's values as built: nothing of it is an edit to keep.
        if (isSymbologyList(item)) {
            c->acceptValue();
            continue;
        }
        if (!item || !isStorable(item) || !m_command || !m_command->hasCmd(item->id))
            continue;
        if (c->value().toString() != item->value.toString()) {
            const bool was = c->isSilent();
            c->setSilent(true);
            c->setValue(item->value);
            c->setSilent(was);
        }
    }
    KxPropertyWidget::notifyPageCreated(pageId);
}

const KxItemInfo *BCodePropertyWidget::itemOf(const QString &code) const
{
    if (KxControlBase *c = control(code))
        return c->item();
    return m_ownedPages ? m_ownedPages->findItem(code) : nullptr;
}

void BCodePropertyWidget::onValueChanged(const QString &changedId)
{
    if (m_refreshing || !m_command)
        return;
    KxControlBase *c = control(changedId);
    if (!c || !c->item())
        return;
    const KxItemInfo *item = c->item();
    if (isSymbologyList(item)) {
        sendSymbologyChanges(c);
        return;
    }
    const QByteArray value = c->value().toString().toUtf8();
    if (!isStorable(item)) {
        // Actions and live switches: sent, never kept as a change to save.
        sendAction(changedId, value, false);
        c->acceptValue();
        return;
    }
    // A control may report one edit twice; the value already on its way is not sent again.
    if (m_pending.contains(changedId) ? m_pending.value(changedId) == value
                                      : value == runningValue(changedId).toUtf8())
        return;
    if (EditLogic::needsRebootWarning(item)) {
        const QString key = m_command->rebootWarning(changedId);
        if (!key.isEmpty() && !KxUi()->question(key, QStringLiteral("#IDS_Tips"),
                                                QStringLiteral("#IDS_OK|Cancel"), this).isAccepted()) {
            revertControls(changedId);
            return;
        }
    }
    if (EditLogic::clearsDataFormats(changedId, value, m_command->value(QStringLiteral("DFMADD")))
        && !KxUi()->question(QStringLiteral("#IDS_DataFormat_Cleaning"), QStringLiteral("#IDS_Tips"),
                             QStringLiteral("#IDS_OK|Cancel"), this).isAccepted()) {
        revertControls(changedId);
        return;
    }
    sendChange(changedId, c->titleText(), value, c->displayValue(), item);
}

void BCodePropertyWidget::sendSymbologyChanges(KxControlBase *c)
{
    for (const auto &p : symbologyValues(c->value().toString())) {
        if (!m_command->hasCmd(p.first))
            continue;
        const QByteArray value = p.second.toUtf8();
        if (m_pending.contains(p.first) ? m_pending.value(p.first) == value
                                        : value == runningValue(p.first).toUtf8())
            continue;
        const KxItemInfo *item = symbologyItem(c, p.first);
        sendChange(p.first, item ? kxTr(item->displayName) : p.first, value, p.second, item);
    }
    // The list itself holds nothing to save; its rows follow the reader's answers.
    c->acceptValue();
}

void BCodePropertyWidget::refreshSymbologies(const QSet<QString> &codes)
{
    for (const QString &page : pageIds()) {
        for (KxControlBase *c : controls(page)) {
            if (!isSymbologyList(c->item()))
                continue;
            QJsonObject pages = QJsonDocument::fromJson(c->value().toString().toUtf8()).object();
            bool moved = false;
            for (auto pg = pages.begin(); pg != pages.end(); ++pg) {
                QJsonObject groups = pg.value().toObject();
                for (auto g = groups.begin(); g != groups.end(); ++g) {
                    QJsonArray items = g.value().toArray();
                    for (int i = 0; i < items.size(); ++i) {
                        QJsonObject o = items.at(i).toObject();
                        const QString id = o.value(QStringLiteral("Id")).toString();
                        if ((!codes.isEmpty() && !codes.contains(id)) || !m_command->hasCmd(id)
                            || m_pending.contains(id))
                            continue;
                        const QString v = runningValue(id);
                        if (o.value(QStringLiteral("Param")).toString() == v)
                            continue;
                        o.insert(QStringLiteral("Param"), v);
                        items.replace(i, o);
                        moved = true;
                    }
                    g.value() = items;
                }
                pg.value() = groups;
            }
            if (!moved)
                continue;
            const bool was = c->isSilent();
            c->setSilent(true);
            c->setValue(QString::fromUtf8(QJsonDocument(pages).toJson(QJsonDocument::Compact)));
            c->acceptValue();
            c->setSilent(was);
        }
    }
}

std::unique_ptr<KxPagesInfo> BCodePropertyWidget::readerPages(const QString &xml)
{
    if (!m_command)
        return nullptr;
    const QString dir = EditDeviceContext::modelDir(m_connector);
    std::unique_ptr<KxPagesInfo> pages = dir.isEmpty() ? nullptr : EditDeviceContext::loadPage(dir, xml);
    if (!pages)
        return nullptr;
    for (int i = pages->pages.size() - 1; i >= 0; --i) {
        KxPageInfo *p = pages->pages.at(i);
        bool known = false;
        for (KxItemInfo *item : p->allItems()) {
            if (!isStorable(item) || !m_command->hasCmd(item->id))
                continue;
            known = true;
            item->value = runningValue(item->id);
        }
        // A symbology the reader does not have gets no row.
        if (!known)
            delete pages->pages.takeAt(i);
    }
    return pages;
}

void BCodePropertyWidget::queryFirst(const QStringList &codes, QObject *context, const Answer &done)
{
    QPointer<QObject> ctx(context);
    if (!m_command) {
        QMetaObject::invokeMethod(this, [ctx, done] {
            if (ctx && done)
                done(QString(), QByteArray(), QStringLiteral("no reader"));
        }, Qt::QueuedConnection);
        return;
    }
    m_command->asyncProcess(
        [codes](KxDeviceCommandPtr cmd) {
            QMap<QString, QByteArray> r;
            for (const QString &code : codes) {
                QByteArray value;
                int error = 0;
                if (!cmd || cmd->query(DataProtocol_Settings, QLatin1Char('@') + code + QLatin1Char('*'), value, {}, &error)
                                != DataResult_Ack) {
                    r.insert(QStringLiteral("error"), QStringLiteral("%1 not answered (%2)").arg(code).arg(error).toUtf8());
                    return r;
                }
                if (!value.isEmpty()) {
                    r.insert(QStringLiteral("code"), code.toUtf8());
                    r.insert(QStringLiteral("value"), value);
                    break;
                }
            }
            return r;
        },
        [ctx, done](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            if (!ctx || !done)
                return;
            done(QString::fromUtf8(r.value(QStringLiteral("code"))), r.value(QStringLiteral("value")),
                 QString::fromUtf8(r.value(QStringLiteral("error"))));
        });
}

void BCodePropertyWidget::sendChange(const QString &code, const QString &name, const QByteArray &value,
                                     const QVariant &display, const KxItemInfo *item)
{
    ChangedCmdInfo info;
    info.code = code;
    info.name = name;
    info.value = value;
    info.displayValue = display;
    const EditLogic::SendMode mode = EditLogic::sendModeFor(item);
    qInfo().noquote() << "BCodePropertyWidget::sendChange()..." << code << value;
    m_pending.insert(code, value);
    QPointer<BCodePropertyWidget> self(this);
    m_command->sendCmdAsync(info, this, mode != EditLogic::SendMode::NoMerge,
                            [self, code](bool ok, const QStringList &failed) {
                                if (!self)
                                    return;
                                self->m_pending.remove(code);
                                if (ok) {
                                    self->acceptControls(code);
                                } else {
                                    self->revertControls(code);
                                    KxUi()->toast(KxCmdFraming::failureMessage(
                                                      failed.isEmpty() ? QStringList{code} : failed, false),
                                                  3000, self, KxMsgType::Error);
                                }
                                emit self->changeSent(code, ok);
                            },
                            mode == EditLogic::SendMode::ResyncAll);
}

void BCodePropertyWidget::sendAction(const QString &code, const QByteArray &value, bool resync)
{
    if (!m_connector)
        return;
    QPointer<BCodePropertyWidget> self(this);
    const bool framed = m_connector->sendAsync(
        this, QLatin1Char('#') + code, DataProtocol_Settings, value,
        [self, code, resync](int error, const QByteArray &reply) {
            if (!self)
                return;
            const bool ok = error == 0 && KxCheckDataStreamCmd(reply, code);
            if (!ok)
                KxUi()->toast(KxCmdFraming::failureMessage({code}, false), 3000, self, KxMsgType::Error);
            else if (resync)
                self->resyncAll();
            emit self->changeSent(code, ok);
        });
    if (!framed) {
        KxUi()->toast(KxCmdFraming::failureMessage({code}, false), 3000, this, KxMsgType::Error);
        emit changeSent(code, false);
    }
}

void BCodePropertyWidget::handleCustomChanged(KxCustomChangedEvent *event)
{
    KxPropertyWidget::handleCustomChanged(event);
    KxControlBase *c = event->control();
    if (!c || !m_command)
        return;
    const QString code = c->itemId();
    const QVariantMap params = event->params().toMap();
    if (event->type() == QLatin1String("ButtonClicked")) {
        // A button runs its command; the reader's values are read again unless it says not to.
        const bool resync = params.value(QStringLiteral("sync")).toString() != QLatin1String("0");
        sendAction(code, params.value(QStringLiteral("id")).toString().toUtf8(), resync);
    } else if (event->type() == QLatin1String("sync")) {
        // A control that changed several settings at once: its own value (when it names one)
        // is a change like any other, then every value is read again.
        if (params.contains(QStringLiteral("value"))) {
            const QByteArray v = params.value(QStringLiteral("value")).toString().toUtf8();
            sendChange(code, c->titleText(), v, params.value(QStringLiteral("value")), c->item());
        }
        resyncAll();
    }
}

void BCodePropertyWidget::resyncAll()
{
    if (!m_command)
        return;
    QPointer<BCodePropertyWidget> self(this);
    m_command->asyncProcess(
        [](KxDeviceCommandPtr cmd) {
            QMap<QString, QByteArray> r;
            r.insert(QStringLiteral("ok"), cmd && cmd->syncSettings(false) ? "1" : "0");
            return r;
        },
        [self](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
            if (self && r.value(QStringLiteral("ok")) == "1")
                self->refreshValues();
        });
}

void BCodePropertyWidget::acceptControls(const QString &code)
{
    for (const QString &page : pageIds()) {
        for (KxControlBase *c : controls(page)) {
            if (c->itemId() == code)
                c->acceptValue();
        }
    }
    refreshValues({code});
}

void BCodePropertyWidget::revertControls(const QString &code)
{
    refreshValues({code});
}

void BCodePropertyWidget::onCmdChanged(const QStringList &cmds)
{
    QStringList codes;
    for (const QString &c : cmds)
        codes << c.left(6);
    // An empty list means everything was read again.
    refreshValues(codes);
}

void BCodePropertyWidget::onCmdValueChanged(const QMap<QString, QByteArray> &changed)
{
    if (!changed.isEmpty())
        refreshValues(changed.keys());
}

void BCodePropertyWidget::refreshValues(const QStringList &codes)
{
    if (!m_ownedPages || !m_command)
        return;
    const QSet<QString> wanted(codes.begin(), codes.end());
    QSet<QString> moved;
    m_refreshing = true;
    refreshSymbologies(wanted);
    for (KxPageInfo *p : m_ownedPages->pages) {
        for (KxItemInfo *item : p->allItems()) {
            if ((!wanted.isEmpty() && !wanted.contains(item->id)) || !isStorable(item)
                || !m_command->hasCmd(item->id))
                continue;
            const QString v = runningValue(item->id);
            if (item->value.toString() != v) {
                item->value = v;
                moved.insert(item->id);
            }
        }
    }
    for (const QString &page : pageIds()) {
        for (KxControlBase *c : controls(page)) {
            KxItemInfo *item = c->item();
            if (!item || (!wanted.isEmpty() && !wanted.contains(item->id)) || !isStorable(item)
                || !m_command->hasCmd(item->id) || m_pending.contains(item->id))
                continue;
            if (c->value().toString() != item->value.toString()) {
                const bool was = c->isSilent();
                c->setSilent(true);
                c->setValue(item->value);
                c->setSilent(was);
                moved.insert(item->id);
            }
            c->updateTitle(c->value());
        }
    }
    m_refreshing = false;
    // Values that other items depend on may show or hide parts of the current page.
    const QString current = currentPageId();
    if (!moved.isEmpty() && !current.isEmpty()) {
        if (KxPageInfo *page = m_ownedPages->findPage(current)) {
            bool linked = false;
            for (const KxGroupInfo *g : page->groups) {
                for (const QString &id : moved)
                    linked = linked || g->triggers.linkSet.contains(id);
                for (const KxItemInfo *i : g->items) {
                    for (const QString &id : moved)
                        linked = linked || i->triggers.linkSet.contains(id);
                }
            }
            if (linked)
                rebuildPage(current);
        }
    }
}

KxDeviceConnector *BCodePropertyWidget::device() const
{
    return m_connector.data();
}
