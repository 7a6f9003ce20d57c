#include "MainFrame.h"

#include "DeviceEditClient.h"
#include "FtpServerHost.h"
#include "FtpSettingDialog.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxAppInit.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceKit.h"
#include "KxIconHelper.h"
#include "KxSpecialControls.h"
#include "KxStandardControls.h"
#include "KxUiService.h"
#include "KxWaitingDlg.h"
#include "LocalSettingDlg.h"
#include "MainFrameTitle.h"
#include "MainPageClient.h"
#include "USBDeviceManager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QScreen>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace
{

QPointer<MainFrame> g_mainFrame;
bool g_deviceChangePending = false;

MainFrame::EditPanelFactory &editPanelFactory()
{
    static MainFrame::EditPanelFactory factory;
    return factory;
}

MainFrame::GeometryProvider &geometryProvider()
{
    static MainFrame::GeometryProvider provider;
    return provider;
}

// Remembers a hot-plug change that arrived while notifications were off.
void watchDeviceChanges()
{
    static bool watching = false;
    if (watching)
        return;
    watching = true;
    USBDeviceManager *usb = USBDeviceManager::instance();
    QObject::connect(usb, &USBDeviceManager::signal_DeviceArrival, usb, [usb] {
        if (!usb->notificationsEnabled())
            g_deviceChangePending = true;
    });
}

} // namespace

MainFrame::MainFrame(QWidget *parent) : NMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFrame"));
    g_mainFrame = this;
    KxUi()->setMainWindow(this);
    // An edit frame that is done with its reader asks for the main page through this.
    DeviceEditClient::setShowMainPageHandler([] {
        if (MainFrame *f = MainFrame::instance())
            f->showPanel(MainFramePanel_Main);
    });
    watchDeviceChanges();

    // The frame widgets: the panel stack below the title.
    m_stack = new QStackedWidget(clientWidget());
    m_stack->setObjectName(QStringLiteral("stackClient"));
    clientLayout()->addWidget(m_stack, 1);

    KxStandardControls::registerAll();
    KxSpecialControls::registerAll();
    KxAppInit::instance()->install();
    KxIconHelper::loadFonts();
    if (!KxDeviceConfigs::instance()->load())
        qWarning() << "MainFrame::MainFrame()...model descriptions did not load completely";

    initWindow();
    restartFtpServer();
}

// Readers upload into the folder of the "ftp" settings; a failure to listen is only logged, as
// the rest of the program works without the server.
void MainFrame::restartFtpServer()
{
    if (!m_ftpServer) {
        m_ftpServer = new FtpServerHost(this);
        connect(m_ftpServer, &FtpServerHost::listening, this,
                [](bool ok, quint16 port, const QString &error) {
                    if (!ok)
                        qWarning().noquote() << "FTP server not started on port" << port << error;
                });
    }
    FtpServerConfig config;
    QString folder;
    if (!FtpServerHost::configFromSettings(&config, &folder)) {
        m_ftpServer->stop();
        if (folder.isEmpty()) {
            qWarning() << "FTP server not started: no FTP folder is set";
            return;
        }
        KxUi()->toast(kxTr(QStringLiteral("#IDS_Create_Dir_Error")) + QStringLiteral(" FTP:") + folder,
                      3000, this);
        return;
    }
    m_ftpServer->start(config);
}

MainFrame::~MainFrame()
{
    qDebug() << "MainFrame::~MainFrame()...";
    if (KxUi()->mainWindow() == this)
        KxUi()->setMainWindow(nullptr);
}

