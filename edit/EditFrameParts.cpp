#include "EditFrameParts.h"

#include "EditIcons.h"
#include "EditLogic.h"
#include "KxControlEvents.h"
#include "KxI18nUtil.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

namespace EditFrameParts {

namespace {
const char *const kToolbarStyle =
    "#widgetToolbar{background:#ffffff; border-bottom:1px solid #dbdbdb;}"
    "#widgetToolbar QToolButton{border:none; background:transparent; color:#1f1f1f; font-size:14px;"
    " padding:4px 8px;}"
    "#widgetToolbar QToolButton:checked{color:#0c3484; border-bottom:2px solid #0c3484;}"
    "#widgetToolbar QToolButton:hover{color:#0c3484;}"
    "#widgetToolbar QToolButton::menu-indicator{image:none;}"
    "#btnUnsaved{color:#595959; font-size:13px;}";
}  // namespace

QWidget *makeToolbar(QWidget *parent, QHBoxLayout **layout)
{
    auto *bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("widgetToolbar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setStyleSheet(QLatin1String(kToolbarStyle));
    auto *l = new QHBoxLayout(bar);
    l->setContentsMargins(24, 0, 24, 0);
    l->setSpacing(16);
    *layout = l;
    return bar;
}

QToolButton *addToolButton(QWidget *bar, QHBoxLayout *layout, QButtonGroup *group, const QString &id,
                           const QString &textKey, const QString &iconName)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(id);
    b->setText(kxTr(textKey));
    b->setCheckable(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIcon(EditIcons::icon(iconName, 16, QColor(0x1f, 0x1f, 0x1f), QColor(0x0c, 0x34, 0x84)));
    b->setIconSize(QSize(16, 16));
    b->setCursor(Qt::PointingHandCursor);
    group->addButton(b);
    layout->addWidget(b);
    return b;
}

void showUnsaved(QToolButton *indicator, int count)
{
    const QString text = kxTr(EditLogic::unsavedChangesKey(count));
    indicator->setText(text.contains(QLatin1String("%1")) ? text.arg(count)
                       : count > 0                         ? QStringLiteral("%1 (%2)").arg(text).arg(count)
                                                           : text);
    indicator->setStyleSheet(count > 0 ? QStringLiteral("color:#d46b08; font-weight:bold;")
                                       : QStringLiteral("color:#389e0d;"));
    indicator->setEnabled(count > 0);
}

void finishPendingEdit(QWidget *frame)
{
    if (QWidget *focused = QApplication::focusWidget()) {
        if (frame->isAncestorOf(focused))
            focused->clearFocus();
    }
    frame->setFocus();
    QCoreApplication::sendPostedEvents(nullptr, KxValueChangedEvent::eventType());
    QCoreApplication::sendPostedEvents(nullptr, KxCustomChangedEvent::eventType());
}

}  // namespace EditFrameParts
