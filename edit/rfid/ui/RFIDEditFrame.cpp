#include "RFIDEditFrame.h"

#include "AdvancedSettingsWidget.h"
#include "BCodeToolsWidget.h"
#include "DeviceEditClient.h"
#include "DoSaveChangedCmds.h"
#include "EditDeviceContext.h"
#include "EditFrameParts.h"
#include "EditIcons.h"
#include "EditLogic.h"
#include "KxControlEvents.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxUiService.h"
#include "RfidInventoryWidget.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDebug>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QPointer<RFIDEditFrame> g_live;
} // namespace

RFIDEditFrame::RFIDEditFrame(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("RFIDEditFrame"));
    g_live = this;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toolbar = EditFrameParts::makeToolbar(this, &m_toolbarLayout);
    m_toolbar->setFixedHeight(56);
    m_toolGroup = new QButtonGroup(this);
    m_toolGroup->setExclusive(true);
    addToolButton(QStringLiteral("Id_Btn_MainPage"), QStringLiteral("#IDS_MainPage"), QStringLiteral("mainpage"));
    addToolButton(QStringLiteral("Id_Btn_Inventory"), QStringLiteral("#IDS_Rfid_Inventory"), QStringLiteral("nav_read"));
    addToolButton(QStringLiteral("Id_Btn_AdvancedSettings"), QStringLiteral("#IDS_AdvancedSettings"),
                  QStringLiteral("advanced"));
    m_toolbarLayout->addStretch(1);
    // Running versus saved, as on the barcode frame: a click lists the unsaved changes.
    m_unsaved = new QToolButton(m_toolbar);
    m_unsaved->setObjectName(QStringLiteral("btnUnsaved"));
    m_unsaved->setCursor(Qt::PointingHandCursor);
    connect(m_unsaved, &QToolButton::clicked, this, [this] {
        if (switchPage(Page_Settings))
            m_settings->tools()->runTool(QStringLiteral("Id_Btn_ConfigHistory"));
    });
    m_toolbarLayout->addWidget(m_unsaved);
    m_pageStack = new QStackedWidget(this);
    m_pageStack->setObjectName(QStringLiteral("stackPages"));
    layout->addWidget(m_toolbar);
    layout->addWidget(m_pageStack, 1);
}

RFIDEditFrame::~RFIDEditFrame()
{
    if (g_live == this)
        g_live = nullptr;
}

RFIDEditFrame *RFIDEditFrame::live()
{
    return g_live.data();
}

QWidget *RFIDEditFrame::currentPage() const
{
    return m_pageStack->currentWidget();
}

QToolButton *RFIDEditFrame::toolButton(const QString &objectName) const
{
    return m_toolbar->findChild<QToolButton *>(objectName);
}

QToolButton *RFIDEditFrame::addToolButton(const QString &id, const QString &textKey, const QString &icon)
{
    QToolButton *b = EditFrameParts::addToolButton(m_toolbar, m_toolbarLayout, m_toolGroup, id, textKey, icon);
    connect(b, &QToolButton::clicked, this, &RFIDEditFrame::OnToolBarBtnClicked);
    return b;
}

bool RFIDEditFrame::openDeviceById(const QString &deviceId, const QVariant &)
{
    qInfo().noquote() << "RFIDEditFrame::openDeviceById()..." << deviceId;
    QPointer<KxDeviceConnector> connector = KxLoginedDevicesManage::instance()->device(deviceId);
    if (!connector || !connector->command())
        return false;
    m_connector = connector;
    m_deviceId = connector->deviceId();
    EditDeviceContext::prepareModel(EditDeviceContext::modelDir(connector));
    disconnect(m_historyLink);
    m_historyLink = connect(connector->command(), &KxDeviceCommand::signal_ChangedCmdsHistoryChange, this,
                            &RFIDEditFrame::updateUnsaved);
    updateUnsaved();
    return switchPage(Page_Inventory);
}

