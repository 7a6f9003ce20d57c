#pragma once
// The "KESTOR" result frames a reader sends for its reads: one JSON frame per code, one text
// message per read, or the bare data. Pure functions, no state.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QString>

struct VcResult
{
    QByteArray data;
    QString codeId;        // "033"; "000" for the no-read message
    bool noRead = false;
    int configSet = 0;
    double decodeMs = 0;
    double ppm = 0;        // pixels per module
    double score = 0;      // 0..100
    int quality = 0;       // 0..100
    QString standard;      // grading standard; empty with grading off
    QMap<QString, int> grades;
    QPoint centre;
    int index = 0;         // position in the read
};

struct VcSender
{
    QString ip;
    QString mac;
    QString serial;
};

namespace VcResultFrames {
// Type 65281. endFlag marks the last frame of a read.
QByteArray json(const VcResult &result, const VcSender &sender, quint32 seq, quint64 read,
                bool last);
// Type 4129: one record per result.
QByteArray text(const QList<VcResult> &results, quint32 seq, quint64 read);
// One record's text, with its end byte.
QByteArray record(const VcResult &result, quint32 seq, quint64 read);
// Type 4128: the data only.
QByteArray single(const QByteArray &data);
}  // namespace VcResultFrames
