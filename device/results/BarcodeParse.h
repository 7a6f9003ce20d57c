#pragma once
// Turns result frames into records: "KESTOR" frames (single barcode, barcode text messages,
// multi-barcode test messages, JSON messages), test-result frames (02 02) and RFID tag frames
// (AA 55 BB CC). Records collect until taken. Used on one thread at a time.
#include "KxResultTypes.h"

#include <QHash>
#include <QMap>
#include <QObject>

class BarcodeParse : public QObject
{
    Q_OBJECT
public:
    // Which grading the quality text comes from when grading is shown.
    enum ModelKind { Kind_ISO15416 = 0, Kind_ISO15415 = 1, Kind_ISO29158 = 2 };

    explicit BarcodeParse(QObject *parent = nullptr);

    void setGradingDisplay(bool on) { m_gradingDisplay = on; }
    void setModelKind(int kind) { m_modelKind = kind; }
    // Code id (such as "032") -> symbology name.
    void setSymbologyNames(const QHash<QString, QString> &names);
    QString symbologyName(const QString &codeId) const;
    // The reader's no-read messages: a barcode equal to one of them is not a good read.
    void setNoReadMessages(const QList<QByteArray> &messages) { m_noReads = messages; }
    bool isNoRead(const QByteArray &data) const { return m_noReads.contains(data); }
    // From the reader's "NGRENA", "NGRSET" (hex), "TSUENA", "TSUSET" (hex) values.
    static QList<QByteArray> noReadMessages(const QByteArray &ngrEna, const QByteArray &ngrSet,
                                            const QByteArray &tsuEna, const QByteArray &tsuSet);

    // A whole "KESTOR" frame; false when it yields nothing.
    bool parseFrame(const QByteArray &frame);
    // A barcode text message payload (types 4129 and 2081): its records, in order.
    static QList<QByteArray> splitTextMessage(const QByteArray &payload);
    // One text record into a barcode; false without "Barcode Data".
    bool parseText(const QByteArray &record, STRUCT_BARCODE_INFO &out,
                   QMap<QString, QByteArray> *items = nullptr) const;
    // One JSON message; false unless it parses and carries "CodeQualitySt".
    bool parseJson(const QByteArray &json);
    // A whole test-result frame (02 02 ...).
    bool parseTestFrame(const QByteArray &frame);
    // A whole RFID tag frame (AA 55 BB CC ...); false on a bad checksum.
    bool parseTagFrame(const QByteArray &frame);

    // A finished message delivered as it stands (no frame around it).
    STRUCT_BARCODE_INFO plainBarcode(const QByteArray &data) const;

    // Takers: hand over what was collected and start again.
    QList<STRUCT_BARCODE_INFO> takeBarcodes(bool *hasGrading = nullptr);
    QList<STRU_TEST_RESULT_INFO> takeTestResults();
    QList<STRUCT_TAG_INFO> takeTags();
    // Payloads of camera result frames (compact JSON), at most the newest 64.
    QList<QByteArray> takeVisionResults();
    int pendingBarcodes() const { return m_barcodes.size(); }
    int pendingTags() const { return m_tags.size(); }

    static QString twoDecimals(double v) { return QString::number(v, 'f', 2); }
    // The same text, kept for the values a stream repeats (decode times, scores, ppm).
    QString twoDecimalsCached(double v);
    static QString scoreLetter(int score);

    static constexpr char kRecordMarker[2] = {0x10, 0x21};
    static constexpr char kTestMarker[2] = {0x10, 0x25};

private:
    bool parseTestMessage(const QByteArray &frame);
    bool testRecord(const QByteArray &record, STRU_TEST_RESULT_INFO &out) const;
    QString gradeLetterFrom(const STRUCT_BARCODE_INFO &info) const;
    QString symbologyOf(int codeId);
    QString intText(int v);

    bool m_gradingDisplay = false;
    int m_modelKind = Kind_ISO15416;
    QHash<QString, QString> m_symbologies;
    QList<QByteArray> m_noReads;
    QList<STRUCT_BARCODE_INFO> m_barcodes;
    bool m_hasGrading = false;
    QList<STRU_TEST_RESULT_INFO> m_tests;
    QList<QByteArray> m_visionResults;
    // Texts made once per distinct value: a JSON stream repeats few of them.
    QHash<qint64, QString> m_decimalTexts;
    QHash<int, QString> m_symbologyById;
    QHash<int, QString> m_intTexts;
    QList<STRUCT_TAG_INFO> m_tags;
};
