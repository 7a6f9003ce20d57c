#include "EditPlaceholders.h"

#include "DeviceEditClient.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxStyledButtons.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>

EditPlaceholderFrame::EditPlaceholderFrame(const QString &titleKey, QWidget *parent)
    : IPluginWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("labPlaceholder"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setStyleSheet(QStringLiteral("font-size:16px; color:#595959;"));
    m_label->setText(QStringLiteral("%1\n\n%2").arg(kxTr(titleKey), kxTr(QStringLiteral("#IDS_NotAvailableYet"))));
    layout->addWidget(m_label, 1);
    // Nothing else on this page leads anywhere: the way back has to be here.
    auto *back = new KxPushButton(QStringLiteral("#IDS_Back"), KxPushButton::Primary, this);
    back->setObjectName(QStringLiteral("btnBack"));
    connect(back, &QPushButton::clicked, this, [] { DeviceEditClient::showMainPage(); });
    layout->addWidget(back, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

QString EditPlaceholderFrame::text() const
{
    return m_label->text();
}

bool EditPlaceholderFrame::openDeviceById(const QString &deviceId, const QVariant &param)
{
    m_deviceId = deviceId;
    m_param = param;
    ++m_opens;
    return true;
}

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
