#include "DeviceCardWidget.h"

#include "DeviceListLogic.h"
#include "KxDeviceConfigs.h"
#include "KxI18nUtil.h"
#include "KxWidgetStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

DeviceCardWidget::DeviceCardWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DeviceCardWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(
        QStringLiteral("QWidget#DeviceCardWidget{background:#f7f9fc;border:1px solid "
                       "#e3e8f0;border-radius:6px;}"
                       "QLabel{background:transparent;border:none;}"
                       "QLabel#labCardName{color:%1;font-size:16px;font-weight:bold;}"
                       "QLabel#labCardAlias{color:%2;font-size:13px;}"
                       "QLabel#labCardSerial,QLabel#labCardLine{color:%3;font-size:12px;}")
            .arg(QLatin1String(KxStyle::Text), QLatin1String(KxStyle::Accent),
                 QLatin1String(KxStyle::TextMuted)));
    m_labIcon = new QLabel(this);
    m_labIcon->setFixedSize(72, 72);
    m_labIcon->setAlignment(Qt::AlignCenter);
    m_labName = new QLabel(this);
    m_labName->setObjectName(QStringLiteral("labCardName"));
    m_labAlias = new QLabel(this);
    m_labAlias->setObjectName(QStringLiteral("labCardAlias"));
    m_labSerial = new QLabel(this);
    m_labSerial->setObjectName(QStringLiteral("labCardSerial"));
    m_labLine = new QLabel(this);
    m_labLine->setObjectName(QStringLiteral("labCardLine"));
    for (QLabel *l : {m_labName, m_labAlias, m_labSerial, m_labLine}) {
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addStretch(1);
    texts->addWidget(m_labName);
    texts->addWidget(m_labAlias);
    texts->addWidget(m_labSerial);
    texts->addWidget(m_labLine);
    texts->addStretch(1);
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(14, 10, 14, 10);
    lay->setSpacing(14);
    lay->addWidget(m_labIcon);
    lay->addLayout(texts, 1);
    clear();
}

void DeviceCardWidget::setDevice(const QString &deviceId, const KxDeviceInfoMap &info)
{
    const QString product = info.value(QStringLiteral("Product Name"));
    m_labName->setText(product.isEmpty() ? kxTr(QStringLiteral("#IDS_UnknownDevice")) : product);
    const QString alias = info.value(QStringLiteral("L Alias"));
    m_labAlias->setText(alias);
    m_labAlias->setVisible(!alias.isEmpty());
    const QString sn = info.value(QStringLiteral("Serial Number"));
    const QString line = DeviceListLogic::connectionLine(deviceId, info);
    // The connection line already is the serial number when the reader has no other.
    const bool lineIsSerial = line.startsWith(QLatin1String("SN:"));
    m_labSerial->setText(sn.isEmpty() || lineIsSerial ? QString() : QStringLiteral("SN: ") + sn);
    m_labSerial->setVisible(!m_labSerial->text().isEmpty());
    m_labLine->setText(DeviceListLogic::isVirtual(info) ? kxTr(QStringLiteral("#IDS_VirtualDevice"))
                                                        : line);
    m_labLine->setVisible(!m_labLine->text().isEmpty());
    KxDeviceConfigs *configs = KxDeviceConfigs::instance();
    QString icon = configs->deviceIcon(product);
    if (icon.isEmpty())
        icon = configs->unknownDeviceIcon();
    QPixmap pm(icon);
    m_labIcon->setPixmap(
        pm.isNull() ? QPixmap() : pm.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void DeviceCardWidget::clear()
{
    for (QLabel *l : {m_labName, m_labAlias, m_labSerial, m_labLine})
        l->clear();
    m_labIcon->clear();
}

QString DeviceCardWidget::nameText() const
{
    return m_labName->text();
}

QString DeviceCardWidget::lineText() const
{
    return m_labLine->text();
}

QString DeviceCardWidget::serialText() const
{
    return m_labSerial->text();
}
