#include "AdvancedSettingsWidget.h"

#include "BCodeToolsWidget.h"
#include "DeviceCardWidget.h"
#include "EditDeviceContext.h"
#include "EditIcons.h"
#include "KxControlBase.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"

#include <QButtonGroup>
#include <QDebug>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>

const char *const AdvancedSettingsWidget::NavStyle =
    "ToolButtonEx{border:1px solid #d9d9d9; border-radius:4px; padding:5px; padding-left:24px; "
    "padding-right:24px; font-size:14px; background:#f9f9f9; color:#595959;}"
    "QToolButton::menu-button {border: 0px solid gray;width: 16px; }"
    "ToolButtonEx:hover{background:#0C3484; color:#ffffff;}"
    "ToolButtonEx:checked{background:#0C3484; color:#ffffff;}";

AdvancedSettingsWidget::AdvancedSettingsWidget(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("AdvancedSettingsWidget"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    const QString panelStyle = QStringLiteral(".QWidget{background-color: rgb(240, 240, 240);border-radius:3px;}");

    auto *left = new QWidget(this);
    left->setObjectName(QStringLiteral("widgetLeft"));
    left->setFixedWidth(240);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(12);
    m_card = new DeviceCardWidget(left);
    m_card->setObjectName(QStringLiteral("widgetDeviceCard"));
    leftLayout->addWidget(m_card);
    m_nav = new QWidget(left);
    m_nav->setObjectName(QStringLiteral("navToolbar"));
    m_nav->setStyleSheet(panelStyle + QLatin1String(NavStyle));
    m_navLayout = new QVBoxLayout(m_nav);
    m_navLayout->setContentsMargins(8, 8, 8, 8);
    m_navLayout->setSpacing(6);
    m_navLayout->addStretch(1);
    m_navGroup = new QButtonGroup(this);
    m_navGroup->setExclusive(true);
    leftLayout->addWidget(m_nav, 1);

    auto *right = new QWidget(this);
    right->setObjectName(QStringLiteral("widgetRight"));
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(8);
    m_tools = new BCodeToolsWidget(right);
    rightLayout->addWidget(m_tools);
    m_stack = new QStackedWidget(right);
    m_stack->setObjectName(QStringLiteral("stackPages"));
    m_stack->setStyleSheet(QStringLiteral("#stackPages{background:#ffffff; border-radius:3px;}"));
    auto *empty = new QLabel(kxTr(QStringLiteral("#IDS_NoSettingsPages")), m_stack);
    empty->setAlignment(Qt::AlignCenter);
    m_stack->addWidget(empty);
    rightLayout->addWidget(m_stack, 1);

    layout->addWidget(left);
    layout->addWidget(right, 1);

    connect(m_tools, &BCodeToolsWidget::OnSignalConfigLibStreamMode, this,
            &AdvancedSettingsWidget::OnSignalConfigLibStreamMode);
    connect(m_tools, &BCodeToolsWidget::OnSignalBtnDeviceLogClick, this,
            &AdvancedSettingsWidget::OnSignalBtnDeviceLogClick);
    connect(m_tools, &BCodeToolsWidget::locateRequested, this, &AdvancedSettingsWidget::locate);
    m_tools->setCommandFinder([this](const QString &text) { return findCommand(text); });
}

bool AdvancedSettingsWidget::openDeviceById(const QString &deviceId, const QVariant &param)
{
    return openDevice(KxLoginedDevicesManage::instance()->device(deviceId), param);
}

bool AdvancedSettingsWidget::openDevice(QPointer<KxDeviceConnector> connector, const QVariant &)
{
    if (!connector)
        return false;
    if (connector == m_connector && !m_entries.isEmpty())
        return true;
    m_connector = connector;
    m_card->setDevice(connector->deviceId(), connector->deviceInfo());
    m_tools->setDevice(connector);
    m_modelDir = EditDeviceContext::modelDir(connector);
    buildNavigation();
    return true;
}

void AdvancedSettingsWidget::buildNavigation()
{
    for (QAbstractButton *b : m_navGroup->buttons()) {
        m_navGroup->removeButton(b);
        b->deleteLater();
    }
    for (CommandPropertyWidget *p : qAsConst(m_pages)) {
        m_stack->removeWidget(p);
        p->deleteLater();
    }
    m_pages.clear();
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    QList<KxUiTool> tools = KxDeviceConfigs::instance()->uiLayoutTools(m_modelDir);
    if (tools.isEmpty())
        tools = KxDeviceConfigs::instance()->uiLayoutTools();
    const QString dir = m_modelDir;
    m_entries = EditLogic::navigationEntries(tools, [cmd, dir](const QString &property) {
        return EditDeviceContext::pageFileSupported(cmd, dir, property);
    });
    int pos = 0;
    for (const EditLogic::NavEntry &e : qAsConst(m_entries)) {
        auto *b = new ToolButtonEx(m_nav);
        b->setObjectName(e.id);
        b->setProperty("propertyId", e.property);
        b->setText(kxTr(e.text));
        b->setCheckable(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // Shipped images first, else a drawn glyph: grey, white when checked or hovered.
        b->setIcon(EditIcons::icon(e.icon, 16, QColor(0x59, 0x59, 0x59), Qt::white));
        m_navGroup->addButton(b);
        m_navLayout->insertWidget(pos++, b);
        connect(b, &QToolButton::clicked, this, &AdvancedSettingsWidget::OnBtnToolClicked);
    }
    if (!m_entries.isEmpty()) {
        navButton(m_entries.first().id)->setChecked(true);
        openPage(m_entries.first().property);
    }
}

ToolButtonEx *AdvancedSettingsWidget::navButton(const QString &id) const
{
    for (QAbstractButton *b : m_navGroup->buttons()) {
        if (b->objectName() == id)
            return qobject_cast<ToolButtonEx *>(b);
    }
    return nullptr;
}

void AdvancedSettingsWidget::OnBtnToolClicked()
{
    if (auto *b = qobject_cast<QAbstractButton *>(sender()))
        openPage(b->property("propertyId").toString());
}

CommandPropertyWidget *AdvancedSettingsWidget::openPage(const QString &propertyId)
{
    if (!m_connector || propertyId.isEmpty())
        return nullptr;
    CommandPropertyWidget *page = m_pages.value(propertyId);
    if (!page) {
        auto pages = EditDeviceContext::loadPage(m_modelDir, propertyId);
        if (!pages)
            return nullptr;
        page = new CommandPropertyWidget(m_stack);
        page->setObjectName(QFileInfo(propertyId).completeBaseName());
        page->setDevice(m_connector);
        page->setPages(std::move(pages));
        connect(page, &KxPropertyWidget::valueChanged, this, &AdvancedSettingsWidget::OnPropertyValueChanged);
        m_stack->addWidget(page);
        m_pages.insert(propertyId, page);
    }
    m_stack->setCurrentWidget(page);
    // The navigation shows the page that is open, however it was opened.
    for (QAbstractButton *b : m_navGroup->buttons()) {
        if (b->property("propertyId").toString() == propertyId) {
            b->setChecked(true);
            break;
        }
    }
    return page;
}

CommandPropertyWidget *AdvancedSettingsWidget::currentPage() const
{
    return qobject_cast<CommandPropertyWidget *>(m_stack->currentWidget());
}

QString AdvancedSettingsWidget::currentPropertyId() const
{
    return m_pages.key(currentPage());
}

bool AdvancedSettingsWidget::activate(const QVariant &)
{
    // Values may have moved on other pages (quick settings, imports) meanwhile.
    if (CommandPropertyWidget *p = currentPage())
        p->refreshValues();
    return true;
}

bool AdvancedSettingsWidget::closing(const QVariant &)
{
    return true;
}

QVariant AdvancedSettingsWidget::findCommand(const QString &text) const
{
    const QString needle = text.trimmed();
    if (needle.isEmpty())
        return QVariant();
    // Codes first, then names, page by page in navigation order.
    for (int pass = 0; pass < 2; ++pass) {
        for (const EditLogic::NavEntry &e : m_entries) {
            std::unique_ptr<KxPagesInfo> loaded;
            const KxPagesInfo *pages = nullptr;
            if (CommandPropertyWidget *w = m_pages.value(e.property))
                pages = w->pages();
            if (!pages) {
                loaded = EditDeviceContext::loadPage(m_modelDir, e.property);
                pages = loaded.get();
            }
            if (!pages)
                continue;
            for (const KxPageInfo *p : pages->pages) {
                for (const KxItemInfo *i : p->allItems()) {
                    const bool hit = pass == 0
                        ? i->id.compare(needle, Qt::CaseInsensitive) == 0
                        : kxTr(i->displayName).contains(needle, Qt::CaseInsensitive);
                    if (hit)
                        return QVariantMap{{QStringLiteral("page"), e.property},
                                           {QStringLiteral("pageId"), p->id},
                                           {QStringLiteral("id"), i->id}};
                }
            }
        }
    }
    return QVariant();
}

void AdvancedSettingsWidget::locate(const QVariant &item)
{
    QVariantMap where = item.toMap();
    if (where.isEmpty()) {
        // A page item: find its page file by its id.
        const KxItemInfo *info = item.value<KxItemInfo *>();
        if (!info)
            return;
        where = findCommand(info->id).toMap();
    }
    const QString page = where.value(QStringLiteral("page")).toString();
    for (const EditLogic::NavEntry &e : qAsConst(m_entries)) {
        if (!EditLogic::pageMatches(page, e.property))
            continue;
        if (ToolButtonEx *b = navButton(e.id))
            b->setChecked(true);
        CommandPropertyWidget *w = openPage(e.property);
        if (!w)
            return;
        const QString pageId = where.value(QStringLiteral("pageId")).toString();
        if (!pageId.isEmpty())
            w->setCurrentPage(pageId);
        KxControlBase *c = w->control(where.value(QStringLiteral("id")).toString(), pageId);
        if (c && c->editorWidget()) {
            QWidget *editor = c->editorWidget();
            for (QWidget *p = editor->parentWidget(); p; p = p->parentWidget()) {
                if (auto *area = qobject_cast<QScrollArea *>(p)) {
                    area->ensureWidgetVisible(editor);
                    break;
                }
            }
            editor->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
}

void AdvancedSettingsWidget::OnPropertyValueChanged(const QString &changedId)
{
    if (changedId != QLatin1String("IPPOPM"))
        return;
    if (CommandPropertyWidget *p = currentPage())
        emit OnSignalConfigLibStreamMode(p->controlValue(changedId).toInt() == 1);
}
