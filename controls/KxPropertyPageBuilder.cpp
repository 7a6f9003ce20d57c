// Building and rebuilding the pages of the property widget.
#include "KxPropertyWidget.h"

#include "KxControlBase.h"
#include "KxControlCreator.h"
#include "KxI18nUtil.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDebug>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int MinLabelWidth = 120;
constexpr int NumericFieldWidth = 160; // a number needs no combo-box-wide field
constexpr int HLayoutLabelWidth = 300; // "max-width:300px;" of side-by-side titles
constexpr int RowHeight = 28;          // "min-height:28px" of the item rows

QString layoutOf(const KxGroupInfo *g)
{
    if (g->layout == QLatin1String("FLayout") || g->layout == QLatin1String("HLayout"))
        return g->layout;
    return QStringLiteral("VLayout");
}

void setArrow(QToolButton *button, bool expanded)
{
    button->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    button->setToolTip(kxTr(expanded ? QStringLiteral("#IDS_Collapse") : QStringLiteral("#IDS_Expand")));
}

} // namespace

void KxPropertyWidget::clearPage(_tagKxPropertyInfo &rec)
{
    for (KxControlBase *c : qAsConst(rec.controls)) {
        // Later, not now: this may run inside the control's own change notification.
        c->setSilent(true);
        c->deleteLater();
    }
    rec.controls.clear();
    rec.controlMap.clear();
}

KxControlBase *KxPropertyWidget::createItemControl(_tagKxPropertyInfo &rec, KxGroupInfo *group,
                                                   KxItemInfo *item, QWidget *parent)
{
    KxControlBase *c = KxControlsMnt::instance()->createControl(item->controlType, this);
    if (!c) {
        qWarning() << "KxPropertyWidget::createItemControl()... no control type" << item->controlType
                   << "for" << item->id << "on page" << rec.page->id;
        return nullptr;
    }
    c->setProperty("ID", objectName());
    c->setProperty("PID", rec.page->id);
    c->setProperty("GID", group->id);
    // Label and editor are made inside their group from the start: a widget that arrives later
    // under the page's font gets a font change, and a combo box answers that by building its
    // popup list, which made long pages several times slower to build.
    if (!c->setup(item, parent)) {
        qWarning() << "KxPropertyWidget::createItemControl()... setup failed for" << item->id;
        QWidget *label = c->labelWidget();
        QWidget *editor = c->editorWidget();
        if (label && label->parentWidget() == parent)
            delete label;
        if (editor && editor->parentWidget() == parent)
            delete editor;
        delete c;
        return nullptr;
    }
    const auto pending = rec.pending.constFind(item->id);
    if (pending != rec.pending.constEnd()) {
        // An edit not yet stored survives the rebuild.
        c->setSilent(true);
        c->setValue(*pending);
        c->setSilent(false);
    }
    c->setShowChanged(m_showChanged);
    c->updateTitle(c->value());
    rec.controlMap.insert(item->id, c);
    rec.controls.append(c);
    return c;
}

