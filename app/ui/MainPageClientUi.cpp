// Building the main page's widgets: tool bars, the tips page and the details page.
#include "DeviceInfoWidget.h"
#include "DeviceListWidget.h"
#include "KxI18nUtil.h"
#include "KxIconHelper.h"
#include "KxKitTypes.h"
#include "KxStyledButtons.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "NetGroupEditWidget.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace
{

const char *const kPageStyle =
    "#MainPageClient{background-color:#eef1f6;}"
    "#widgetToolbar,#widgetGroupEditBar{background-color:#ffffff;"
    "border-bottom:1px solid #dbdbdb;}"
    "#widgetToolbar QToolButton{color:#3a4350;font-size:13px;padding:4px 10px;"
    "border:none;border-radius:6px;min-width:72px;}"
    "#widgetToolbar QToolButton:hover{background-color:#eef2fa;color:#0c3484;}"
    "#widgetToolbar QToolButton:checked{background-color:#e3e9f6;color:#0c3484;}"
    "#widgetToolbar QToolButton::menu-indicator{image:none;}"
    "#stackedWidgetInfo{background-color:#ffffff;border:1px solid #dbdbdb;border-radius:6px;}"
    "#labTips{color:#7a8494;font-size:14px;}"
    "#labInfoTitle{color:#1f2733;font-size:15px;font-weight:bold;}";

// The device buttons carry their own sheet: the styled tool button sets one of its own.
const char *const kDeviceButtonStyle =
    "QToolButton{background-color:#f9f9f9;border:1px solid #dbdbdb;border-radius:6px;"
    "color:#1f2733;font-size:13px;padding:8px 6px;min-width:112px;min-height:60px;}"
    "QToolButton:hover{border-color:#0c3484;color:#0c3484;background-color:#f3f6fc;}"
    "QToolButton:pressed{background-color:#e3e9f6;}";

const QColor kIconColor(0x5a, 0x63, 0x72);
const QColor kAccent(0x0c, 0x34, 0x84);

} // namespace

KxToolButton *MainPageClient::addToolButton(QWidget *bar, const QString &name,
                                            const QString &textKey, QChar glyph)
{
    auto *b = new KxToolButton(textKey, QIcon(), bar);
    b->setObjectName(name);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIconSize(QSize(24, 24));
    b->setIcons(KxIconHelper::icon(glyph, 24, kIconColor, kAccent),
                KxIconHelper::icon(glyph, 24, kAccent, kAccent));
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QToolButton::clicked, this, &MainPageClient::OnToolBarBtnClicked);
    m_buttons.insert(name, b);
    return b;
}

