#pragma once
// Code grades as the reader sends them in its grading records: per code the overall grade and
// every parameter grade, the history of successive reads, and a printable PDF. No widgets.
#include "KxResultTypes.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QVector>

struct QualityGrade
{
    QString name;  // display name: the record's prefix and key, "BQ15416_cDEC"
    QString key;   // "cDEC"
    int grade = -1;
};

struct QualityRead
{
    QDateTime time;
    qint64 seq = -1;
    QString standard;  // "ISO 15416", "ISO 15415" or "ISO 29158"
    QVector<QualityGrade> grades;  // in the record's key order, "cALL" first
    int overall() const;
};

struct QualityCode
{
    QString symbology;
    QByteArray data;
    QVector<QualityRead> reads;  // oldest first, at most QualityReport::kReadsPerCode
};

class QualityReport
{
public:
    static constexpr int kReadsPerCode = 500;
    static constexpr int kCodes = 200;

    // The grading record a barcode carries, as one read; false when it carries none.
    static bool gradesOf(const STRUCT_BARCODE_INFO &info, QualityRead *out);
    // 4 "A" .. 0 "F"; "-" for a missing grade.
    static QString letter(int grade);

    // Adds the graded barcodes; the others are skipped. Returns how many were added.
    int add(const QList<STRUCT_BARCODE_INFO> &batch, const QDateTime &now = QDateTime::currentDateTime());
    void clear() { m_codes.clear(); }
    const QVector<QualityCode> &codes() const { return m_codes; }

    // A PDF: per code the latest grades with their names and the overall grades of its reads.
    // texts: readable names by grade key ("cDEC"), and "reads" for the read count's label.
    bool writePdf(const QString &path, const QString &title, const QString &readerName,
                  const QHash<QString, QString> &texts, QString *error) const;

private:
    QVector<QualityCode> m_codes;
};
