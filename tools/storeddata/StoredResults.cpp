#include "StoredResults.h"

#include "BarcodeParse.h"
#include "KxXls.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace StoredResults {

bool parseCount(const QByteArray &value, StoredCount *out)
{
    const QList<QByteArray> parts = value.trimmed().split(',');
    if (parts.size() != 3)
        return false;
    bool ok[3] = {};
    StoredCount c;
    c.count = parts[0].toInt(&ok[0]);
    c.capacity = parts[1].toInt(&ok[1]);
    c.lost = parts[2].toLongLong(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || c.count < 0 || c.capacity < 0 || c.lost < 0)
        return false;
    *out = c;
    return true;
}

bool parsePage(const QByteArray &value, const QHash<QString, QString> &symbologies,
               QList<StoredResult> *out, QString *error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(value, &pe);
    if (!doc.isArray()) {
        *error = QStringLiteral("not a list of results: %1").arg(pe.errorString());
        return false;
    }
    BarcodeParse parse;
    parse.setSymbologyNames(symbologies);
    QList<StoredResult> page;
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QJsonObject msg = o.value(QStringLiteral("msg")).toObject();
        StoredResult r;
        r.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        r.read = msg.value(QStringLiteral("read")).toVariant().toLongLong();
        if (!r.time.isValid() || !parse.parseJson(QJsonDocument(msg).toJson(QJsonDocument::Compact))) {
            *error = QStringLiteral("result %1 of the page is not readable").arg(page.size() + 1);
            return false;
        }
        const QList<STRUCT_BARCODE_INFO> got = parse.takeBarcodes();
        if (got.size() != 1) {
            *error = QStringLiteral("result %1 of the page holds %2 codes").arg(page.size() + 1).arg(got.size());
            return false;
        }
        r.info = got.first();
        page << r;
    }
    *out += page;
    return true;
}

QStringList headKeys()
{
    return {QStringLiteral("#IDS_Sync_Time"), QStringLiteral("#IDS_Sync_Seq"), QStringLiteral("#IDS_Sync_Result"),
            QStringLiteral("#IDS_Sync_Symbology"), QStringLiteral("#IDS_Sync_Data"),
            QStringLiteral("#IDS_Sync_DecodeTime"), QStringLiteral("#IDS_Sync_Quality")};
}

QStringList row(const StoredResult &r)
{
    const STRUCT_BARCODE_INFO &b = r.info;
    return {r.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), QString::number(b.seq),
            b.result == 1 ? QStringLiteral("OK") : QStringLiteral("NG"), b.symbology,
            QString::fromUtf8(b.data), b.decodeTimeText, b.quality};
}

QByteArray csv(const QStringList &head, const QList<QStringList> &rows)
{
    auto line = [](const QStringList &cells) {
        QStringList out;
        for (QString c : cells) {
            if (c.contains(QLatin1Char(',')) || c.contains(QLatin1Char('"')) || c.contains(QLatin1Char('\n'))
                || c.contains(QLatin1Char('\r'))) {
                c.replace(QLatin1String("\""), QLatin1String("\"\""));
                c = QLatin1Char('"') + c + QLatin1Char('"');
            }
            out << c;
        }
        return out.join(QLatin1Char(',')).toUtf8() + "\r\n";
    };
    QByteArray text = line(head);
    for (const QStringList &r : rows)
        text += line(r);
    return text;
}

bool save(const QString &path, const QStringList &head, const QList<StoredResult> &results,
          QString *error)
{
    QList<QStringList> rows;
    for (const StoredResult &r : results)
        rows << row(r);
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0) {
        if (KxXls::exportExcel(path, head, rows))
            return true;
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    // Excel opens UTF-8 text correctly only with the byte order mark.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write("\xEF\xBB\xBF" + csv(head, rows)) < 0 || !f.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

}  // namespace StoredResults
