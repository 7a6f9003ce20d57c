#include "MainFrameTitle.h"

#include "AboutDlg.h"
#include "CheckUpdateDlg.h"
#include "KxConfig.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxIconHelper.h"
#include "KxSettings.h"
#include "KxUiService.h"
#include "KxUpdater.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace
{

MainFrameTitle::UrlOpener &urlOpener()
{
    static MainFrameTitle::UrlOpener opener;
    return opener;
}

const char *const kTitleStyle =
    "#widgetTitle{background-color:#0c3484;}"
    "#widgetTitle QLabel{color:#ffffff;}"
    "#labTitle{font-size:15px;font-weight:bold;}"
    "#labVersion{color:#c5d0e6;font-size:12px;padding-top:3px;}"
    "#widgetTitle QToolButton{border:none;border-radius:0px;background:transparent;"
    "min-width:44px;max-width:44px;min-height:36px;max-height:36px;}"
    "#widgetTitle QToolButton:hover{background-color:rgba(255,255,255,40);}"
    "#widgetTitle QToolButton:pressed{background-color:rgba(255,255,255,70);}"
    "#btnMenu_Close:hover{background-color:#d9372b;}"
    "#btnMenu_More::menu-indicator{image:none;}";

QToolButton *titleButton(const QString &name, QChar glyph, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setFocusPolicy(Qt::NoFocus);
    b->setProperty("HitTest", true);
    b->setIconSize(QSize(14, 14));
    b->setIcon(KxIconHelper::icon(glyph, 14, Qt::white, Qt::white));
    return b;
}

} // namespace

MainFrameTitle::MainFrameTitle(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("widgetTitle"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedHeight(36);
    setStyleSheet(QString::fromLatin1(kTitleStyle));
    KxIconHelper::loadFonts();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 0, 0);
    layout->setSpacing(8);

    m_labIcon = new QLabel(this);
    m_labIcon->setObjectName(QStringLiteral("labIcon"));
    m_labIcon->setPixmap(QIcon(QStringLiteral(":/res/icon/logo.ico")).pixmap(20, 20));
    layout->addWidget(m_labIcon);

    m_labTitle = new QLabel(KxConfig::applicationName(), this);
    m_labTitle->setObjectName(QStringLiteral("labTitle"));
    layout->addWidget(m_labTitle);

    m_labVersion = new QLabel(KxConfig::versionString(), this);
    m_labVersion->setObjectName(QStringLiteral("labVersion"));
    layout->addWidget(m_labVersion, 0, Qt::AlignVCenter);
    layout->addSpacing(2);
    layout->addStretch(1);

    auto *menuBox = new QWidget(this);
    menuBox->setObjectName(QStringLiteral("widgetMenu"));
    auto *menuLayout = new QHBoxLayout(menuBox);
    menuLayout->setContentsMargins(0, 0, 0, 0);
    menuLayout->setSpacing(0);

    // Shown only when the update check reports a newer version.
    m_btnUpdate = new QToolButton(menuBox);
    m_btnUpdate->setObjectName(QStringLiteral("btnUpdate"));
    m_btnUpdate->setProperty("HitTest", true);
    m_btnUpdate->setIcon(QIcon(QStringLiteral(":/res/images/upgrade.svg")));
    m_btnUpdate->setIconSize(QSize(18, 18));
    m_btnUpdate->setToolTip(kxTr(QStringLiteral("#IDS_AppUpgradeTips")));
    m_btnUpdate->setVisible(false);
    connect(m_btnUpdate, &QToolButton::clicked, this, &MainFrameTitle::showCheckUpdateDlg);
    menuLayout->addWidget(m_btnUpdate);
    m_updateTimer = new QTimer(this);
    m_updateTimer->setInterval(60000);
    connect(m_updateTimer, &QTimer::timeout, this, &MainFrameTitle::runUpdateCheck);
    m_updateTimer->start();

    m_btnMore = titleButton(QStringLiteral("btnMenu_More"), QChar(0xf0c9), menuBox);
    m_btnMore->setPopupMode(QToolButton::InstantPopup);
    menuLayout->addWidget(m_btnMore);
    menuLayout->addWidget(titleButton(QStringLiteral("btnMenu_Min"), QChar(0xf068), menuBox));
    menuLayout->addWidget(titleButton(QStringLiteral("btnMenu_Max"), QChar(0xf2d0), menuBox));
    menuLayout->addWidget(titleButton(QStringLiteral("btnMenu_Close"), QChar(0xf00d), menuBox));
    layout->addWidget(menuBox);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mainMenu"));
    buildMenu();
    m_btnMore->setMenu(m_menu);

    m_restarter = [] {
        const QString program = QCoreApplication::applicationFilePath();
        QStringList args = QCoreApplication::arguments();
        if (!args.isEmpty())
            args.removeFirst();
        if (!QProcess::startDetached(program, args))
            qWarning() << "MainFrameTitle::restart...could not start" << program;
        QCoreApplication::quit();
    };
}

QAction *MainFrameTitle::action(const QString &objectName) const
{
    for (QAction *a : m_menu->findChildren<QAction *>()) {
        if (a->objectName() == objectName)
            return a;
    }
    return nullptr;
}

QList<QAction *> MainFrameTitle::languageActions() const
{
    return m_languageMenu ? m_languageMenu->actions() : QList<QAction *>();
}

