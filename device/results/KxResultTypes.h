#pragma once
// Records of decoded results: barcodes with their optional grading, test results and RFID tags.
// They travel in lists through queued signals from the consumer thread to the pages.
#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <array>

// One grade of a grading record: its key ("cALL") and value.
struct STRUCT_BQ
{
    QString key;
    int grade = -1;
};

// A grading record: integer grades under a fixed list of keys; -1 where the reader sent none.
template <int N>
struct KxGradeRecord
{
    bool present = false;
    std::array<int, N> grades;
    KxGradeRecord() { grades.fill(-1); }
};

struct STRUCT_BQ15415 : KxGradeRecord<13>
{
    static const std::array<const char *, 13> &keys();
    static QString prefix() { return QStringLiteral("BQ15415_"); }
};
struct STRUCT_BQ15416 : KxGradeRecord<10>
{
    static const std::array<const char *, 10> &keys();
    static QString prefix() { return QStringLiteral("BQ15416_"); }
};
struct STRUCT_BQ29158 : KxGradeRecord<14>
{
    static const std::array<const char *, 14> &keys();
    static QString prefix() { return QStringLiteral("BQ29158_"); }
};

// The grade of key in record, -1 when the key is unknown or the grade absent.
template <typename R>
int kxGrade(const R &record, const char *key)
{
    const auto &keys = R::keys();
    for (size_t i = 0; i < keys.size(); ++i)
        if (qstrcmp(keys[i], key) == 0)
            return record.grades[i];
    return -1;
}

// The present grades of a record, keys shown with the record's prefix ("BQ15415_cALL").
template <typename R>
QList<STRUCT_BQ> kxGradeEntries(const R &record)
{
    QList<STRUCT_BQ> out;
    if (!record.present)
        return out;
    const auto &keys = R::keys();
    for (size_t i = 0; i < keys.size(); ++i)
        if (record.grades[i] >= 0)
            out.append({R::prefix() + QLatin1String(keys[i]), record.grades[i]});
    return out;
}

// One decoded barcode.
struct STRUCT_BARCODE_INFO
{
    QByteArray data;
    // False for the reader's no-read messages; graded records are also taken as false once a
    // batch leaves the consumer thread, as their grades carry the verdict.
    bool goodRead = true;
    QString symbology;
    QString ppm;
    int ai = -1;
    QString cfgLibId;
    double decodeTime = 0.0;
    QString decodeTimeText;
    int length = 0;
    QString score;
    QString quality;
    bool hasGrading = false;
    STRUCT_BQ15415 bq15415;
    STRUCT_BQ15416 bq15416;
    STRUCT_BQ29158 bq29158;
    QString ip;
    QString mac;
    QString sn;
    int result = 0;
    int endFlag = 0;
    // The reader's frame sequence number ("seq", "Read Seq"); a gap means lost frames.
    qint64 seq = -1;
    bool valid = false;
};

// A barcode inside a multi-barcode test message, with the reader that owns it.
struct STRU_TEST_MUL_BARCODE_INFO
{
    STRUCT_BARCODE_INFO barcode;
    QString role;     // "Gr Role" of the owner in its network group
    QString ownerSn;
    QString ownerMac;
    QString ownerIp;
};

// One test result: a read test or debug test verdict for one barcode.
struct STRU_TEST_RESULT_INFO
{
    STRU_TEST_MUL_BARCODE_INFO item;
    bool ok = false;          // "Test Result" is "OK"
    QString readRate;         // "Read Rate", percent without the sign
    QString matchingLevel;    // "Match Level"
    QString aiPosition;       // "AI Position"
    bool valid = false;
};

// One RFID tag read.
struct STRUCT_TAG_INFO
{
    QByteArray epc;
    int antenna = 0;
    int rssi = 0;             // dBm
    QString epcHex() const { return QString::fromLatin1(epc.toHex().toUpper()); }
};

Q_DECLARE_METATYPE(STRUCT_BQ)
Q_DECLARE_METATYPE(STRUCT_BARCODE_INFO)
Q_DECLARE_METATYPE(STRU_TEST_MUL_BARCODE_INFO)
Q_DECLARE_METATYPE(STRU_TEST_RESULT_INFO)
Q_DECLARE_METATYPE(STRUCT_TAG_INFO)

// Registers the records and their lists for queued signals; safe to call more than once.
void kxRegisterResultTypes();
