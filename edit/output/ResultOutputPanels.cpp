// The three table panels: their columns and how a record becomes a row.
#include "KxI18nUtil.h"
#include "ResultOutputNetWidget.h"
#include "ResultOutputTableViewModel.h"
#include "ResultOutputTestExWidget.h"
#include "ResultOutputTestWidget.h"

namespace {
const QString kQuality = QStringLiteral("#IDS_BarCode_Quality");
const QString kEngraving = QStringLiteral("#IDS_EngravingQuality");

QString text(const QByteArray &data)
{
    return QString::fromUtf8(data);
}

QString aiText(int ai)
{
    return ai >= 0 ? QString::number(ai) : QString();
}

QString configSet(const QString &id)
{
    return id.isEmpty() || id == QLatin1String("-1") || id == QLatin1String("0") ? kxTr(QStringLiteral("#IDS_CurrentConfigLib"))
                                                     : id;
}
}  // namespace

// ---- result table ---------------------------------------------------------------------------

ResultOutputNetWidget::ResultOutputNetWidget(QWidget *parent)
    : ResultOutputTableWidget(columnKeys(), QStringLiteral("NetOutputHead"), parent)
{
}

QStringList ResultOutputNetWidget::columnKeys()
{
    return {QStringLiteral("#IDS_Type"),         QStringLiteral("#IDS_Data"),
            QStringLiteral("#IDS_Length"),       QStringLiteral("PPM"),
            QStringLiteral("IP"),                QStringLiteral("MAC"),
            QStringLiteral("#IDS_SerialNumber"), kQuality,
            QStringLiteral("#IDS_DecodeTime_ms"), QStringLiteral("#IDS_ConfigLib"),
            QStringLiteral("AI")};
}

void ResultOutputNetWidget::setEngravingQuality(bool engraving)
{
    model()->setColumnKey(columnOf(kQuality), engraving ? kEngraving : kQuality);
    fitColumns();
}

QString ResultOutputNetWidget::exportFilter() const
{
    return QStringLiteral("excel (*.xlsx);;txt (*.txt)");
}

QStringList ResultOutputNetWidget::rowFor(const STRUCT_BARCODE_INFO &info)
{
    return {info.symbology,       text(info.data),  QString::number(info.length),
            info.ppm,             info.ip,          info.mac,
            info.sn,              info.quality,     info.decodeTimeText,
            info.cfgLibId,        aiText(info.ai)};
}

void ResultOutputNetWidget::addBarcodes(const QList<STRUCT_BARCODE_INFO> &barcodes)
{
    QVector<QStringList> rows;
    rows.reserve(barcodes.size());
    for (const STRUCT_BARCODE_INFO &info : barcodes)
        rows.append(rowFor(info));
    appendRows(rows);
}

// ---- read test ------------------------------------------------------------------------------

ResultOutputTestWidget::ResultOutputTestWidget(QWidget *parent)
    : ResultOutputTableWidget(columnKeys(), QStringLiteral("TestOutputHead"), parent)
{
}

QStringList ResultOutputTestWidget::columnKeys()
{
    return {QStringLiteral("#IDS_ReadResult"),     QStringLiteral("#IDS_BarCode_Content"),
            QStringLiteral("#IDS_CodeSystem"),     QStringLiteral("#IDS_CurrentReadRate"),
            QStringLiteral("#IDS_DecodeTime_ms"),  kEngraving,
            kQuality};
}

QStringList ResultOutputTestWidget::rowFor(const STRU_TEST_RESULT_INFO &info)
{
    const STRUCT_BARCODE_INFO &b = info.item.barcode;
    const QString rate = info.readRate.isEmpty() ? QString() : QStringLiteral("%1%").arg(info.readRate);
    return {info.ok ? QStringLiteral("OK") : QStringLiteral("NG"),
            text(b.data), b.symbology, rate, b.decodeTimeText, b.quality, b.score};
}

void ResultOutputTestWidget::addTestResults(const QList<STRU_TEST_RESULT_INFO> &results)
{
    QVector<QStringList> rows;
    rows.reserve(results.size());
    for (const STRU_TEST_RESULT_INFO &info : results)
        rows.append(rowFor(info));
    appendRows(rows);
}

// ---- debug test -----------------------------------------------------------------------------

ResultOutputTestExWidget::ResultOutputTestExWidget(QWidget *parent)
    : ResultOutputTableWidget(columnKeys(), QStringLiteral("TestExOutputHead"), parent)
{
}

QStringList ResultOutputTestExWidget::columnKeys()
{
    return {QStringLiteral("#IDS_Type"),          QStringLiteral("#IDS_Data"),
            QStringLiteral("#IDS_Length"),        QStringLiteral("PPM"),
            QStringLiteral("#IDS_MatchingLevel"), QStringLiteral("IP"),
            QStringLiteral("MAC"),                QStringLiteral("#IDS_SerialNumber"),
            kQuality,                             QStringLiteral("#IDS_DecodeTime_ms"),
            QStringLiteral("#IDS_ConfigLib"),     QStringLiteral("#IDS_AIPosition")};
}

void ResultOutputTestExWidget::setEngravingQuality(bool engraving)
{
    model()->setColumnKey(columnOf(kQuality), engraving ? kEngraving : kQuality);
    fitColumns();
}

QStringList ResultOutputTestExWidget::rowFor(const STRU_TEST_RESULT_INFO &info)
{
    const STRUCT_BARCODE_INFO &b = info.item.barcode;
    return {b.symbology,
            info.ok ? text(b.data) : QStringLiteral("NG"),
            QString::number(b.length),
            b.ppm,
            info.matchingLevel,
            info.item.ownerIp,
            info.item.ownerMac,
            info.item.ownerSn,
            b.quality,
            b.decodeTimeText,
            configSet(b.cfgLibId),
            info.aiPosition};
}

void ResultOutputTestExWidget::addTestResults(const QList<STRU_TEST_RESULT_INFO> &results)
{
    QVector<QStringList> rows;
    rows.reserve(results.size());
    for (const STRU_TEST_RESULT_INFO &info : results)
        rows.append(rowFor(info));
    appendRows(rows);
}