QWidget *MainPageClient::buildToolBar()
{
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("widgetToolbar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(24, 4, 24, 4);
    layout->setSpacing(12);

    KxToolButton *home = addToolButton(bar, QStringLiteral("Id_Btn_MainPage"),
                                       QStringLiteral("#IDS_MainPage"), QChar(0xf015));
    home->setCheckable(true);
    home->setChecked(true);
    layout->addWidget(home);

    KxToolButton *settings = addToolButton(bar, QStringLiteral("Id_Btn_Settings"),
                                           QStringLiteral("#IDS_Settings"), QChar(0xf013));
    auto *settingsMenu = new QMenu(settings);
    settingsMenu->setStyleSheet(QStringLiteral("QMenu{font-size:14px;}"));
    QAction *local = settingsMenu->addAction(kxTr(QStringLiteral("#IDS_Local_Settings")));
    local->setObjectName(QStringLiteral("menu_local_setting"));
    connect(local, &QAction::triggered, this, &MainPageClient::OnMenuActionTriggered_LocalSetting);
    QAction *ftp = settingsMenu->addAction(kxTr(QStringLiteral("#IDS_FTP_Settings")));
    ftp->setObjectName(QStringLiteral("menu_ftp"));
    connect(ftp, &QAction::triggered, this, &MainPageClient::OnMenuActionTriggered_Ftp);
    settings->setMenu(settingsMenu);
    settings->setPopupMode(QToolButton::InstantPopup);
    layout->addWidget(settings);

    KxToolButton *tools = addToolButton(bar, QStringLiteral("Id_Btn_Tools"),
                                        QStringLiteral("#IDS_Tools"), QChar(0xf0ad));
    auto *toolsMenu = new QMenu(tools);
    toolsMenu->setStyleSheet(QStringLiteral("QMenu{font-size:14px;}"));
    QAction *quick = toolsMenu->addAction(kxTr(QStringLiteral("#ID_TOOL_QUICK1")));
    quick->setObjectName(QStringLiteral("menu_pActQuickSelectiontool"));
    connect(quick, &QAction::triggered, this,
            &MainPageClient::OnMenuActionTriggered_QuickSelectiontool);
    QAction *log = toolsMenu->addAction(kxTr(QStringLiteral("#IDS_Log_Update")));
    log->setObjectName(QStringLiteral("menu_log_update"));
    connect(log, &QAction::triggered, this, &MainPageClient::OnMenuActionTriggered_LogUpdate);
    QAction *cmd = toolsMenu->addAction(kxTr(QStringLiteral("#IDS_CmdInteraction")));
    cmd->setObjectName(QStringLiteral("menu_cmd"));
    connect(cmd, &QAction::triggered, this, &MainPageClient::OnMenuActionTriggered_Cmd);
    tools->setMenu(toolsMenu);
    tools->setPopupMode(QToolButton::InstantPopup);
    layout->addWidget(tools);

    layout->addWidget(addToolButton(bar, QStringLiteral("Id_Btn_Statistics"),
                                    QStringLiteral("#ID_STATISTICS"), QChar(0xf080)));
    layout->addWidget(addToolButton(bar, QStringLiteral("Id_Btn_BatchSetting"),
                                    QStringLiteral("#IDS_BatchSetting"), QChar(0xf0ae)));
    layout->addWidget(addToolButton(bar, QStringLiteral("Id_Btn_SETUP"),
                                    QStringLiteral("#IDS_SETUPSetting"), QChar(0xf029)));
    layout->addStretch(1);
    return bar;
}

QWidget *MainPageClient::buildGroupEditBar()
{
    // Shown while network groups are edited: the main tool bar's actions are out of reach.
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("widgetGroupEditBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(24, 4, 24, 4);
    auto *label = new QLabel(kxTr(QStringLiteral("#IDS_EditDeviceGroup")), bar);
    label->setObjectName(QStringLiteral("labGroupEditing"));
    label->setStyleSheet(QStringLiteral("font-size:15px;font-weight:bold;color:#0c3484;"));
    layout->addWidget(label);
    layout->addStretch(1);
    auto *back = new KxPushButton(QStringLiteral("#IDS_EditDeviceGroupReturn"),
                                  KxPushButton::Normal, bar);
    back->setObjectName(QStringLiteral("btnGroupEditReturn"));
    connect(back, &QPushButton::clicked, this, &MainPageClient::finishEditNetGroupSlot);
    layout->addWidget(back);
    return bar;
}

QWidget *MainPageClient::buildTipsPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("pageTips"));
    auto *layout = new QVBoxLayout(page);
    layout->addStretch(2);
    auto *pic = new QLabel(page);
    pic->setObjectName(QStringLiteral("labTipsPicture"));
    // Short screens get the small picture so the tips stay clear of the buttons' row.
    const bool shortScreen = MainFrame::availableGeometry().height() < 800;
    pic->setPixmap(QPixmap(shortScreen ? QStringLiteral(":/res/icon/select_device_small.png")
                                       : QStringLiteral(":/res/icon/select_device.png")));
    pic->setAlignment(Qt::AlignCenter);
    layout->addWidget(pic);
    auto *text = new QLabel(kxTr(QStringLiteral("#IDS_SelectDeviceTips")), page);
    text->setObjectName(QStringLiteral("labTips"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addStretch(3);
    return page;
}

QWidget *MainPageClient::buildInfoPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("pageInfo"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(12);
    auto *title = new QLabel(kxTr(QStringLiteral("#IDS_DeviceInfos")), page);
    title->setObjectName(QStringLiteral("labInfoTitle"));
    layout->addWidget(title);

    m_infoWidget = new DeviceInfoWidget(page);
    layout->addWidget(m_infoWidget, 1);

    auto *buttons = new QWidget(page);
    buttons->setObjectName(QStringLiteral("widgetDeviceButtons"));
    auto *row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    const struct {
        const char *name;
        const char *key;
        ushort glyph;
    } defs[] = {
        {"Id_Btn_VisionSettings", "#IDS_VisionSettings", 0xf06e},
        {"Id_Btn_QuickSettings", "#IDS_QuickSettings", 0xf0e7},
        {"Id_Btn_AdvancedSettings", "#IDS_AdvancedSettings", 0xf1de},
        {"Id_Btn_NetworkSettings", "#IDS_NetworkSettings", 0xf0e8},
        {"Id_Btn_NetworkGroupEdit", "#IDS_NetworkGroupEdit", 0xf247},
        {"Id_Btn_FirmwareUpgrade", "#IDS_FirmwareUpgrade", 0xf01b},
    };
    for (const auto &d : defs) {
        KxToolButton *b = addToolButton(buttons, QString::fromLatin1(d.name),
                                        QString::fromLatin1(d.key), QChar(d.glyph));
        b->setIcons(KxIconHelper::icon(QChar(d.glyph), 24, kAccent, kAccent), QIcon());
        b->setStyleSheet(QString::fromLatin1(kDeviceButtonStyle));
        row->addWidget(b);
    }
    row->addStretch(1);
    m_infoWidget->setActionsWidget(buttons);
    return page;
}

void MainPageClient::buildUi()
{
    setObjectName(QStringLiteral("MainPageClient"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromLatin1(kPageStyle));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_stackToolbar = new QStackedWidget(this);
    m_stackToolbar->setObjectName(QStringLiteral("stackToolbar"));
    m_stackToolbar->addWidget(buildToolBar());
    m_stackToolbar->addWidget(buildGroupEditBar());
    m_stackToolbar->setFixedHeight(72);
    layout->addWidget(m_stackToolbar);

    auto *body = new QWidget(this);
    auto *bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(16, 16, 16, 16);
    bodyLayout->setSpacing(16);
    m_deviceList = new DeviceListWidget(body);
    m_deviceList->setFixedWidth(360);
    bodyLayout->addWidget(m_deviceList);

    m_stackInfo = new QStackedWidget(body);
    m_stackInfo->setObjectName(QStringLiteral("stackedWidgetInfo"));
    m_stackInfo->setAttribute(Qt::WA_StyledBackground);
    m_pageTips = buildTipsPage();
    m_pageInfo = buildInfoPage();
    m_stackInfo->addWidget(m_pageTips);
    m_stackInfo->addWidget(m_pageInfo);
    m_groupEditor = new NetGroupEditWidget(m_stackInfo);
    m_groupEditor->setObjectName(QStringLiteral("groupEditWidget"));
    m_stackInfo->addWidget(m_groupEditor);
    m_stackInfo->setCurrentWidget(m_pageTips);
    bodyLayout->addWidget(m_stackInfo, 1);
    layout->addWidget(body, 1);
}
