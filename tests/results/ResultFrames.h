#pragma once
// Result frames as a reader sends them, for the result tests and benchmarks.
#include "KxLinkFrames.h"

#include <QByteArray>
#include <QList>
#include <QtEndian>

namespace ResultFrames {

// One text record: "key=value;" items, then "Barcode Data", a separator, the data and an end byte.
inline QByteArray textRecord(const QByteArray &items, const QByteArray &data)
{
    return items + "Barcode Data:" + data + '\r';
}

// A record behind a marker: marker, one byte, u16 length, record.
inline QByteArray marked(const char *marker, const QByteArray &record)
{
    QByteArray out(marker, 2);
    out += char(0);
    char len[2];
    qToBigEndian<quint16>(quint16(record.size()), len);
    out += QByteArray(len, 2);
    return out + record;
}

// A barcode text message payload holding the records.
inline QByteArray textMessage(const QList<QByteArray> &records)
{
    QByteArray body;
    for (const QByteArray &r : records)
        body += marked("\x10\x21", r);
    return "Total Barcode Length=" + QByteArray::number(body.size()) + ";Total Barcode Data:" + body;
}

inline QByteArray kestor(quint16 type, const QByteArray &payload)
{
    return KxKestor::make(type, payload);
}

// A test-result frame: 02 02, the whole frame's size as eight hex digits, one text record.
inline QByteArray testFrame(const QByteArray &record)
{
    const int total = record.size() + 10;
    return QByteArray("\x02\x02", 2) + QByteArray::number(total, 16).rightJustified(8, '0') + record;
}

// An RFID tag frame: AA 55 BB CC, u16 length, antenna, RSSI, EPC, XOR of the body.
inline QByteArray tagFrame(quint8 antenna, qint8 rssi, const QByteArray &epc, bool goodSum = true)
{
    QByteArray body;
    body += char(antenna);
    body += char(rssi);
    body += epc;
    quint8 sum = 0;
    for (char c : body)
        sum ^= quint8(c);
    char len[2];
    qToBigEndian<quint16>(quint16(body.size()), len);
    return QByteArray("\xAA\x55\xBB\xCC", 4) + QByteArray(len, 2) + body
        + char(goodSum ? sum : quint8(sum ^ 0x5A));
}

// A JSON message of n records; seq numbers the codes from first.
inline QByteArray jsonMessage(int n, int first = 0, bool withQuality = true)
{
    QByteArray out = R"({"result":1,"endFlag":1,"seq":7,"ip":"127.0.0.5","mac":"00:11:22:33:44:55","sn":"SN0001","list":[)";
    for (int i = 0; i < n; ++i) {
        if (i)
            out += ',';
        out += R"({"len":12,"c_q":)" + QByteArray::number(40 + (first + i) % 60)
            + R"(,"ppm":64,"d_t":12.5,"l_id":0,"c_id":32,"ai":1,"i_s":91.5,"code":"SEQ)"
            + QByteArray::number(first + i).rightJustified(9, '0') + "\"}";
    }
    out += "]";
    if (withQuality)
        out += R"(,"CodeQualitySt":{})";
    return out + "}";
}

}  // namespace ResultFrames
