#pragma once
// Shared by the camera tests: cutting "KESTOR" frames out of a result stream and reading their
// JSON and text forms back as (data, code id) pairs.
#include "KxFrameAssembler.h"
#include "KxLinkFrames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QSet>
#include <QtEndian>

struct CameraResult
{
    QByteArray data;
    QString codeId;
    bool noRead = false;
    bool last = true;
    qint64 seq = -1;
    QJsonObject json;  // JSON form: the whole message
    QMap<QByteArray, QByteArray> items;  // text form: the record's items
};

class ResultStream
{
public:
    // Takes stream bytes; complete frames are parsed into results.
    void append(const QByteArray &bytes)
    {
        m_assembler.append(bytes);
        KxFrameAssembler::Frame f;
        while (m_assembler.next(&f)) {
            quint16 type = 0;
            QByteArray payload;
            if (f.type != KxFrameAssembler::FrameType::Kestor || !KxKestor::parse(f.bytes, &type, &payload)) {
                ++m_unparsed;
                continue;
            }
            ++m_frames;
            if (type == KxKestor::Json)
                parseJson(payload);
            else if (type == KxKestor::BarcodeText)
                parseText(payload);
            else if (type == KxKestor::SingleBarcode)
                m_results << CameraResult{payload, QString(), false, true, -1, {}, {}};
            else
                ++m_unparsed;
        }
    }
    QList<CameraResult> results() const { return m_results; }
    void clear()
    {
        m_results.clear();
        m_frames = m_unparsed = 0;
    }
    int unparsed() const { return m_unparsed; }
    int frames() const { return m_frames; }
    // A read is complete when its last frame came.
    bool readDone() const { return !m_results.isEmpty() && m_results.last().last; }

    static QSet<QPair<QByteArray, QString>> codes(const QList<CameraResult> &results)
    {
        QSet<QPair<QByteArray, QString>> out;
        for (const CameraResult &r : results) {
            if (!r.noRead)
                out.insert({r.data, r.codeId});
        }
        return out;
    }

private:
    void parseJson(const QByteArray &payload)
    {
        const QJsonObject o = QJsonDocument::fromJson(payload).object();
        if (!o.contains("CodeQualitySt")) {
            ++m_unparsed;
            return;
        }
        for (const QJsonValue &v : o.value("list").toArray()) {
            const QJsonObject c = v.toObject();
            CameraResult r;
            r.data = c.value("code").toString().toUtf8();
            r.codeId = c.value("c_id").toString();
            r.noRead = o.value("result").toInt() == 0;
            r.last = o.value("endFlag").toInt() == 1;
            r.seq = qint64(o.value("seq").toDouble(-1));
            r.json = o;
            m_results << r;
        }
    }
    // "Total Barcode Length=<n>;Total Barcode Data=" then records: 10 21, number, u16 length.
    void parseText(const QByteArray &payload)
    {
        const QByteArray head = "Total Barcode Data=";
        const int start = payload.indexOf(head);
        const int semi = payload.indexOf(';');
        if (!payload.startsWith("Total Barcode Length=") || start < 0 || semi < 0) {
            ++m_unparsed;
            return;
        }
        const QByteArray records = payload.mid(start + head.size());
        if (payload.mid(21, semi - 21).toInt() != records.size()) {
            ++m_unparsed;
            return;
        }
        QList<CameraResult> found;
        for (int at = 0; at + 5 <= records.size();) {
            if (records[at] != char(0x10) || records[at + 1] != char(0x21)) {
                ++m_unparsed;
                return;
            }
            const int length = qFromBigEndian<quint16>(records.constData() + at + 3);
            const QByteArray record = records.mid(at + 5, length);
            at += 5 + length;
            const int data = record.indexOf("Barcode Data=");
            if (data < 0 || !record.endsWith('\0')) {
                ++m_unparsed;
                return;
            }
            CameraResult r;
            for (const QByteArray &item : record.left(data).split(';')) {
                const QList<QByteArray> kv = item.split('=');
                if (kv.size() == 2)
                    r.items.insert(kv[0], kv[1]);
            }
            r.data = record.mid(data + 13, record.size() - data - 14);
            r.codeId = QString::fromLatin1(r.items.value("Barcode Symbology ID"));
            r.noRead = r.codeId == QLatin1String("000");
            r.seq = r.items.value("Read Seq").toLongLong();
            r.last = false;
            found << r;
        }
        if (!found.isEmpty())
            found.last().last = true;
        m_results << found;
    }

    KxFrameAssembler m_assembler{KxFrameAssembler::Side::Client};
    QList<CameraResult> m_results;
    int m_unparsed = 0;
    int m_frames = 0;
};
