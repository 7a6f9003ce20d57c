#include "MakeBarcodeWidget.h"

#include <QPainter>

MakeBarcodeWidget::MakeBarcodeWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MakeBarcodeWidget"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    m_options.spacing = 20;
    relayout();
}

void MakeBarcodeWidget::setEncodeType(SettingCodeType type)
{
    m_options.type = type;
}

void MakeBarcodeWidget::setRatios(int horizontal, int vertical)
{
    m_options.hRatio = qMax(1, horizontal);
    m_options.vRatio = qMax(1, vertical);
    m_sheet.setLayout(m_options);
    relayout();
}

void MakeBarcodeWidget::setSpacing(int pixels)
{
    m_options.spacing = qMax(0, pixels);
    m_sheet.setLayout(m_options);
    relayout();
}

void MakeBarcodeWidget::setShowText(bool show, bool onTop)
{
    m_options.showText = show;
    m_options.textOnTop = onTop;
    m_sheet.setLayout(m_options);
    relayout();
}

bool MakeBarcodeWidget::generate(const QStringList &commands, bool digitMode, int digitThreshold,
                                 QString *error)
{
    m_options.digitMode = digitMode;
    m_options.digitThreshold = digitThreshold;
    const bool ok = m_sheet.generate(commands, m_options, error);
    m_begun = m_ended = true;
    relayout();
    return ok;
}

bool MakeBarcodeWidget::addsSetupCodes() const
{
    return m_options.type != SettingCodeType::DataMatrixProgramming;
}

bool MakeBarcodeWidget::addsBatchCode() const
{
    return m_options.type != SettingCodeType::Code128
        && m_options.type != SettingCodeType::DataMatrixProgramming;
}

void MakeBarcodeWidget::clear()
{
    m_sheet.reset(m_options);
    m_begun = m_ended = false;
    relayout();
}

void MakeBarcodeWidget::begin()
{
    if (m_begun)
        return;
    m_begun = true;
    m_sheet.reset(m_options);
    QString ignored; // the fixed codes are short and always render
    if (addsSetupCodes() || addsBatchCode())
        m_sheet.append(m_options.useEPair ? QStringLiteral("@SETUPE1") : QStringLiteral("@SETUPN1"),
                       m_options.useEPair ? QStringLiteral("@SETUPE1") : QStringLiteral("@SETUPN1"), &ignored);
    if (addsBatchCode())
        m_sheet.append(QStringLiteral("@BATCHS"), QStringLiteral("@BATCHS"), &ignored);
}

bool MakeBarcodeWidget::addCode(const QString &text, const QString &label, bool update, QString *error)
{
    const bool ok = m_sheet.append(text, label, error);
    if (update)
        relayout();
    return ok;
}

bool MakeBarcodeWidget::end(bool addExitCode, QString *error)
{
    bool ok = true;
    if (!m_ended && (addsSetupCodes() || addsBatchCode()) && addExitCode) {
        const QString exit = m_options.useEPair ? QStringLiteral("@SETUPE0") : QStringLiteral("@SETUPN0");
        ok = m_sheet.append(exit, exit, error);
    }
    m_ended = true;
    relayout();
    return ok;
}

void MakeBarcodeWidget::relayout()
{
    setMinimumHeight(contentHeight() + 2 * kMargin);
    updateGeometry();
    update();
}

QSize MakeBarcodeWidget::sizeHint() const
{
    int width = 300;
    for (const SettingCodeItem &item : m_sheet.items())
        width = qMax(width, m_sheet.codeSize(item).width() + 40);
    return QSize(width, contentHeight() + 2 * kMargin);
}

void MakeBarcodeWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    m_sheet.paint(&painter, 0, kMargin, INT_MAX, width());
}
