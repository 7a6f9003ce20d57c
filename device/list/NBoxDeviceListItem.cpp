#include "NBoxDeviceListItem.h"

#include "KxI18nUtil.h"
#include "KxWidgetStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
constexpr int kLineHeight = 20;
constexpr int kBaseHeight = 56;

// "<sn,mac,ip>,<sn,mac,ip>" as (serial number, address) pairs; unreadable items are skipped.
QList<QPair<QString, QString>> members(const QString &list)
{
    QList<QPair<QString, QString>> out;
    static const QRegularExpression item(QStringLiteral("<([^,<>]*),([^,<>]*),([^,<>]*)>"));
    auto it = item.globalMatch(list);
    while (it.hasNext()) {
        const auto m = it.next();
        out.append({m.captured(1), m.captured(3)});
    }
    return out;
}
} // namespace

NBoxDeviceListItem::NBoxDeviceListItem(const QString &deviceId, const KxDeviceInfoMap &info,
                                       QWidget *parent)
    : NDeviceListItem(deviceId, info, parent)
{
    setObjectName(QStringLiteral("NBoxDeviceListItem"));
    m_btnExpand = new QToolButton(this);
    m_btnExpand->setObjectName(QStringLiteral("btnExpand"));
    m_btnExpand->setFixedSize(16, 24);
    m_btnExpand->setAutoRaise(true);
    m_btnExpand->setFocusPolicy(Qt::NoFocus);
    m_btnExpand->setCursor(Qt::PointingHandCursor);
    m_btnExpand->setToolTip(kxTr(QStringLiteral("#IDS_NetGroup_Members")));
    if (auto *row = qobject_cast<QHBoxLayout *>(layout())) {
        row->insertWidget(0, m_btnExpand);
        row->setContentsMargins(4, 6, 8, 6);
    }
    connect(m_btnExpand, &QToolButton::clicked, this, &NBoxDeviceListItem::expandClicked);
    m_parts = new QWidget(this);
    m_parts->setObjectName(QStringLiteral("widgetBoxParts"));
    m_parts->setStyleSheet(QStringLiteral("QLabel{color:%1;font-size:12px;}"
                                          "QLabel[missing=\"true\"]{color:%2;}")
                               .arg(QLatin1String(KxStyle::TextMuted),
                                    QLatin1String(KxStyle::Warning)));
    m_partLayout = new QVBoxLayout(m_parts);
    m_partLayout->setContentsMargins(0, 0, 0, 0);
    m_partLayout->setSpacing(0);
    rebuildParts();
}

bool NBoxDeviceListItem::isBox(const KxDeviceInfoMap &info)
{
    return info.value(QStringLiteral("Gr En")).trimmed() == QLatin1String("1") &&
           info.value(QStringLiteral("Gr Role")).trimmed() == QLatin1String("1");
}

QStringList NBoxDeviceListItem::partTexts() const
{
    QStringList out;
    for (const QLabel *l : m_partLabels)
        out << l->text();
    return out;
}

void NBoxDeviceListItem::setPresentMembers(const QStringList &serials)
{
    if (serials == m_present)
        return;
    m_present = serials;
    rebuildParts();
}

void NBoxDeviceListItem::expandClicked()
{
    m_expanded = !m_expanded;
    applyExpanded();
}

void NBoxDeviceListItem::infoChanged()
{
    rebuildParts();
}

void NBoxDeviceListItem::rebuildParts()
{
    qDeleteAll(m_partLabels);
    m_partLabels.clear();
    const auto list = members(deviceInfo().value(QStringLiteral("Gr slave")));
    for (const auto &m : list) {
        const bool missing = !m_present.contains(m.first);
        QString text = QStringLiteral("%1   %2").arg(m.first, m.second);
        if (missing)
            text += QStringLiteral("   ") + kxTr(QStringLiteral("#IDS_NetGroup_MemberMissing"));
        auto *l = new QLabel(text, m_parts);
        l->setTextFormat(Qt::PlainText);
        l->setFixedHeight(kLineHeight);
        l->setProperty("missing", missing);
        m_partLayout->addWidget(l);
        m_partLabels << l;
    }
    if (list.isEmpty()) {
        auto *l = new QLabel(kxTr(QStringLiteral("#IDS_NetGroup_NoMembers")), m_parts);
        l->setFixedHeight(kLineHeight);
        m_partLayout->addWidget(l);
        m_partLabels << l;
    }
    applyExpanded();
}

void NBoxDeviceListItem::applyExpanded()
{
    m_btnExpand->setText(m_expanded ? QStringLiteral("\u25be") : QStringLiteral("\u25b8"));
    const int extra = m_expanded ? m_partLabels.size() * kLineHeight + 4 : 0;
    // The reader's own line keeps the top; the members sit in the room below it.
    if (layout())
        layout()->setContentsMargins(4, 6, 8, 6 + extra);
    setFixedHeight(kBaseHeight + extra);
    m_parts->setVisible(m_expanded);
    m_parts->setGeometry(60, kBaseHeight - 2, qMax(10, width() - 68), extra);
}

void NBoxDeviceListItem::resizeEvent(QResizeEvent *event)
{
    NDeviceListItem::resizeEvent(event);
    m_parts->setGeometry(60, kBaseHeight - 2, qMax(10, width() - 68),
                         m_expanded ? m_partLabels.size() * kLineHeight + 4 : 0);
}
