#pragma once
// One configuration set as the reader stores it: an "MPCADD" record, upper-case hexadecimal text
// of a 48-byte header and a body that holds the set's own values of a few imaging commands in
// the data-stream form without envelope (docs/reader-protocol.md, "Configuration sets").
#include "KxDataStreamTypes.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

struct ConfigLibRecord
{
    static constexpr int HeaderSize = 48;
    static constexpr int MaxNameBytes = 32;
    // Retry counts of a set run from 1 to 255 (one byte).
    static constexpr int MaxRetryCount = 255;

    int id = -1;
    int retryCount = 1;
    int enable = 0;
    QString name;
    bool hasImageGroup = false;
    int imageGroupNo = 0;
    int taskNo = 1;       // kept on the wire only with an image group
    QByteArray body;      // the set's values, data-stream form without envelope

    // The per-set command codes, in record order.
    static const QStringList &setCodes();

    // Hex text to record. False (out untouched) when the text is not hexadecimal, shorter than
    // the header, or its body length differs from the header's.
    static bool fromHex(const QByteArray &hex, ConfigLibRecord *out, QString *error = nullptr);
    // The header followed by the body; empty when the header does not come out at 48 bytes.
    QByteArray toBytes() const;
    QByteArray toHex() const { return toBytes().toHex().toUpper(); }

    // The values of the body (code to value); empty when the body cannot be parsed.
    QMap<QString, QByteArray> values() const;
    QByteArray value(const QString &code) const { return values().value(code); }
    // Sets one code's value in the body; the body keeps the per-set codes' order.
    void setValue(const QString &code, const QByteArray &value);
    static QByteArray bodyOf(const QMap<QString, QByteArray> &values);

    // A user's new name for a set: every ":" removed, trimmed. Returns the message key of the
    // first rule broken ("#IDS_ConfigNameIsEmpty", "#IDS_ConfigNameIsExist",
    // "#IDS_ConfigNameTooLong"), or an empty string when the cleaned name is accepted.
    static QString checkName(const QString &typed, const QStringList &otherNames, QString *cleaned);

    // Records of a reader's "MPCADD" value, joined with "|"; unreadable parts are skipped.
    static QList<ConfigLibRecord> splitList(const QByteArray &joined);
    static QByteArray joinList(const QList<ConfigLibRecord> &records);
};
