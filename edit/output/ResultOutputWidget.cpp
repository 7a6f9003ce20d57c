#include "ResultOutputWidget.h"

#include "LazyPlainTextEdit.h"

#include <QDateTime>
#include <QTextBlock>
#include <QToolButton>

ResultOutputWidget::ResultOutputWidget(QWidget *parent) : ResultOutputBaseWidget(parent)
{
    m_text = new LazyPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("ResultOutputText"));
    m_text->setStyleSheet(QStringLiteral("QPlainTextEdit{border:1px solid #dbdbdb; background:#ffffff;}"));
    setContent(m_text);
    connect(addToolButton(QStringLiteral("#IDS_ClearImageAndBarcodeData"), QStringLiteral("clear")),
            &QToolButton::clicked, this, [this] {
                clear();
                emit btnClearCliked();
            });
    connect(addToolButton(QStringLiteral("#ID_TEXT_COPY"), QStringLiteral("copy")),
            &QToolButton::clicked, this, &ResultOutputBaseWidget::copyToClipboard);
    connect(addToolButton(QStringLiteral("#IDS_GenerateReport"), QStringLiteral("export")),
            &QToolButton::clicked, this, &ResultOutputBaseWidget::exportReport);
}

QString ResultOutputWidget::lineFor(const STRUCT_BARCODE_INFO &info)
{
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    QString data = QString::fromUtf8(info.data);
    data.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("[%1] %2").arg(time, data);
}

void ResultOutputWidget::addBarcodes(const QList<STRUCT_BARCODE_INFO> &barcodes)
{
    QStringList out;
    out.reserve(barcodes.size());
    for (const STRUCT_BARCODE_INFO &info : barcodes)
        out.append(lineFor(info));
    m_text->appendLines(out);
}

void ResultOutputWidget::clear()
{
    m_text->clearAll();
}

QStringList ResultOutputWidget::lines() const
{
    m_text->flush();
    QStringList out;
    for (QTextBlock b = m_text->document()->begin(); b.isValid(); b = b.next())
        if (!b.text().isEmpty())
            out.append(b.text());
    return out;
}

QString ResultOutputWidget::copyText() const
{
    QString text;
    for (const QString &line : lines())
        text += line + QLatin1String("\r\n");
    return text;
}

QStringList ResultOutputWidget::exportHead() const
{
    return {};
}

QList<QStringList> ResultOutputWidget::exportRows() const
{
    QList<QStringList> rows;
    for (const QString &line : lines())
        rows.append({line});
    return rows;
}

int ResultOutputWidget::rowCount() const
{
    return lines().size();
}
