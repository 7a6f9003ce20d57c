#include "NDeviceListItem.h"

#include "DeviceListIcons.h"
#include "DeviceListLogic.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxWidgetStyle.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

QPixmap modelPixmap(const QString &model, int size)
{
    static QHash<QString, QPixmap> cache;
    const QString key = model + QLatin1Char('@') + QString::number(size);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return it.value();
    KxDeviceConfigs *configs = KxDeviceConfigs::instance();
    QString path = configs->deviceIcon(model);
    if (path.isEmpty())
        path = configs->unknownDeviceIcon();
    QPixmap pm(path);
    if (!pm.isNull())
        pm = pm.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    cache.insert(key, pm);
    return pm;
}

QToolButton *smallButton(QWidget *parent, const char *name, DeviceListIcon icon, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(deviceListIcon(icon, 16, QColor(0x6b, 0x73, 0x80), QColor(KxStyle::Accent)));
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(24, 24);
    b->setToolTip(kxTr(tip));
    b->setCursor(Qt::PointingHandCursor);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// "In use" is for readers held by another program; the one opened here is simply connected.
bool heldHere(const QString &deviceId)
{
    const QPointer<KxDeviceConnector> c = KxLoginedDevicesManage::instance()->device(deviceId);
    return c && (c->isConnected() || KxDeviceKit::Instance()->isConnected(deviceId));
}

} // namespace

NDeviceListItem::NDeviceListItem(const QString &deviceId, const KxDeviceInfoMap &info,
                                 QWidget *parent)
    : QWidget(parent), m_deviceId(deviceId), m_info(info)
{
    setObjectName(QStringLiteral("NDeviceListItem"));
    setAttribute(Qt::WA_Hover);
    setFixedHeight(56);
    setStyleSheet(
        QStringLiteral("QLabel#labTitle{color:%1;font-size:13px;font-weight:bold;}"
                       "QLabel#labDetail{color:%2;font-size:12px;}"
                       "QLabel#labState{color:#ffffff;background:%3;border-radius:3px;padding:0 "
                       "5px;font-size:11px;}"
                       "QToolButton{border:none;border-radius:3px;background:transparent;}"
                       "QToolButton:hover{background:%4;}")
            .arg(QLatin1String(KxStyle::Text), QLatin1String(KxStyle::TextMuted),
                 QLatin1String(KxStyle::Warning), QLatin1String(KxStyle::AccentSoft)));

    m_labIcon = new QLabel(this);
    m_labIcon->setFixedSize(36, 36);
    m_labIcon->setAlignment(Qt::AlignCenter);
    m_labTitle = new QLabel(this);
    m_labTitle->setObjectName(QStringLiteral("labTitle"));
    m_labTitle->setTextFormat(Qt::PlainText);
    m_labDetail = new QLabel(this);
    m_labDetail->setObjectName(QStringLiteral("labDetail"));
    m_labDetail->setTextFormat(Qt::PlainText);
    m_labState = new QLabel(this);
    m_labState->setObjectName(QStringLiteral("labState"));
    m_labState->hide();
    for (QLabel *l : {m_labTitle, m_labDetail})
        l->setMinimumWidth(10);

    m_btnAlias =
        smallButton(this, "btnAlias", DeviceListIcon::Pencil, QStringLiteral("#IDS_EditAlias"));
    m_btnBlink =
        smallButton(this, "btnBlink", DeviceListIcon::Blink, QStringLiteral("#IDS_BlinkDevice"));
    m_btnGroup = smallButton(this, "btnGroup", DeviceListIcon::GroupAdd,
                             QStringLiteral("#IDS_AddToNetGroup"));
    connect(m_btnAlias, &QToolButton::clicked, this, &NDeviceListItem::onAliasBtnClicked);
    connect(m_btnBlink, &QToolButton::clicked, this, &NDeviceListItem::onblinkBtnClicked);
    connect(m_btnGroup, &QToolButton::clicked, this, &NDeviceListItem::onAddGroupBtnClicked);

    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    titleRow->addWidget(m_labTitle, 1);
    titleRow->addWidget(m_labState);
    texts->addLayout(titleRow);
    texts->addWidget(m_labDetail);

    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(12, 6, 8, 6);
    lay->setSpacing(10);
    lay->addWidget(m_labIcon);
    lay->addLayout(texts, 1);
    lay->addWidget(m_btnGroup);
    lay->addWidget(m_btnAlias);
    lay->addWidget(m_btnBlink);

    updateTexts();
    updateButtons();
}

