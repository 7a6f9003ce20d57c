#include "SaveChangedCmdsTipDlg.h"

#include "DoSaveChangedCmds.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QLabel>
#include <QVBoxLayout>

SaveChangedCmdsTipDlg::SaveChangedCmdsTipDlg(QWidget *parent) : NDialogEx(parent)
{
    setTitle(QStringLiteral("#IDS_Tips"));
    setStyleSheet(QStringLiteral("QWidget{font-size:14px; color:#000000;}"));
    auto *lay = new QVBoxLayout(contentWidget());
    auto *text = new QLabel(kxTr(QStringLiteral("#IDS_ChangeAfterSaveChanged_Tips")));
    text->setObjectName(QStringLiteral("labText"));
    text->setWordWrap(true);
    lay->addWidget(text, 1);
    // Buttons in the order the user reads them: cancel, do not save, save.
    const struct {
        const char *key;
        int result;
        int kind;
    } buttons[] = {{"#IDS_Cancel", SaveChoice_Cancel, KxPushButton::Normal},
                   {"#IDS_NotSave", SaveChoice_NotSave, KxPushButton::Normal},
                   {"#IDS_Save", SaveChoice_Save, KxPushButton::Primary}};
    for (const auto &b : buttons) {
        KxPushButton *button = addButton(QLatin1String(b.key), b.kind);
        button->setObjectName(QStringLiteral("btnResult%1").arg(b.result));
        const int result = b.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        m_buttons[b.result] = button;
    }
    buttonRow()->setFixedHeight(40);
    setFixedSize(400, 180);
}

KxPushButton *SaveChangedCmdsTipDlg::button(int result) const
{
    return result >= 0 && result < 3 ? m_buttons[result] : nullptr;
}
