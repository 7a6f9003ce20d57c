#include "KxStyledButtons.h"

#include "KxI18nUtil.h"
#include "KxWidgetStyle.h"

#include <QStyle>
#include <QVariant>

namespace
{
const char *kindName(KxPushButton::Kind kind)
{
    switch (kind) {
    case KxPushButton::Primary:
        return "primary";
    case KxPushButton::Danger:
        return "danger";
    default:
        return "normal";
    }
}
} // namespace

KxPushButton::KxPushButton(const QString &textKey, Kind kind, QWidget *parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setMinimumHeight(30);
    setAutoDefault(false);
    setStyleSheet(KxStyle::pushButtonSheet());
    setKind(kind);
    setTextKey(textKey);
}

void KxPushButton::setTextKey(const QString &textKey)
{
    m_textKey = textKey;
    setText(kxTr(textKey));
}

void KxPushButton::setKind(Kind kind)
{
    m_kind = kind;
    setProperty("kind", QString::fromLatin1(kindName(kind)));
    // A dynamic property used in a selector needs a re-polish to take effect.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

KxToolButton::KxToolButton(const QString &textKey, const QIcon &icon, QWidget *parent)
    : QToolButton(parent), m_normal(icon)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(18, 18));
    setStyleSheet(KxStyle::toolButtonSheet());
    setTextKey(textKey);
    updateIcon();
    connect(this, &QToolButton::toggled, this, &KxToolButton::updateIcon);
}

void KxToolButton::setTextKey(const QString &textKey)
{
    m_textKey = textKey;
    setText(kxTr(textKey));
}

void KxToolButton::setIcons(const QIcon &normal, const QIcon &checked)
{
    m_normal = normal;
    m_checked = checked;
    if (toolButtonStyle() == Qt::ToolButtonTextOnly && !normal.isNull())
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    updateIcon();
}

void KxToolButton::updateIcon()
{
    setIcon(isChecked() && !m_checked.isNull() ? m_checked : m_normal);
}
