#pragma once
// What the reader edit frames (barcode and RFID) share: their tool bar, the indicator of changes
// not yet saved in the reader, and finishing an edit still in progress before they are left.
#include <QString>

class QButtonGroup;
class QHBoxLayout;
class QToolButton;
class QWidget;

namespace EditFrameParts {

// A white strip of tab-like buttons, one of them checked; it lays its buttons out in *layout.
QWidget *makeToolbar(QWidget *parent, QHBoxLayout **layout);
// A checkable button of that bar, added to its layout and to the exclusive group.
QToolButton *addToolButton(QWidget *bar, QHBoxLayout *layout, QButtonGroup *group, const QString &id,
                           const QString &textKey, const QString &icon);
// The indicator's text and colour for this many unsaved changes; clickable only when there are.
void showUnsaved(QToolButton *indicator, int count);
// An editor inside `frame` that still has the focus finishes its edit now, and the value
// events it posts are delivered, so its change is there to be asked about.
void finishPendingEdit(QWidget *frame);

}  // namespace EditFrameParts
