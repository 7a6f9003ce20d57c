#include "SettingCodeSheet.h"

#include "SettingCodeCommands.h"

#include <QFontMetrics>
#include <QPageSize>
#include <QPainter>
#include <QPagedPaintDevice>
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

// 14 points on the 150 dpi page, in pixels, so the text keeps its size on every device the
// layout is scaled to (screen, PDF, printer).
QFont labelFont(int ratio)
{
    QFont font;
    font.setPixelSize(14 * ratio * SettingCodeSheet::kPageDpi / 72);
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

void SettingCodeSheet::reset(const Options &options)
{
    m_items.clear();
    setLayout(options);
    m_options.type = options.type;
    m_options.useEPair = options.useEPair;
    m_options.digitMode = options.digitMode;
    m_options.digitThreshold = options.digitThreshold;
    m_options.mergeLimit = options.mergeLimit;
}

void SettingCodeSheet::setLayout(const Options &options)
{
    m_options.hRatio = qMax(1, options.hRatio);
    m_options.vRatio = qMax(1, options.vRatio);
    m_options.spacing = qMax(0, options.spacing);
    m_options.showText = options.showText;
    m_options.textOnTop = options.textOnTop;
    const SettingCodeType t = m_options.type;
    if (t == SettingCodeType::DataMatrix || t == SettingCodeType::QrCode
        || t == SettingCodeType::DataMatrixProgramming)
        m_options.vRatio = m_options.hRatio;
}

bool SettingCodeSheet::append(const QString &text, const QString &label, QString *error)
{
    const SettingCodeType t = m_options.type;
    const bool square = t == SettingCodeType::DataMatrix || t == SettingCodeType::QrCode
        || t == SettingCodeType::DataMatrixProgramming;
    // The enter, batch and exit codes are always linear, as readers expect them.
    const bool fixed = text.startsWith(QLatin1String("@SETUP")) || text == QLatin1String("@BATCHS");
    SettingCodeItem item;
    item.fixed = fixed;
    item.label = label;
    item.baseHeight = fixed || !square ? 60 : unitWidth();
    item.image = SettingCodeEncoder::encodeVerified(fixed ? SettingCodeType::Code128 : t, text, error);
    if (item.image.isNull())
        return false;
    m_items << item;
    return true;
}

bool SettingCodeSheet::generate(const QStringList &commands, const Options &options, QString *error)
{
    m_options.type = options.type;
    reset(options);
    for (const QString &text : codeTexts(commands, options)) {
        if (!append(text, text, error))
            return false;
    }
    return true;
}

bool SettingCodeSheet::batchMode() const
{
    return addsBatchCode(m_options.type);
}

QSize SettingCodeSheet::codeSize(const SettingCodeItem &item) const
{
    // Zint draws linear and stacked codes at 2 pixels per module, matrix codes at 4. Drawn 1:1
    // on a 150 dpi page, a 2-pixel module is lost whenever a renderer or printer places the
    // code half a pixel off (bars swell into the spaces), so those codes are drawn at 3 pixels
    // per module (0.5 mm), whole pixels for every module.
    const SettingCodeType type = item.fixed ? SettingCodeType::Code128 : m_options.type;
    const bool twoPixelModules = type == SettingCodeType::Code128 || type == SettingCodeType::Pdf417;
    const int w = item.image.width() * m_options.hRatio * (twoPixelModules ? 3 : 2) / 2;
    if (type == SettingCodeType::Pdf417)
        return QSize(w, item.image.height() * m_options.vRatio * 3 / 2);
    if (type != SettingCodeType::Code128)
        return item.image.size() * m_options.hRatio; // square codes keep their shape
    const bool bigFixed = item.fixed && batchMode();
    return QSize(w, (bigFixed ? 2 : m_options.vRatio) * item.baseHeight);
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
        // A grey image, not a one-bit one: PDF turns one-bit images into stencil masks, which
        // viewers fill with anti-aliased edges that swallow the light modules of a 150 dpi code.
        // The lossless hint keeps the grey image out of JPEG.
        painter->setRenderHint(QPainter::LosslessImageRendering, true);
        // Scaled here, module for module, so the page holds the picture at its drawn size and
        // no viewer resamples it.
        painter->drawImage(target.topLeft(), item.image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                                 .convertToFormat(QImage::Format_Grayscale8));
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
    pdf.setResolution(kPageDpi);
    if (!paintPages(&pdf, header)) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool SettingCodeSheet::paintPages(QPagedPaintDevice *device, const QStringList &header) const
{
    // Margins in whole pixels: a code placed between pixels blurs every module edge.
    device->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    const int margin = 90 * device->logicalDpiX() / kPageDpi;
    QPainter painter;
    if (!painter.begin(device))
        return false;
    // The layout is made in pixels of a 150 dpi page; other devices (printers) scale it.
    const double scale = double(device->logicalDpiX()) / kPageDpi;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect full(0, 0, device->width(), device->height());
    const QRect page = full.adjusted(margin, margin, -margin, -margin);
    painter.translate(page.topLeft());
    painter.scale(scale, scale);
    const int width = int(page.width() / scale);
    const int height = int(page.height() / scale);
    int top = 0;
    painter.setFont(labelFont(1));
    for (const QString &line : header) {
        painter.drawText(QRect(0, top, width, painter.fontMetrics().height()), Qt::AlignLeft, line);
        top += painter.fontMetrics().height();
    }
    top += kTextGap;
    int next = 0;
    while (next < m_items.size()) {
        next = paint(&painter, next, top, height, width);
        if (next < m_items.size()) {
            device->newPage();
            top = 0;
        }
    }
    return painter.end();
}
