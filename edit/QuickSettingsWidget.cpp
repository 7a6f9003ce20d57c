#include "QuickSettingsWidget.h"

#include "BCodeImageView.h"
#include "BCodeImageViewPrivate.h"
#include "BCodePropertyWidget.h"
#include "DeviceCardWidget.h"
#include "EditDeviceContext.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "LazyPlainTextEdit.h"
#include "ResultOutputWidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QTabWidget>

namespace {
QLabel *notYet(const QString &key, QWidget *parent)
{
    auto *l = new QLabel(QStringLiteral("%1\n%2").arg(kxTr(key), kxTr(QStringLiteral("#IDS_NotAvailableYet"))),
                         parent);
    l->setAlignment(Qt::AlignCenter);
    l->setWordWrap(true);
    l->setStyleSheet(QStringLiteral("color:#8c8c8c; font-size:14px;"));
    return l;
}
}  // namespace

QuickSettingsWidget::QuickSettingsWidget(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("QuickSettingsWidget"));
    const QString panel = QStringLiteral(".QWidget{background-color: rgb(240, 240, 240);border-radius:3px;}");
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);

    auto *left = new QWidget(this);
    left->setObjectName(QStringLiteral("widgetLeft"));
    left->setFixedWidth(240);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_card = new DeviceCardWidget(left);
    m_card->setObjectName(QStringLiteral("widgetDeviceCard"));
    leftLayout->addWidget(m_card);
    auto *configLib = new QWidget(left);
    configLib->setObjectName(QStringLiteral("widgetConfigLib"));
    configLib->setStyleSheet(panel);
    auto *clLayout = new QVBoxLayout(configLib);
    clLayout->addWidget(notYet(QStringLiteral("#IDS_ConfigLibSettings"), configLib));
    leftLayout->addWidget(configLib, 1);

    auto *right = new QWidget(this);
    right->setObjectName(QStringLiteral("widgetRight"));
    auto *rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(12);
    // The centre: the live image above the output panel.
    m_splitter = new QSplitter(Qt::Vertical, right);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_imageView = new BCodeImageView(m_splitter);
    m_imageView->setObjectName(QStringLiteral("widgetImageView"));
    m_imageView->setMinimumHeight(240);
    m_output = new QWidget(m_splitter);
    m_output->setObjectName(QStringLiteral("widgetOutput"));
    m_output->setStyleSheet(panel);
    m_output->setMinimumHeight(80);
    m_output->setLayout(new QVBoxLayout);
    m_output->layout()->setContentsMargins(0, 0, 0, 0);
    m_resultOutput = new ResultOutputWidget(m_output);
    m_resultOutput->setObjectName(QStringLiteral("resultOutput"));
    m_output->layout()->addWidget(m_resultOutput);
    connect(m_imageView, &BCodeImageView::decodeResult, this, &QuickSettingsWidget::decodeResultSlot);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);
    rightLayout->addWidget(m_splitter, 3);

    m_tabs = new QTabWidget(right);
    m_tabs->setObjectName(QStringLiteral("widgetDocked"));
    m_settings = new BCodePropertyWidget(m_tabs);
    m_settings->setObjectName(QStringLiteral("quickSettings"));
    m_tabs->addTab(m_settings, kxTr(QStringLiteral("#IDS_CurrentSettings")));
    m_tabs->setMinimumWidth(380);
    rightLayout->addWidget(m_tabs, 2);

    layout->addWidget(left);
    layout->addWidget(right, 1);
}

bool QuickSettingsWidget::openDeviceById(const QString &deviceId, const QVariant &param)
{
    return openDevice(KxLoginedDevicesManage::instance()->device(deviceId), param);
}

bool QuickSettingsWidget::openDevice(QPointer<KxDeviceConnector> connector, const QVariant &)
{
    if (!connector)
        return false;
    if (connector == m_connector)
        return true;
    m_connector = connector;
    m_card->setDevice(connector->deviceId(), connector->deviceInfo());
    m_settings->setDevice(connector);
    m_imageView->setDevice(connector);
    connect(connector.data(), &KxDeviceConnector::batBarcodeReceived, m_resultOutput,
            &ResultOutputBaseWidget::addBarcodeBatch, Qt::UniqueConnection);
    // Readers that cannot send images show no image view.
    m_imageView->setVisible(m_imageView->hasImageSupport());
    const QString dir = EditDeviceContext::modelDir(connector);
    m_settings->setPages(EditDeviceContext::loadPage(dir, QStringLiteral("QuickSettings.xml")));
    return true;
}

bool QuickSettingsWidget::activate(const QVariant &)
{
    m_settings->refreshValues();
    return true;
}

void QuickSettingsWidget::decodeResultSlot(const QString &imageFile, bool decodeRes,
                                           const QString &decodeData, int decodeTime)
{
    if (decodeRes)
        m_resultOutput->textEdit()->appendLine(QStringLiteral("Image File:%1\r\nDecode Result:%2\r\nDecode Time:%3")
                                                   .arg(imageFile, decodeData)
                                                   .arg(decodeTime));
    else
        m_resultOutput->textEdit()->appendLine(imageFile + QStringLiteral("\r\nDecode Fail!!!"));
}

bool QuickSettingsWidget::isBusy()
{
    return m_imageView->d()->isPlaying();
}

bool QuickSettingsWidget::stopBusy()
{
    m_imageView->onPlayToggled(false);
    return true;
}

bool QuickSettingsWidget::closing(const QVariant &)
{
    m_imageView->onPlayToggled(false);
    return true;
}

void QuickSettingsWidget::locate(const QVariant &item)
{
    const QVariantMap where = item.toMap();
    QString pageId = where.value(QStringLiteral("pageId")).toString();
    if (pageId.isEmpty()) {
        const KxItemInfo *info = item.value<KxItemInfo *>();
        if (info && m_settings->pages()) {
            for (const KxPageInfo *p : m_settings->pages()->pages) {
                if (p->findItem(info->id))
                    pageId = p->id;
            }
        }
    }
    if (!pageId.isEmpty()) {
        m_tabs->setCurrentWidget(m_settings);
        m_settings->setCurrentPage(pageId);
    }
}

void QuickSettingsWidget::OnSlotConfigLibStreamMode(bool)
{
    // The configuration-set box follows the stream mode once it exists.
}
