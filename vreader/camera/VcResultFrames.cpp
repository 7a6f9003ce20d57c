#include "VcResultFrames.h"

#include "KxLinkFrames.h"
#include "VcGrading.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QtMath>

namespace {

double twoDecimals(double v)
{
    return qRound(v * 100.0) / 100.0;
}

}  // namespace

namespace VcResultFrames {

QByteArray json(const VcResult &r, const VcSender &sender, quint32 seq, quint64 read, bool last)
{
    QJsonObject code;
    code.insert("code", QString::fromUtf8(r.data));
    code.insert("len", r.data.size());
    code.insert("c_id", r.codeId);
    code.insert("l_id", r.configSet);
    code.insert("d_t", twoDecimals(r.decodeMs));
    code.insert("ppm", qRound(r.ppm * 16.0));
    code.insert("i_s", twoDecimals(r.score));
    code.insert("c_q", r.quality);
    code.insert("idx", r.index);
    code.insert("ctr", QJsonArray{r.centre.x(), r.centre.y()});
    QJsonObject quality;
    if (!r.standard.isEmpty()) {
        QJsonObject grades;
        for (auto it = r.grades.cbegin(); it != r.grades.cend(); ++it)
            grades.insert(it.key(), it.value());
        quality.insert(r.standard, grades);
    }
    QJsonObject o;
    o.insert("result", r.noRead ? 0 : 1);
    o.insert("endFlag", last ? 1 : 0);
    o.insert("seq", qint64(seq));
    o.insert("read", qint64(read));
    o.insert("ip", sender.ip);
    o.insert("mac", sender.mac);
    o.insert("sn", sender.serial);
    o.insert("list", QJsonArray{code});
    o.insert("CodeQualitySt", quality);
    return KxKestor::make(KxKestor::Json, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QByteArray record(const VcResult &r, quint32 seq, quint64 read)
{
    QByteArray t;
    auto item = [&t](const char *key, const QByteArray &value) {
        t += key;
        t += '=';
        t += value;
        t += ';';
    };
    item("Barcode Symbology ID", r.codeId.toLatin1());
    item("Barcode PPM", QByteArray::number(r.ppm, 'f', 2));
    item("CfgLibId", QByteArray::number(r.configSet));
    item("Barcode Time", QByteArray::number(r.decodeMs, 'f', 2));
    item("Barcode Length", QByteArray::number(r.data.size()));
    item("Barcode Score", QByteArray::number(r.score, 'f', 2));
    item("Barcode Quality", r.standard.isEmpty() ? QByteArray() : VcGrading::letter(r.quality).toLatin1());
    item("Read Seq", QByteArray::number(seq));
    item("Read Id", QByteArray::number(read));
    t += "Barcode Data=";
    t += r.data;
    t += '\0';
    return t;
}

QByteArray text(const QList<VcResult> &results, quint32 seq, quint64 read)
{
    QByteArray records;
    int number = 0;
    for (const VcResult &r : results) {
        const QByteArray body = record(r, seq, read).left(0xFFFF);
        records += char(0x10);
        records += char(0x21);
        records += char(quint8(++number));
        char length[2];
        qToBigEndian(quint16(body.size()), length);
        records += QByteArray(length, 2);
        records += body;
    }
    const QByteArray payload = "Total Barcode Length=" + QByteArray::number(records.size())
        + ";Total Barcode Data=" + records;
    return KxKestor::make(KxKestor::BarcodeText, payload);
}

QByteArray single(const QByteArray &data)
{
    return KxKestor::make(KxKestor::SingleBarcode, data);
}

}  // namespace VcResultFrames
