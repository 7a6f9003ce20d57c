#pragma once
// The short question about unsaved changes: cancel (0), do not save (2), save (1).
#include "NDialogEx.h"

class KxPushButton;

class SaveChangedCmdsTipDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit SaveChangedCmdsTipDlg(QWidget *parent = nullptr);
    // The button that ends the dialog with this result (0, 1 or 2).
    KxPushButton *button(int result) const;

private:
    KxPushButton *m_buttons[3] = {};
};
