#pragma once
// Changing a setting the way a user does: through its control on a property page.
#include "BCodePropertyWidget.h"
#include "KxControlBase.h"

#include <QSignalSpy>

// Sets a control's value as the user would and waits until the reader answered.
inline bool editValue(BCodePropertyWidget *page, const QString &id, const QString &value)
{
    KxControlBase *c = page ? page->control(id) : nullptr;
    if (!c)
        return false;
    QSignalSpy sent(page, &BCodePropertyWidget::changeSent);
    c->applyValue(value);
    return sent.wait(20000) && sent.last().at(0).toString() == id && sent.last().at(1).toBool();
}