void KxPropertyWidget::buildPage(_tagKxPropertyInfo &rec)
{
    m_buildingPage = rec.page->id;
    if (!rec.scroll) {
        rec.scroll = new QScrollArea(rec.tab);
        rec.scroll->setObjectName(QStringLiteral("pageScrollArea"));
        // Transparent like ".QScrollArea{background:transparent;}", but through the palette: a
        // style sheet here would cascade to every control of the page and slow building down.
        rec.scroll->setAutoFillBackground(false);
        rec.scroll->viewport()->setAutoFillBackground(false);
        rec.scroll->setFrameShape(QFrame::NoFrame);
        rec.scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        rec.scroll->setWidgetResizable(true);
        rec.scroll->verticalScrollBar()->setSingleStep(24);
    }
    // The content is made in its final place (hidden until set into the scroll area) and gets
    // its font and palette before any child exists, so no change has to travel down the tree.
    auto *content = new QWidget(rec.scroll->viewport());
    content->setObjectName(QStringLiteral("pageContent"));
    content->setAutoFillBackground(false);
    QSizePolicy pol = content->sizePolicy();
    pol.setHorizontalPolicy(QSizePolicy::Ignored);
    content->setSizePolicy(pol);
    QFont f = content->font();
    f.setPixelSize(14);
    content->setFont(f);
    QPalette pal = content->palette();
    pal.setColor(QPalette::WindowText, QColor(0x1f, 0x1f, 0x1f));
    content->setPalette(pal);
    const QVariant maxWidth = rec.page->attributes.value(QStringLiteral("MaxWidth"));
    if (maxWidth.isValid() && maxWidth.toInt() > 0) {
        content->setMaximumWidth(maxWidth.toInt());
        rec.scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    auto *layout = new QVBoxLayout(content);
    layout->setSpacing(10);
    layout->setContentsMargins(24, 16, 24, 24);

    // First the groups and their controls in page order (visibility of later items may depend
    // on earlier ones, and creation order is the keyboard focus order), then the shared label
    // width, then the layouts.
    struct Built
    {
        KxGroupInfo *group;
        QWidget *box;
        QWidget *content;
        QList<KxControlBase *> controls;
    };
    QList<Built> groups;
    for (KxGroupInfo *g : rec.page->groups) {
        if (!isGroupVisible(g))
            continue;
        Built b{g, nullptr, nullptr, {}};
        b.box = createGroupBox(rec, g, content, &b.content);
        for (KxItemInfo *item : g->items) {
            if (!isItemVisible(item))
                continue;
            if (KxControlBase *c = createItemControl(rec, g, item, b.content))
                b.controls.append(c);
        }
        groups.append(b);
    }
    // Widest title with its changed mark, measured once per control.
    const QFontMetrics fm(f);
    QHash<const KxControlBase *, int> titleWidths;
    int labelWidth = MinLabelWidth;
    for (const Built &b : qAsConst(groups)) {
        const bool shared = layoutOf(b.group) != QLatin1String("HLayout");
        for (KxControlBase *c : b.controls) {
            auto *label = qobject_cast<QLabel *>(c->labelWidget());
            if (!label)
                continue;
            // Measured in the font the label will really show (the application style sheet may
            // give labels another size than the page), or long titles are cut instead of wrapped.
            label->ensurePolished();
            const QFontMetrics lfm = label->fontMetrics();
            const int w = qMax(fm.horizontalAdvance(QStringLiteral("%1:*").arg(c->titleText())),
                               lfm.horizontalAdvance(QStringLiteral("%1:*").arg(c->titleText())))
                + 8;
            titleWidths.insert(c, w);
            if (shared)
                labelWidth = qMax(labelWidth, w);
        }
    }
    labelWidth = qMin(labelWidth, m_maxLabelWidth);
    for (const Built &b : qAsConst(groups)) {
        layoutGroup(b.group, b.content, b.controls, labelWidth, titleWidths);
        layout->addWidget(b.box);
    }
    layout->addStretch(1);

    QWidget *old = rec.scroll->takeWidget();
    rec.scroll->setWidget(content);
    rec.content = content;
    if (old) {
        old->hide();
        old->deleteLater();
    }
    m_buildingPage.clear();
    for (KxControlBase *c : qAsConst(rec.controls))
        c->pageShown();
}

QWidget *KxPropertyWidget::createGroupBox(_tagKxPropertyInfo &rec, KxGroupInfo *group, QWidget *parent,
                                          QWidget **contentOut)
{
    auto *box = new QWidget(parent);
    box->setObjectName(QStringLiteral("_Group_%1").arg(group->id));
    auto *outer = new QVBoxLayout(box);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(10);
    const bool expanded = rec.expanded.value(group->id, group->expanded);

    // The title row comes first so that its collapse button precedes the items in tab order.
    QToolButton *toggle = nullptr;
    if (!group->displayName.isEmpty()) {
        auto *title = new QHBoxLayout();
        title->setSpacing(10);
        title->setContentsMargins(0, 6, 0, 0);
        auto *bar = new QWidget(box);
        bar->setAttribute(Qt::WA_StyledBackground);
        bar->setStyleSheet(QString::fromLatin1(GroupBarStyle));
        bar->setFixedSize(4, 14);
        auto *name = new QLabel(kxTr(group->displayName), box);
        name->setObjectName(QStringLiteral("_GroupTitle_%1").arg(group->id));
        name->setStyleSheet(QString::fromLatin1(GroupTitleStyle));
        toggle = new QToolButton(box);
        toggle->setObjectName(QStringLiteral("_GroupToggle_%1").arg(group->id));
        toggle->setAutoRaise(true);
        toggle->setStyleSheet(QString::fromLatin1(GroupButtonStyle));
        toggle->setCursor(Qt::PointingHandCursor);
        toggle->setFixedSize(20, 20);
        setArrow(toggle, expanded);
        title->addWidget(bar, 0, Qt::AlignVCenter);
        title->addWidget(name, 0, Qt::AlignVCenter);
        title->addWidget(toggle, 0, Qt::AlignVCenter);
        title->addStretch(1);
        outer->addLayout(title);
    }

    auto *content = new QWidget(box);
    content->setProperty("isGroupContentWidget", true);
    content->setObjectName(QStringLiteral("_GroupContent_%1").arg(group->id));
    outer->addWidget(content);
    content->setVisible(expanded);
    if (toggle) {
        const QString pageId = rec.page->id;
        const QString groupId = group->id;
        connect(toggle, &QToolButton::clicked, this, [this, toggle, content, pageId, groupId]() {
            _tagKxPropertyInfo *r = info(pageId);
            const bool show = !content->isVisibleTo(content->parentWidget());
            content->setVisible(show);
            setArrow(toggle, show);
            if (r)
                r->expanded.insert(groupId, show);
        });
    }

    auto *line = new QWidget(box);
    line->setObjectName(QStringLiteral("_GroupLine_%1").arg(group->id));
    line->setAttribute(Qt::WA_StyledBackground);
    line->setStyleSheet(QString::fromLatin1(GroupLineStyle));
    line->setFixedHeight(6);
    outer->addWidget(line);
    *contentOut = content;
    return box;
}

void KxPropertyWidget::layoutGroup(KxGroupInfo *group, QWidget *content, const QList<KxControlBase *> &list,
                                   int labelWidth, const QHash<const KxControlBase *, int> &titleWidths)
{
    const QString kind = layoutOf(group);
    QString labelBody;
    if (kind == QLatin1String("FLayout"))
        labelBody = QStringLiteral("width:150px;");
    else if (kind == QLatin1String("HLayout"))
        labelBody = QStringLiteral("max-width:300px;");
    labelBody += group->styleSheet;
    const QString labelSheet = labelBody.isEmpty() ? QString() : QStringLiteral(".QLabel{%1}").arg(labelBody);
    const bool ownFont = group->styleSheet.contains(QLatin1String("font"), Qt::CaseInsensitive);

    auto placeLabel = [&](KxControlBase *c) -> QLabel * {
        auto *l = qobject_cast<QLabel *>(c->labelWidget());
        if (!l)
            return nullptr;
        if (l->parentWidget() != content)
            l->setParent(content);
        if (!labelSheet.isEmpty())
            l->setStyleSheet(labelSheet);
        // Placed at the top of its row and one editor line high: centred on single-line
        // editors, on the first line of tall ones (text edits, option grids).
        l->setMinimumHeight(qMax(l->minimumHeight(), RowHeight));
        // A title that fits its column on one line needs no wrapping; a wrapping label makes
        // the layout ask it for its height at every width, which is slow on long pages.
        const int room = kind == QLatin1String("HLayout") ? HLayoutLabelWidth : labelWidth;
        if (l->wordWrap() && !ownFont && titleWidths.value(c, room + 1) <= room)
            l->setWordWrap(false);
        return l;
    };
    auto placeEditor = [&](KxControlBase *c) {
        QWidget *e = c->editorWidget();
        if (e->parentWidget() != content)
            e->setParent(content);
        // Every row is at least one editor line high, so rows keep one rhythm whatever control
        // they hold; a plain number field is narrower than a list, unless the page sizes it.
        // Composite editors keep the minimum their own layout asks for.
        if (!e->layout() && e->maximumHeight() >= RowHeight)
            e->setMinimumHeight(qMax(e->minimumHeight(), RowHeight));
        if (qobject_cast<QAbstractSpinBox *>(e) && e->maximumWidth() >= QWIDGETSIZE_MAX)
            e->setMaximumWidth(qMax(NumericFieldWidth, e->minimumWidth()));
        return e;
    };

    if (kind == QLatin1String("HLayout")) {
        auto *row = new QHBoxLayout(content);
        row->setContentsMargins(14, 0, 0, 0);
        row->setSpacing(16);
        for (KxControlBase *c : list) {
            QLabel *l = placeLabel(c);
            QWidget *e = placeEditor(c);
            auto *cell = new QHBoxLayout();
            cell->setSpacing(8);
            if (l && !l->isHidden())
                cell->addWidget(l, 0, Qt::AlignVCenter);
            cell->addWidget(e, 1);
            row->addLayout(cell, 1);
        }
    } else if (kind == QLatin1String("FLayout")) {
        auto *form = new QFormLayout(content);
        form->setContentsMargins(14, 0, 0, 0);
        form->setHorizontalSpacing(16);
        form->setVerticalSpacing(10);
        form->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        form->setRowWrapPolicy(QFormLayout::DontWrapRows);
        for (KxControlBase *c : list) {
            QLabel *l = placeLabel(c);
            QWidget *e = placeEditor(c);
            auto *field = new QHBoxLayout();
            field->addWidget(e);
            field->addStretch(1);
            e->setMinimumWidth(qMax(e->minimumWidth(), qMin(m_editorColumnWidth, e->maximumWidth())));
            if (l && !l->isHidden()) {
                c->setLabelWidth(labelWidth);
                if (!c->item()->attributes.contains(QStringLiteral("AutoFit")))
                    l->setMaximumWidth(labelWidth);
                form->addRow(l, field);
            } else {
                form->addRow(field);
            }
        }
    } else {
        auto *grid = new QGridLayout(content);
        grid->setContentsMargins(14, 0, 0, 0);
        grid->setHorizontalSpacing(16);
        grid->setVerticalSpacing(10);
        grid->setColumnMinimumWidth(1, m_editorColumnWidth);
        grid->setColumnStretch(2, 1);
        int row = 0;
        for (KxControlBase *c : list) {
            QLabel *l = placeLabel(c);
            QWidget *e = placeEditor(c);
            if (l && !l->isHidden()) {
                c->setLabelWidth(labelWidth);
                if (!c->item()->attributes.contains(QStringLiteral("AutoFit")))
                    l->setMaximumWidth(labelWidth);
                grid->addWidget(l, row, 0, Qt::AlignTop);
                grid->addWidget(e, row, 1, qobject_cast<QAbstractSpinBox *>(e) ? Qt::AlignLeft : Qt::Alignment());
            } else {
                grid->addWidget(e, row, 0, 1, 2);
            }
            ++row;
        }
    }
}

void KxPropertyWidget::rebuildPage(const QString &pageId)
{
    _tagKxPropertyInfo *rec = info(pageId);
    if (!rec || !rec->scroll)
        return;
    ++m_rebuilds;
    // Keep the place: which control had the focus and where the page was scrolled to.
    QString focusId;
    QWidget *focus = QApplication::focusWidget();
    if (focus && rec->content && rec->content->isAncestorOf(focus)) {
        for (KxControlBase *c : qAsConst(rec->controls)) {
            QWidget *e = c->editorWidget();
            if (e && (e == focus || e->isAncestorOf(focus))) {
                focusId = c->itemId();
                break;
            }
        }
    }
    const int scroll = rec->scroll->verticalScrollBar()->value();
    refreshPending(*rec);
    clearPage(*rec);
    buildPage(*rec);
    if (rec->content->layout())
        rec->content->layout()->activate();
    rec->scroll->verticalScrollBar()->setValue(scroll);
    if (!focusId.isEmpty()) {
        if (KxControlBase *c = control(focusId, pageId)) {
            if (QWidget *e = c->editorWidget()) {
                QWidget *target = e->focusPolicy() != Qt::NoFocus ? e : e->nextInFocusChain();
                if (target && e->isAncestorOf(target))
                    target->setFocus(Qt::OtherFocusReason);
                else
                    e->setFocus(Qt::OtherFocusReason);
            }
        }
    }
    const int idx = m_order.indexOf(pageId);
    if (idx >= 0)
        m_tabs->setTabVisible(idx, isPageVisible(rec->page));
    notifyPageCreated(pageId);
}
