// Setting codes in the reader's view: when a read finds one (or the reader is programming), the
// whole image is read again for every code, top to bottom as a person scans a sheet, and the
// codes program the reader instead of being sent as results.
#include "VrReaderEngine.h"

#include "VrSettingCodes.h"

#include <ZXing/ReadBarcode.h>


namespace {
// A sheet is read band by band: rows with many sharp edges hold a code, rows without them are
// paper between codes. One symbol per band, as ZXing 1.4 cannot be asked for several linear
// codes of one image without tripping over its own merging of them.
QList<QPair<int, int>> codeBands(const QImage &grey)
{
    QList<QPair<int, int>> bands;
    int start = -1;
    int quiet = 0;
    for (int y = 0; y <= grey.height(); ++y) {
        int edges = 0;
        if (y < grey.height()) {
            const uchar *row = grey.constScanLine(y);
            for (int x = 1; x < grey.width(); ++x)
                edges += qAbs(int(row[x]) - int(row[x - 1])) > 48;
        }
        if (edges >= 6) {
            if (start < 0)
                start = y;
            quiet = 0;
        } else if (start >= 0 && (++quiet > 3 || y == grey.height())) {
            const int end = y - quiet;
            if (end - start >= 8)
                bands.append({start, end});
            start = -1;
            quiet = 0;
        }
    }
    return bands;
}

QStringList codesTopToBottom(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code128 | ZXing::BarcodeFormat::PDF417
                     | ZXing::BarcodeFormat::QRCode | ZXing::BarcodeFormat::DataMatrix);
    hints.setTryHarder(true);
    hints.setTryRotate(false);
    hints.setTryDownscale(false);
    hints.setMaxNumberOfSymbols(1);
    QStringList texts;
    for (const auto &band : codeBands(grey)) {
        const int top = qMax(0, band.first - 8);
        const int bottom = qMin(grey.height(), band.second + 9);
        const QImage strip = grey.copy(0, top, grey.width(), bottom - top);
        ZXing::ImageView view(strip.constBits(), strip.width(), strip.height(), ZXing::ImageFormat::Lum,
                              strip.bytesPerLine());
        for (const ZXing::Result &r : ZXing::ReadBarcodes(view, hints)) {
            if (r.isValid())
                texts << QString::fromStdString(r.text());
        }
    }
    return texts;
}
} // namespace

bool VrReaderEngine::scanSettingCodes(const VrReaderCamera::Read &r, Outcome *outcome)
{
    if (!m_camera)
        return false;
    bool candidate = m_setupCodes.active();
    for (const VcResult &res : r.results)
        candidate = candidate || VrSettingCodeSession::looksLikeSettingCode(QString::fromUtf8(res.data));
    if (!candidate)
        return false;
    bool consumed = false;
    for (const QString &text : codesTopToBottom(m_camera->lastImage())) {
        const VrSettingCodeSession::Step step = m_setupCodes.feed(text);
        if (!step.consumed)
            continue;
        consumed = true;
        if (!step.error.isEmpty())
            outcome->log << QStringLiteral("setting code ignored: ") + step.error;
        for (const VrSettingCodeSession::Command &c : step.apply)
            applySettingCode(c.code, c.value, outcome);
        if (step.left) {
            if (step.store) {
                for (const QString &code : qAsConst(m_setupApplied)) {
                    if (m_running.contains(code))
                        m_stored.insert(code, m_running.value(code));
                }
                saveState();
            }
            outcome->log << QStringLiteral("setting codes: programming ended, %1 setting(s) %2")
                                .arg(m_setupApplied.size())
                                .arg(step.store ? QStringLiteral("stored") : QStringLiteral("kept until restart"));
            m_setupApplied.clear();
        }
    }
    return consumed || m_setupCodes.active();
}

void VrReaderEngine::applySettingCode(const QString &code, const QByteArray &value, Outcome *outcome)
{
    // A setting code never starts a read: that read would scan the same sheet again.
    if (code == QLatin1String("SCNTRG") || code == QLatin1String("SCNITG")) {
        outcome->log << QStringLiteral("setting code %1 ignored").arg(code);
        return;
    }
    const KxTagInfo t = answer('#', 0, code, value, true, outcome);
    if (t.result != DataResult_Ack) {
        outcome->log << QStringLiteral("setting code refused: %1%2").arg(code, QString::fromUtf8(value));
        return;
    }
    outcome->log << QStringLiteral("setting code: %1%2").arg(code, QString::fromUtf8(value));
    if (!m_setupApplied.contains(code))
        m_setupApplied << code;
}
