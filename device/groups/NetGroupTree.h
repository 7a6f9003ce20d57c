#pragma once
// The editor's tree: one top item per group with its master and slaves below, and last the
// readers in no group. Readers are dragged onto a group (or one of its members) to join it, or
// onto the ungrouped item to leave; the tree itself moves nothing, the editor rebuilds it.
#include <QTreeWidget>

class NetGroupTree : public QTreeWidget
{
    Q_OBJECT
public:
    static constexpr int KeyRole = Qt::UserRole + 1;   // reader key on reader items
    static constexpr int GroupRole = Qt::UserRole + 2; // group number; -1 on the ungrouped item
    static const char *const kMimeType;

    explicit NetGroupTree(QWidget *parent = nullptr);

    // The group an item stands for or belongs to; -1 for the ungrouped readers, -2 for none.
    static int groupOfItem(const QTreeWidgetItem *item);

signals:
    void readerDropped(const QString &key, int groupId);

protected:
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QTreeWidgetItem *> items) const override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
