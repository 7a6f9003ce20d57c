#include "FtpSettingDialog.h"

#include "FtpSettingWidget.h"
#include "KxStyledButtons.h"

#include <QPushButton>
#include <QVBoxLayout>

FtpSettingDialog::FtpSettingDialog(QWidget *parent)
    : NDialogEx(parent)
    , m_widget(new FtpSettingWidget)
{
    setObjectName(QStringLiteral("FtpSettingDialog"));
    setTitle(QStringLiteral("#IDS_FTP_Settings"));
    auto *layout = new QVBoxLayout(contentWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_widget);
    m_widget->load();
    QPushButton *ok = addButton(QStringLiteral("#IDS_OK"), 1);
    ok->setObjectName(QStringLiteral("IDD_OK"));
    QPushButton *cancel = addButton(QStringLiteral("#IDS_Cancel"));
    cancel->setObjectName(QStringLiteral("IDD_CANCEL"));
    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_widget->save())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    fitToWidth(520);
}