void NDeviceListItem::setDeviceInfo(const KxDeviceInfoMap &info)
{
    if (info == m_info)
        return;
    m_info = info;
    updateTexts();
    updateButtons();
    infoChanged();
}

void NDeviceListItem::applyFilter(const QString &text)
{
    m_matches = DeviceListLogic::matchesSearch(m_info, text);
}

void NDeviceListItem::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void NDeviceListItem::setGroupButtonVisible(bool visible)
{
    m_groupButton = visible;
    updateButtons();
}

QString NDeviceListItem::titleText() const
{
    return m_title;
}

QString NDeviceListItem::stateText() const
{
    return m_labState->text();
}

void NDeviceListItem::updateTexts()
{
    const QString product = m_info.value(QStringLiteral("Product Name"));
    const QString alias = m_info.value(QStringLiteral("L Alias"));
    m_title = alias.isEmpty()
                  ? (product.isEmpty() ? kxTr(QStringLiteral("#IDS_UnknownDevice")) : product)
                  : alias;
    if (DeviceListLogic::isVirtual(m_info)) {
        m_detail = kxTr(QStringLiteral("#IDS_VirtualDevice"));
    } else {
        const QString line = DeviceListLogic::connectionLine(m_deviceId, m_info);
        m_detail = alias.isEmpty() ? line : product + QStringLiteral("  ") + line;
    }
    m_labIcon->setPixmap(modelPixmap(product, 34));

    QString state;
    if (!DeviceListLogic::isOnline(m_info))
        state = kxTr(QStringLiteral("#IDS_DeviceState_Offline"));
    else if (heldHere(m_deviceId))
        state = kxTr(QStringLiteral("#IDS_DeviceState_Connected"));
    else if (m_info.value(QStringLiteral("Is Connected To Configtool")) == QLatin1String("1"))
        state = kxTr(QStringLiteral("#IDS_DeviceState_InUse"));
    m_labState->setText(state);
    m_labState->setVisible(!state.isEmpty());
    setToolTip(m_detail.isEmpty() ? m_title : m_title + QLatin1Char('\n') + m_detail);
    elide();
}

void NDeviceListItem::updateButtons()
{
    const bool live = !DeviceListLogic::isVirtual(m_info);
    // A local alias is keyed by the serial number; a reader without one cannot carry an alias.
    m_btnAlias->setVisible(live && !m_info.value(QStringLiteral("Serial Number")).isEmpty());
    m_btnBlink->setVisible(live && DeviceListLogic::isOnline(m_info));
    m_btnGroup->setVisible(m_groupButton && live);
}

void NDeviceListItem::elide()
{
    const int w = qMax(10, m_labTitle->width());
    m_labTitle->setText(m_labTitle->fontMetrics().elidedText(m_title, Qt::ElideRight, w));
    const int dw = qMax(10, m_labDetail->width());
    m_labDetail->setText(m_labDetail->fontMetrics().elidedText(m_detail, Qt::ElideMiddle, dw));
}

void NDeviceListItem::expandClicked()
{
    update();
}

void NDeviceListItem::onAddGroupBtnClicked()
{
    emit addDevToNetGroup(m_info);
}

void NDeviceListItem::onblinkBtnClicked()
{
    qDebug() << "NDeviceListItem::onblinkBtnClicked()..." << m_deviceId;
    KxDeviceInfoMap map = m_info;
    map.insert(QStringLiteral("Device Id"), m_deviceId);
    emit deviceBlink(map);
}

void NDeviceListItem::onAliasBtnClicked()
{
    emit editAlias(m_deviceId);
}

void NDeviceListItem::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked(m_deviceId);
    QWidget::mousePressEvent(event);
}

void NDeviceListItem::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked(m_deviceId);
    QWidget::mouseDoubleClickEvent(event);
}

void NDeviceListItem::enterEvent(QEvent *event)
{
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void NDeviceListItem::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void NDeviceListItem::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    elide();
}

void NDeviceListItem::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect().adjusted(4, 1, -4, -1);
    if (m_selected) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(KxStyle::AccentSoft));
        p.drawRoundedRect(r, 4, 4);
        p.setBrush(QColor(KxStyle::Accent));
        p.drawRoundedRect(QRect(r.left(), r.top() + 8, 3, r.height() - 16), 1.5, 1.5);
    } else if (m_hovered) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xf3, 0xf5, 0xf9));
        p.drawRoundedRect(r, 4, 4);
    }
}
