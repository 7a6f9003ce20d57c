#pragma once
// The two password dialogs of the statistics page. Every verdict is shown in a tip box through
// the UI service; a wrong entry keeps the dialog open.
#include "NDialogEx.h"

class QLineEdit;

class PasswordChangeWidget : public NDialogEx
{
    Q_OBJECT
public:
    explicit PasswordChangeWidget(QWidget *parent = nullptr);
    QLineEdit *oldEdit() const { return m_old; }
    QLineEdit *newEdit() const { return m_new; }
    QLineEdit *confirmEdit() const { return m_confirm; }
    KxPushButton *okButton() const { return m_ok; }

private:
    void onOk();
    QLineEdit *m_old;
    QLineEdit *m_new;
    QLineEdit *m_confirm;
    KxPushButton *m_ok;
};

class PasswordValidationWidget : public NDialogEx
{
    Q_OBJECT
public:
    explicit PasswordValidationWidget(QWidget *parent = nullptr);
    QLineEdit *passwordEdit() const { return m_edit; }
    KxPushButton *okButton() const { return m_ok; }

private:
    void onOk();
    QLineEdit *m_edit;
    KxPushButton *m_ok;
};
