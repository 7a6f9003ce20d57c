#include "PasswordWidgets.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "StatisticsPassword.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {
QLineEdit *passwordField(QWidget *parent, const QString &name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setEchoMode(QLineEdit::Password);
    e->setMaxLength(64);
    e->setMinimumWidth(220);
    return e;
}
}  // namespace

PasswordChangeWidget::PasswordChangeWidget(QWidget *parent) : NDialogEx(parent)
{
    setObjectName(QStringLiteral("PasswordChangeWidget"));
    setTitle(QStringLiteral("#IDS_Statistics_ChangePassword"));
    auto *form = new QFormLayout(contentWidget());
    m_old = passwordField(contentWidget(), QStringLiteral("editOldPassword"));
    m_new = passwordField(contentWidget(), QStringLiteral("editNewPassword"));
    m_confirm = passwordField(contentWidget(), QStringLiteral("editConfirmPassword"));
    form->addRow(kxTr(QStringLiteral("#IDS_Statistics_OldPassword")), m_old);
    form->addRow(kxTr(QStringLiteral("#IDS_Statistics_NewPassword")), m_new);
    form->addRow(kxTr(QStringLiteral("#IDS_Statistics_ConfirmPassword")), m_confirm);
    m_ok = addButton(QStringLiteral("#IDS_OK"), 1);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    connect(m_ok, &QPushButton::clicked, this, &PasswordChangeWidget::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    fitToWidth(400);
}

void PasswordChangeWidget::onOk()
{
    const QString key = StatisticsPassword::change(m_old->text(), m_new->text(), m_confirm->text());
    KxUi()->information(key, QStringLiteral("#IDS_Tips"), this);
    if (key == QLatin1String("#ID_PWD_OK"))
        accept();
}

PasswordValidationWidget::PasswordValidationWidget(QWidget *parent) : NDialogEx(parent)
{
    setObjectName(QStringLiteral("PasswordValidationWidget"));
    setTitle(QStringLiteral("#IDS_Statistics_Unlock"));
    auto *form = new QFormLayout(contentWidget());
    auto *tip = new QLabel(kxTr(QStringLiteral("#IDS_Statistics_LockedTips")), contentWidget());
    tip->setWordWrap(true);
    form->addRow(tip);
    m_edit = passwordField(contentWidget(), QStringLiteral("editPassword"));
    form->addRow(kxTr(QStringLiteral("#IDS_Statistics_EnterPassword")), m_edit);
    m_ok = addButton(QStringLiteral("#IDS_OK"), 1);
    KxPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    connect(m_ok, &QPushButton::clicked, this, &PasswordValidationWidget::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    fitToWidth(400);
}

void PasswordValidationWidget::onOk()
{
    if (StatisticsPassword::matches(m_edit->text())) {
        accept();
        return;
    }
    KxUi()->information(QStringLiteral("#ID_PWD_ERROR5"), QStringLiteral("#IDS_Tips"), this);
    m_edit->selectAll();
}