void MainFrameTitle::buildMenu()
{
    m_menu->setStyleSheet(QStringLiteral("QMenu{font-size:14px;}"));
    m_languageMenu = new QMenu(kxTr(QStringLiteral("#IDS_Language")), m_menu);
    m_languageMenu->setObjectName(QStringLiteral("Language"));
    m_languageMenu->menuAction()->setObjectName(QStringLiteral("Language"));
    const QString current = KxSettings::instance()->language();
    for (const auto &lang : KxConfig::instance()->languages()) {
        QAction *a = m_languageMenu->addAction(lang.second);
        a->setObjectName(lang.first);
        a->setProperty("Langs", 1);
        a->setCheckable(true);
        a->setChecked(lang.first == current);
        connect(a, &QAction::triggered, this, &MainFrameTitle::OnMenuActionTriggered);
    }
    m_menu->addMenu(m_languageMenu);

    auto add = [this](const QString &key, const QString &name) {
        QAction *a = m_menu->addAction(kxTr(key));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, &MainFrameTitle::OnMenuActionTriggered);
        return a;
    };
    add(QStringLiteral("#IDS_CheckUpgrade"), QStringLiteral("Updater"));
    add(QStringLiteral("#IDS_DownloadCenter"), QStringLiteral("Download"));
    if (KxSettings::instance()->value(QStringLiteral("DEBUG"), QStringLiteral("openlogdir"))
            .toString()
        == QLatin1String("1"))
        add(QStringLiteral("#IDS_LogDirectory"), QStringLiteral("OpenLogDir"));
    add(QStringLiteral("#IDS_UserManual"), QStringLiteral("Manual"));
    m_menu->addSeparator();
    add(QStringLiteral("#IDS_About"), QStringLiteral("About"));
}

void MainFrameTitle::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

bool MainFrameTitle::openUrl(const QUrl &url)
{
    qDebug() << "MainFrameTitle::openUrl..." << url;
    if (urlOpener())
        return urlOpener()(url);
    return QDesktopServices::openUrl(url);
}

QString MainFrameTitle::docFile(const QString &fileKey)
{
    return QStringLiteral("%1/doc/%2").arg(KxConfig::instance()->resourcesDir(), kxTr(fileKey));
}

void MainFrameTitle::OnMenuActionTriggered()
{
    auto *a = qobject_cast<QAction *>(sender());
    if (!a)
        return;
    const QString name = a->objectName();
    qDebug() << "MainFrameTitle::OnMenuActionTriggered()..." << name;
    if (a->property("Langs").toInt() == 1)
        changeLanguage(a);
    else if (name == QLatin1String("Updater")) {
        m_updateTimer->stop();
        showCheckUpdateDlg();
    }
    else if (name == QLatin1String("Download"))
        openUrl(QUrl(kxTr(QStringLiteral("#IDS_DownloadCenter_URL"))));
    else if (name == QLatin1String("OpenLogDir"))
        openLogDir();
    else if (name == QLatin1String("Manual"))
        openManual();
    else if (name == QLatin1String("About")) {
        AboutDlg dlg(window());
        dlg.exec();
    }
}

void MainFrameTitle::runUpdateCheck()
{
    // A fresh updater per tick; it goes away when it has answered.
    auto *updater = new KxUpdater(this);
    connect(updater, &KxUpdater::checkForUpdateResult, this, [this, updater](int result) {
        if (result == KxUpdater::Success) {
            m_btnUpdate->setProperty("enable", true);
            m_btnUpdate->setVisible(true);
        }
        updater->deleteLater();
    });
    updater->checkForUpdate();
}

void MainFrameTitle::showCheckUpdateDlg()
{
    if (m_busyProbe && m_busyProbe()) {
        KxUi()->toast(QStringLiteral("#IDS_RUNNING_Tips"), 3000, window());
        return;
    }
    m_btnUpdate->setVisible(false); // the reminder has been seen
    CheckUpdateDlg dlg(window());
    dlg.start();
    KxDialogRunner::run(&dlg);
}

void MainFrameTitle::restoreLanguageChecks()
{
    const QString current = KxSettings::instance()->language();
    for (QAction *a : languageActions())
        a->setChecked(a->objectName() == current);
}

void MainFrameTitle::changeLanguage(QAction *action)
{
    const QString lang = action->objectName();
    if (lang == KxSettings::instance()->language()) {
        restoreLanguageChecks();
        return;
    }
    if (m_busyProbe && m_busyProbe()) {
        KxUi()->toast(QStringLiteral("#IDS_RUNNING_Tips"), 3000, window());
        restoreLanguageChecks();
        return;
    }
    const KxMessageResult answer =
        KxUi()->question(QStringLiteral("#IDS_ChangeLanguage_Tips"),
                         QStringLiteral("#IDS_ChangeLanguage"), QStringLiteral("#IDS_OK|Cancel"),
                         window(), 350);
    if (!answer.isAccepted()) {
        restoreLanguageChecks();
        return;
    }
    qInfo() << "MainFrameTitle::changeLanguage()...restart with" << lang;
    KxSettings::instance()->setLanguage(lang);
    emit languageChanged(lang);
    if (m_restarter)
        m_restarter();
}

void MainFrameTitle::openLogDir()
{
    const QString dir = KxConfig::instance()->dataDir() + QStringLiteral("/log");
    if (!QFileInfo(dir).isDir()) {
        KxUi()->toast(QStringLiteral("#IDS_FileNotExist_Tips"), 3000, window());
        return;
    }
    openUrl(QUrl::fromLocalFile(dir));
}

void MainFrameTitle::openManual()
{
    const QString file = docFile(QStringLiteral("#IDS_UserManual_File"));
    if (!QFileInfo::exists(file)) {
        qWarning() << "MainFrameTitle::openManual()...missing" << file;
        KxUi()->toast(QStringLiteral("#IDS_FileNotExist_Tips"), 3000, window());
        return;
    }
    openUrl(QUrl::fromLocalFile(file));
}
