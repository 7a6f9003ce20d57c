#include "KxInputDlg.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

KxInputDlg::KxInputDlg(const KxInputRequest &request, QWidget *parent)
    : NDialogEx(parent), m_allowEmpty(request.allowEmpty)
{
    setObjectName(QStringLiteral("KxInputDlg"));
    setTitle(request.title.isEmpty() ? QStringLiteral("#IDS_Tips") : request.title);

    m_label = new QLabel(kxTr(request.label), contentWidget());
    m_label->setObjectName(QStringLiteral("labLabel"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_label->setVisible(!request.label.isEmpty());
    m_edit = new QLineEdit(contentWidget());
    m_edit->setObjectName(QStringLiteral("editValue"));
    m_edit->setMinimumHeight(30);
    if (request.maxLength > 0)
        m_edit->setMaxLength(request.maxLength);
    m_edit->setText(request.text);
    m_edit->selectAll();
    if (!request.placeholder.isEmpty())
        m_edit->setPlaceholderText(kxTr(request.placeholder));

    auto *lay = new QVBoxLayout(contentWidget());
    lay->setContentsMargins(20, 16, 20, 14);
    lay->setSpacing(8);
    lay->addWidget(m_label);
    lay->addWidget(m_edit);

    m_btnOk = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    m_btnOk->setObjectName(QStringLiteral("btnOk"));
    m_btnOk->setDefault(true);
    m_btnCancel = addButton(QStringLiteral("#IDS_Cancel"));
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_edit, &QLineEdit::textChanged, this, &KxInputDlg::updateOk);
    updateOk();
    m_edit->setFocus();

    fitToWidth(360);
}

QString KxInputDlg::textValue() const
{
    return m_edit->text();
}

void KxInputDlg::updateOk()
{
    m_btnOk->setEnabled(m_allowEmpty || !m_edit->text().trimmed().isEmpty());
}

KxInputResult KxInputDlg::ask(const KxInputRequest &request)
{
    KxInputDlg dlg(request, request.parent);
    KxInputResult result;
    result.ok = dlg.exec() == QDialog::Accepted;
    if (result.ok)
        result.text = dlg.textValue();
    return result;
}
