#include "EditPlaceholders.h"

#include "KxI18nUtil.h"
#include "KxStyledButtons.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

EditToolPlaceholderDlg::EditToolPlaceholderDlg(const QString &titleKey, const QStringList &lines,
                                               QWidget *parent)
    : NDialogEx(parent), m_lines(lines)
{
    setObjectName(QStringLiteral("EditToolPlaceholderDlg"));
    setTitle(titleKey);
    auto *layout = new QVBoxLayout(contentWidget());
    auto *label = new QLabel(kxTr(QStringLiteral("#IDS_NotAvailableYet")), contentWidget());
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("font-size:14px; color:#000000;"));
    layout->addWidget(label);
    if (!lines.isEmpty()) {
        auto *text = new QPlainTextEdit(contentWidget());
        text->setReadOnly(true);
        text->setPlainText(lines.join(QLatin1Char('\n')));
        text->setMinimumHeight(200);
        layout->addWidget(text);
    }
    KxPushButton *ok = addButton(QStringLiteral("#IDS_OK"), 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    fitToWidth(460);
}
