#include "SettingCodeSheet.h"

#include "SettingCodeCommands.h"

#include <QFontMetrics>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {
const int kMinHeight = 400;
const int kTextGap = 20;

bool addsSetupCodes(SettingCodeType t)
{
    return t != SettingCodeType::DataMatrixProgramming;
}

bool addsBatchCode(SettingCodeType t)
{
    return t != SettingCodeType::Code128 && t != SettingCodeType::DataMatrixProgramming;
}

QFont labelFont(int ratio)
{
    QFont font;
    font.setPointSize(14 * ratio);
    return font;
}
} // namespace

QStringList SettingCodeSheet::codeTexts(const QStringList &commands, const Options &o)
{
    QStringList texts;
    const QString enter = o.useEPair ? QStringLiteral("@SETUPE1") : QStringLiteral("@SETUPN1");
    const QString exit = o.useEPair ? QStringLiteral("@SETUPE0") : QStringLiteral("@SETUPN0");
    if (addsSetupCodes(o.type) || addsBatchCode(o.type))
        texts << enter;
    if (addsBatchCode(o.type))
        texts << QStringLiteral("@BATCHS");
    if (o.type == SettingCodeType::Code128)
        texts << SettingCodeCommands::singleCodes(commands, o.digitMode ? o.digitThreshold : -1);
    else
        texts << SettingCodeCommands::mergedCodes(commands, o.mergeLimit);
    if (addsSetupCodes(o.type) || addsBatchCode(o.type))
        texts << exit;
    return texts;
}

bool SettingCodeSheet::generate(const QStringList &commands, const Options &options, QString *error)
{
    m_options = options;
    m_options.hRatio = qMax(1, options.hRatio);
    m_options.vRatio = qMax(1, options.vRatio);
    m_options.spacing = qMax(0, options.spacing);
    const bool square = options.type == SettingCodeType::DataMatrix
        || options.type == SettingCodeType::QrCode
        || options.type == SettingCodeType::DataMatrixProgramming;
    if (square)
        m_options.vRatio = m_options.hRatio;
    const int baseHeight = square ? unitWidth() : 60;
    m_items.clear();
    const QStringList texts = codeTexts(commands, options);
    for (const QString &text : texts) {
        // The enter, batch and exit codes are always linear, as readers expect them.
        const bool fixed = text.startsWith(QLatin1String("@SETUP")) || text == QLatin1String("@BATCHS");
        SettingCodeItem item;
        item.fixed = fixed;
        item.label = text;
        item.baseHeight = fixed ? 60 : baseHeight;
        item.image = SettingCodeEncoder::encodeVerified(fixed ? SettingCodeType::Code128 : options.type,
                                                        text, error);
        if (item.image.isNull())
            return false;
        m_items << item;
    }
    return true;
}

bool SettingCodeSheet::batchMode() const
{
    return addsBatchCode(m_options.type);
}

QSize SettingCodeSheet::codeSize(const SettingCodeItem &item) const
{
    if (!item.fixed && item.image.width() > 0 && m_options.type != SettingCodeType::Pdf417
        && m_options.type != SettingCodeType::Code128)
        return item.image.size() * m_options.hRatio; // square codes keep their shape
    const bool bigFixed = item.fixed && batchMode();
    const int h = (bigFixed ? 2 : m_options.vRatio) * item.baseHeight;
    const int maxW = (bigFixed ? 4 : m_options.hRatio) * unitWidth();
    // Never narrower than the bitmap itself: a squeezed code loses modules.
    const int w = qMax(item.image.width() * m_options.hRatio,
                       qMin(item.image.width() * m_options.hRatio, maxW));
    return QSize(w, h);
}

int SettingCodeSheet::contentHeight() const
{
    int total = 0;
    const int textLine = QFontMetrics(labelFont(1)).height() + kTextGap;
    for (const SettingCodeItem &item : m_items)
        total += codeSize(item).height() + (m_options.showText ? textLine : 0) + m_options.spacing;
    if (!m_items.isEmpty())
        total -= m_options.spacing;
    return qMax(kMinHeight, total);
}

int SettingCodeSheet::paint(QPainter *painter, int first, int top, int bottom, int width) const
{
    int y = top;
    painter->setFont(labelFont(1));
    const int textLine = painter->fontMetrics().height() + kTextGap;
    int i = first;
    for (; i < m_items.size(); ++i) {
        const SettingCodeItem &item = m_items.at(i);
        const QSize size = codeSize(item);
        const int needed = size.height() + (m_options.showText ? textLine : 0);
        if (y + needed > bottom && i > first)
            break;
        int codeTop = y;
        if (m_options.showText && m_options.textOnTop) {
            painter->drawText(QRect(0, y, width, textLine), Qt::AlignCenter, item.label);
            codeTop += textLine;
        }
        const QRect target((width - size.width()) / 2, codeTop, size.width(), size.height());
        // One bit per pixel: PDF keeps such images lossless, where grey ones may go to JPEG.
        painter->drawImage(target, item.image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither));
        if (m_options.showText && !m_options.textOnTop)
            painter->drawText(QRect(0, codeTop + size.height(), width, textLine), Qt::AlignCenter, item.label);
        y += needed + m_options.spacing;
    }
    return i;
}

bool SettingCodeSheet::writePdf(const QString &path, const QStringList &header, QString *error) const
{
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(150);
    // Margins in whole pixels: a code placed between pixels blurs every module edge.
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    const int margin = 90;
    QPainter painter;
    if (!painter.begin(&pdf)) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    // Codes are drawn pixel for pixel, so every module stays whole.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect page = pdf.pageLayout().paintRectPixels(pdf.resolution()).adjusted(margin, margin, -margin, -margin);
    painter.translate(page.topLeft());
    const int width = page.width();
    int top = 0;
    painter.setFont(labelFont(1));
    for (const QString &line : header) {
        painter.drawText(QRect(0, top, width, painter.fontMetrics().height()), Qt::AlignLeft, line);
        top += painter.fontMetrics().height();
    }
    top += kTextGap;
    int next = 0;
    while (next < m_items.size()) {
        next = paint(&painter, next, top, page.height(), width);
        if (next < m_items.size()) {
            pdf.newPage();
            top = 0;
        }
    }
    painter.end();
    return true;
}
