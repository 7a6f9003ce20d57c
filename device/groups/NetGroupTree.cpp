#include "NetGroupTree.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>

const char *const NetGroupTree::kMimeType = "application/x-brevan-reader-key";

NetGroupTree::NetGroupTree(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("treeGroups"));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    header()->setStretchLastSection(true);
}

int NetGroupTree::groupOfItem(const QTreeWidgetItem *item)
{
    for (const QTreeWidgetItem *i = item; i; i = i->parent()) {
        const QVariant g = i->data(0, GroupRole);
        if (g.isValid())
            return g.toInt();
    }
    return -2;
}

QStringList NetGroupTree::mimeTypes() const
{
    return {QLatin1String(kMimeType)};
}

QMimeData *NetGroupTree::mimeData(const QList<QTreeWidgetItem *> items) const
{
    const QString key = items.isEmpty() ? QString() : items.first()->data(0, KeyRole).toString();
    if (key.isEmpty())
        return nullptr; // groups are not dragged
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(kMimeType), key.toUtf8());
    return mime;
}

void NetGroupTree::dragMoveEvent(QDragMoveEvent *event)
{
    const bool ok = event->mimeData()->hasFormat(QLatin1String(kMimeType)) &&
                    groupOfItem(itemAt(event->pos())) != -2;
    if (ok)
        event->acceptProposedAction();
    else
        event->ignore();
}

void NetGroupTree::dropEvent(QDropEvent *event)
{
    const QString key =
        QString::fromUtf8(event->mimeData()->data(QLatin1String(kMimeType)));
    const int group = groupOfItem(itemAt(event->pos()));
    // The tree is rebuilt from the model: Qt must not move or delete the dragged item itself.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (!key.isEmpty() && group != -2)
        emit readerDropped(key, group);
}