bool RFIDEditFrame::switchPage(int index)
{
    if (!m_connector)
        return false;
    IPluginWidget *target = nullptr;
    if (index == Page_Inventory) {
        if (!m_inventory) {
            m_inventory = new RfidInventoryWidget(m_pageStack);
            m_pageStack->addWidget(m_inventory);
        }
        target = m_inventory;
    } else if (index == Page_Settings) {
        if (!m_settings) {
            m_settings = new AdvancedSettingsWidget(m_pageStack);
            // The settings tools can restart the reader; the frame then lets it go.
            connect(m_settings->tools(), &BCodeToolsWidget::mainPageRequested, this, [this] {
                closing(QVariant());
                DeviceEditClient::showMainPage();
            });
            // The reader log window belongs to the barcode frame's tools; not offered here.
            if (QToolButton *log = m_settings->tools()->button(QStringLiteral("Id_Btn_DeviceLog")))
                log->hide();
            m_pageStack->addWidget(m_settings);
        }
        target = m_settings;
    } else {
        return false;
    }
    auto *current = qobject_cast<IPluginWidget *>(m_pageStack->currentWidget());
    if (current && current != target)
        current->deactivate(QVariant());
    m_pageStack->setCurrentWidget(target);
    target->openDevice(m_connector, QVariant());
    target->activate(QVariant());
    checkPageButton();
    return true;
}

void RFIDEditFrame::checkPageButton()
{
    const QString id = currentPage() == m_settings && m_settings ? QStringLiteral("Id_Btn_AdvancedSettings")
                                                                 : QStringLiteral("Id_Btn_Inventory");
    if (QToolButton *b = toolButton(id))
        b->setChecked(true);
}

void RFIDEditFrame::updateUnsaved()
{
    const int count = m_connector && m_connector->command() ? m_connector->command()->changedCmds().size() : 0;
    EditFrameParts::showUnsaved(m_unsaved, count);
}

bool RFIDEditFrame::checkLeave()
{
    // An editor that still has the focus finishes its edit now, so its change is asked about.
    EditFrameParts::finishPendingEdit(this);
    if (!m_leaveGuard || m_leaving)
        return false;
    if (!m_connector)
        return true; // no reader, nothing to save
    m_leaveGuard = false;
    const bool ok = DoSaveChangedCmds(m_connector, true, true, this);
    m_leaveGuard = true;
    return ok;
}

bool RFIDEditFrame::isBusy()
{
    return m_inventory && m_inventory->isBusy();
}

bool RFIDEditFrame::stopBusy()
{
    return m_inventory ? m_inventory->stopBusy() : true;
}

bool RFIDEditFrame::deactivate(const QVariant &param)
{
    // The main window is taking the reader away: whatever runs on it is stopped now.
    if (m_inventory)
        m_inventory->closing(param);
    return true;
}

bool RFIDEditFrame::closing(const QVariant &param)
{
    if (m_inventory)
        m_inventory->closing(param);
    if (m_settings)
        m_settings->deactivate(param);
    return true;
}

void RFIDEditFrame::leaveToMainPage()
{
    if (m_leaving)
        return;
    if (!checkLeave()) {
        checkPageButton();
        return;
    }
    if (!m_inventory || !m_inventory->isRunning()) {
        closing(QVariant());
        DeviceEditClient::showMainPage();
        return;
    }
    // Stop the inventory through the reader's worker while it still has its link, then go;
    // the window stays live meanwhile and a reader that does not answer is left after a bound.
    m_leaving = true;
    m_pageStack->setEnabled(false);
    QPointer<RFIDEditFrame> self(this);
    m_inventory->stopInventory(kLeaveStopMs, [self](bool ok) {
        if (!self)
            return;
        self->m_leaving = false;
        self->m_pageStack->setEnabled(true);
        if (!ok)
            KxUi()->toast(QStringLiteral("#IDS_Rfid_StopUnconfirmed"), 3000, self);
        self->closing(QVariant());
        DeviceEditClient::showMainPage();
    });
}

void RFIDEditFrame::OnToolBarBtnClicked()
{
    if (!m_connector || !sender())
        return;
    const QString id = sender()->objectName();
    qInfo().noquote() << "RFIDEditFrame::OnToolBarBtnClicked()..." << id;
    if (id == QLatin1String("Id_Btn_MainPage"))
        leaveToMainPage();
    else if (id == QLatin1String("Id_Btn_Inventory"))
        switchPage(Page_Inventory);
    else if (id == QLatin1String("Id_Btn_AdvancedSettings"))
        switchPage(Page_Settings);
}
