#pragma once
// Results a reader kept while no client held it ("WLSBAT"): how many it holds, the pages it
// hands over, and the table and files made of them. No widgets.
#include "KxResultTypes.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QStringList>

struct StoredResult
{
    QDateTime time;           // when the reader made it
    qint64 read = -1;         // the reader's read number
    STRUCT_BARCODE_INFO info; // the result message as the result stream reports it
};

struct StoredCount
{
    int count = 0;
    int capacity = 0;
    qint64 lost = 0;  // the oldest ones that gave way to newer ones in a full store
};

namespace StoredResults {
// "<count>,<capacity>,<lost>" from "WLSCNT"; false when it is not of that form.
bool parseCount(const QByteArray &value, StoredCount *out);
// One "WLSGET" page: a JSON array of {"time", "msg"}; records whose message the result stream
// would not accept are an error, so nothing is silently dropped.
bool parsePage(const QByteArray &value, const QHash<QString, QString> &symbologies,
               QList<StoredResult> *out, QString *error);
// The table shown and saved: column keys, then one row of texts per result.
QStringList headKeys();
QStringList row(const StoredResult &r);
// Writes the table to path: a workbook for ".xlsx", comma-separated text otherwise.
bool save(const QString &path, const QStringList &head, const QList<StoredResult> &results,
          QString *error);
// Comma-separated text with quoting where a cell needs it, CR LF line ends.
QByteArray csv(const QStringList &head, const QList<QStringList> &rows);
}  // namespace StoredResults
