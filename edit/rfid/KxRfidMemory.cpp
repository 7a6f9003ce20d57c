#include "KxRfidMemory.h"

#include "KxDataStreamParser.h"

#include <QStringList>

namespace KxRfidMemory {

int bankWords(int bank, int epcBytes)
{
    switch (bank) {
    case Bank_Reserved: return 4;
    case Bank_Epc: return 2 + (epcBytes + 1) / 2;
    case Bank_Tid: return 6;
    case Bank_User: return 32;
    default: return 0;
    }
}

static QByteArray request(const char *code, const QByteArray &epc, int bank, int pointer,
                          const QByteArray &last)
{
    return QByteArray(code) + epc.toHex().toUpper() + '|' + QByteArray::number(bank) + '|'
        + QByteArray::number(pointer) + '|' + last;
}

QByteArray readRequest(const QByteArray &epc, int bank, int wordPointer, int wordCount)
{
    return request("#URFTRD", epc, bank, wordPointer, QByteArray::number(wordCount));
}

QByteArray writeRequest(const QByteArray &epc, int bank, int wordPointer, const QByteArray &hexWords)
{
    return request("#URFTWR", epc, bank, wordPointer, hexWords);
}

bool parseWords(const QString &text, QByteArray *hex)
{
    QByteArray out;
    for (QChar c : text) {
        if (c.isSpace())
            continue;
        const char l = c.toLatin1();
        if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f') || (l >= 'A' && l <= 'F')))
            return false;
        out += char(QChar::fromLatin1(l).toUpper().toLatin1());
    }
    if (out.isEmpty() || out.size() % 4 != 0)
        return false;
    *hex = out;
    return true;
}

QString formatWords(const QByteArray &hex)
{
    QStringList words;
    for (int i = 0; i < hex.size(); i += 4)
        words << QString::fromLatin1(hex.mid(i, 4));
    return words.join(QLatin1Char(' '));
}

QByteArray epcAfterWrite(const QByteArray &epc, int bank, int wordPointer, const QByteArray &hexWords)
{
    if (bank != Bank_Epc)
        return epc;
    QByteArray out = epc;
    const QByteArray data = QByteArray::fromHex(hexWords);
    // Word w of the bank is byte 2 * (w - 2) of the EPC.
    for (int i = 0; i < data.size(); ++i) {
        const int at = 2 * (wordPointer - 2) + i;
        if (at >= 0 && at < out.size())
            out[at] = data[i];
    }
    return out;
}

Reply parseReply(const QByteArray &reply, const QString &code)
{
    Reply r;
    KxDataStreamParser parser(reply, DataType_Frame);
    if (!parser.isValid())
        return r;
    for (const KxTagInfo &tag : parser.tags()) {
        if (tag.code != code)
            continue;
        r.answered = true;
        r.ok = tag.result == DataResult_Ack;
        r.value = tag.value();
        if (const KxSubTag *e = tag.subTag(QStringLiteral("E")))
            r.reason = QString::fromLatin1(e->value);
        return r;
    }
    return r;
}

QString reasonKey(const QString &reason)
{
    static const char *const known[] = {"NOTAG", "RANGE", "LOCKED", "BADREQ", "REGION", "CHANNEL"};
    for (const char *k : known) {
        if (reason == QLatin1String(k))
            return QStringLiteral("#IDS_Rfid_Err_") + reason;
    }
    return QStringLiteral("#IDS_Rfid_Err_Other");
}

} // namespace KxRfidMemory