void MainFrame::initWindow()
{
    qInfo() << "Main thread ID [Thread]:" << QThread::currentThreadId();
    qApp->setProperty("LOG_CONN_NO_FRESH", false);

    m_title = new MainFrameTitle(clientWidget());
    clientLayout()->insertWidget(0, m_title);
    setTitleBar(m_title);
    m_title->setBusyProbe([this] {
        IMainFramePanel *p = currentPanel();
        return p && p->isBusy();
    });

    const Sizes sizes = windowSizes(availableGeometry().size());
    setMinimumSize(sizes.minimum);
    resize(sizes.initial);
    const QRect avail = availableGeometry();
    if (avail.isValid()) {
        QRect frame(QPoint(), sizes.initial);
        frame.moveCenter(avail.center());
        move(frame.topLeft());
    }

    setWindowIcon(QIcon(QStringLiteral(":/res/icon/logo.ico")));
    setWindowTitle(QStringLiteral("Brevan"));
    setStyleSheet(windowStyleSheet());

    m_mainPage = new MainPageClient(m_stack);
    m_stack->addWidget(m_mainPage);
    m_stack->setCurrentWidget(m_mainPage);

    // Some window systems drop the icon of a window mapped early.
    QTimer::singleShot(2000, this, [this] {
        setWindowIcon(QIcon(QStringLiteral(":/res/icon/logo.ico")));
    });
}

MainFrame *MainFrame::instance()
{
    return g_mainFrame.data();
}

void MainFrame::showToast(const QString &textKey, int durationMs)
{
    KxUi()->toast(textKey, durationMs, g_mainFrame.data());
}

void MainFrame::setEditPanelFactory(EditPanelFactory factory)
{
    editPanelFactory() = std::move(factory);
}

void MainFrame::setAvailableGeometryProvider(GeometryProvider provider)
{
    geometryProvider() = std::move(provider);
}

QRect MainFrame::availableGeometry()
{
    if (geometryProvider())
        return geometryProvider()();
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, kInitWidth, kInitHeight);
}

MainFrame::Sizes MainFrame::windowSizes(const QSize &available)
{
    Sizes s;
    s.minimum = available.boundedTo(QSize(kMinWidth, kMinHeight));
    s.initial = QSize(kInitWidth, kInitHeight).boundedTo(available);
    return s;
}

QString MainFrame::windowStyleSheet()
{
    QString css;
    css += QStringLiteral("QComboBox::drop-down,QDateEdit::drop-down,QTimeEdit::drop-down,"
                          "QDateTimeEdit::drop-down{width:%1px;}")
               .arg(20);
    css += QStringLiteral("QComboBox::down-arrow,QDateEdit::down-arrow,QTimeEdit::down-arrow,"
                          "QDateTimeEdit::down-arrow{width:%1px;height:%1px;}")
               .arg(10);
    css += QStringLiteral("QRadioButton::indicator{width:%1px;height:%1px;}").arg(18);
    css += QStringLiteral("QCheckBox::indicator,QGroupBox::indicator,QTreeView::indicator,"
                          "QListView::indicator{width:%1px;height:%1px;}")
               .arg(18);
    css += QStringLiteral("QScrollBar::handle:vertical{min-height:%1px;border-radius:%2px;}"
                          "QScrollBar::handle:horizontal{min-width:%1px;border-radius:%2px;}")
               .arg(12)
               .arg(6);
    css += QStringLiteral("#widgetMain{background-color:#f4f6fa;border:1px solid #9aa5b8;}");
    return css;
}

void MainFrame::setDeviceChangeNotifications(bool enabled)
{
    watchDeviceChanges();
    USBDeviceManager *usb = USBDeviceManager::instance();
    const bool wasEnabled = usb->notificationsEnabled();
    usb->setNotificationsEnabled(enabled);
    if (enabled && !wasEnabled && g_deviceChangePending) {
        g_deviceChangePending = false;
        emit usb->signal_DeviceChange(true, false, QString(), 2000);
    }
}

IMainFramePanel *MainFrame::currentPanel() const
{
    return qobject_cast<IMainFramePanel *>(m_stack->currentWidget());
}

IMainFramePanel *MainFrame::panel(MainFramePanel id) const
{
    for (int i = 0; i < m_stack->count(); ++i) {
        auto *p = qobject_cast<IMainFramePanel *>(m_stack->widget(i));
        if (p && p->panelId() == id)
            return p;
    }
    return nullptr;
}

MainFramePanel MainFrame::getCurPanelId() const
{
    IMainFramePanel *p = currentPanel();
    return p ? p->panelId() : MainFramePanel_Main;
}

void MainFrame::showPanel(MainFramePanel panelId, const QString &device_id, DeviceEditMode mode,
                          const QVariant &param)
{
    setDeviceChangeNotifications(panelId == MainFramePanel_Main);
    KxDeviceKit::Instance()->pauseBroadcastDeviceEnum(panelId != MainFramePanel_Main);
    qInfo() << "MainFrame::showPanel..." << panelId << device_id << mode << param;

    IMainFramePanel *current = currentPanel();
    if (current && current->panelId() == panelId)
        return;
    if (current)
        current->leave(QVariant());

    for (int i = m_stack->count() - 1; i > 0; --i) {
        QWidget *w = m_stack->widget(i);
        auto *p = qobject_cast<IMainFramePanel *>(w);
        if (!p || p->panelId() != panelId) {
            m_stack->removeWidget(w);
            w->deleteLater();
        }
    }

    IMainFramePanel *target = panel(panelId);
    if (!target && panelId == MainFramePanel_DeviceEdit) {
        target = editPanelFactory() ? editPanelFactory()(m_stack)
                                    : new DeviceEditClient(m_stack);
        m_stack->addWidget(target);
    }
    if (!target) {
        qWarning() << "MainFrame::showPanel...no panel" << panelId;
        return;
    }
    m_stack->setCurrentWidget(target);
    target->setDevice(device_id, QVariant(int(mode)));
    target->enter(param);
}

void MainFrame::showWaittingDlg(const QString &text, const QString &cancelText,
                                FunCancelClicked func, QObject *object)
{
    std::function<void()> onCancel;
    if (func) {
        const QPointer<QObject> guard(object);
        const bool guarded = object != nullptr;
        onCancel = [func, guard, guarded] {
            if (!guarded || guard)
                func();
        };
    }
    KxUi()->showWaiting(text, cancelText, onCancel, this);
}

void MainFrame::showWaittingDlgSupportClose(const QString &text, FunCancelClicked func,
                                            QObject *object)
{
    showWaittingDlg(text, QStringLiteral("#IDS_Close"), std::move(func), object);
}

void MainFrame::closeWaittingDlg()
{
    m_hiddenWaiting.clear();
    KxUi()->closeWaiting();
}

void MainFrame::settingFtp()
{
    FtpSettingDialog dlg(this);
    if (KxDialogRunner::run(&dlg) == QDialog::Accepted)
        restartFtpServer();
}

void MainFrame::localSetting()
{
    LocalSettingDlg dlg(this);
    dlg.setFtpSettingsAction([this] { settingFtp(); });
    KxDialogRunner::run(&dlg);
}

void MainFrame::logUpdate()
{
    if (m_mainPage)
        m_mainPage->openLogUpdate();
}

void MainFrame::closeEvent(QCloseEvent *event)
{
    IMainFramePanel *p = currentPanel();
    if (p && p->isBusy())
        p->stopBusy();
    if (p && !p->canClose()) {
        qInfo() << "MainFrame::closeEvent...refused by panel" << p->panelId();
        event->ignore();
        return;
    }
    event->accept();
    if (p)
        p->closing(QVariant());
}

void MainFrame::changeEvent(QEvent *event)
{
    NMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (auto *max = title() ? title()->findChild<QAbstractButton *>(QStringLiteral("btnMenu_Max"))
                            : nullptr)
        max->setIcon(KxIconHelper::icon(isMaximized() ? QChar(0xf2d2) : QChar(0xf2d0), 14,
                                        Qt::white, Qt::white));
    if (isMinimized()) {
        // The waiting dialog would float alone on the desktop.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<KxWaitingDlg *>(w) && w->isVisible()) {
                m_hiddenWaiting.append(w);
                w->hide();
            }
        }
    } else {
        const auto hidden = m_hiddenWaiting;
        m_hiddenWaiting.clear();
        for (const QPointer<QWidget> &w : hidden) {
            if (w)
                w->show();
        }
    }
}
