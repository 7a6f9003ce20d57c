#include "ConfigLibRecord.h"

#include "KxDataStreamParser.h"

#include <QtEndian>

namespace {

const QByteArray kNone = "99";

void putU16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

quint16 u16At(const QByteArray &b, int at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

bool isHex(const QByteArray &text)
{
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return text.size() % 2 == 0;
}

}  // namespace

const QStringList &ConfigLibRecord::setCodes()
{
    static const QStringList codes = {QStringLiteral("ILLPOS"), QStringLiteral("FOCPOS"),
                                      QStringLiteral("EXPFGN"), QStringLiteral("EXPFET"),
                                      QStringLiteral("IPPGAM"), QStringLiteral("IPPDEN"),
                                      QStringLiteral("IPPEDC")};
    return codes;
}

bool ConfigLibRecord::fromHex(const QByteArray &hex, ConfigLibRecord *out, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QByteArray text = hex.trimmed();
    if (!isHex(text))
        return fail(QStringLiteral("not hexadecimal text"));
    const QByteArray b = QByteArray::fromHex(text);
    if (b.size() < HeaderSize)
        return fail(QStringLiteral("%1 bytes, shorter than the %2-byte header").arg(b.size()).arg(HeaderSize));
    const quint32 bodyLength = qFromLittleEndian<quint32>(b.constData() + 36);
    if (quint64(b.size() - HeaderSize) != bodyLength)
        return fail(QStringLiteral("body of %1 bytes, the header says %2").arg(b.size() - HeaderSize).arg(bodyLength));
    ConfigLibRecord r;
    r.id = qint16(u16At(b, 0));
    r.retryCount = quint8(b[2]);
    r.enable = b[3] == '1' ? 1 : 0;
    QByteArray name = b.mid(4, MaxNameBytes);
    const int end = name.indexOf('\0');
    if (end >= 0)
        name.truncate(end);
    r.name = QString::fromLocal8Bit(name);
    const QByteArray group = b.mid(40, 2);
    r.hasImageGroup = group != kNone;
    r.imageGroupNo = r.hasImageGroup ? u16At(b, 40) : 0;
    const QByteArray task = b.mid(42, 2);
    r.taskNo = task != kNone ? u16At(b, 42) : 1;
    r.body = b.mid(HeaderSize);
    *out = r;
    return true;
}

QByteArray ConfigLibRecord::toBytes() const
{
    QByteArray out;
    putU16(out, quint16(qint16(id)));
    out.append(char(quint8(qBound(0, retryCount, 255))));
    out.append(enable ? '1' : '0');
    const QByteArray name = this->name.toLocal8Bit();
    out.append(name.left(MaxNameBytes).leftJustified(MaxNameBytes, '\0'));
    char len[4];
    qToLittleEndian(quint32(body.size()), len);
    out.append(len, 4);
    if (hasImageGroup) {
        putU16(out, quint16(imageGroupNo));
        putU16(out, quint16(taskNo));
    } else {
        out.append(kNone);
        out.append(kNone);
    }
    out.append("9999");
    if (out.size() != HeaderSize)
        return {};
    return out + body;
}

QMap<QString, QByteArray> ConfigLibRecord::values() const
{
    QMap<QString, QByteArray> out;
    if (body.isEmpty())
        return out;
    KxDataStreamParser p;
    if (!p.setDataWithoutHeader(body))
        return out;
    for (const KxTagInfo &t : p.tags())
        out.insert(t.code, t.value());
    return out;
}

void ConfigLibRecord::setValue(const QString &code, const QByteArray &value)
{
    QMap<QString, QByteArray> v = values();
    v.insert(code, value);
    body = bodyOf(v);
}

QByteArray ConfigLibRecord::bodyOf(const QMap<QString, QByteArray> &values)
{
    KxSettingsReply reply;
    reply.prefix = '@';
    auto add = [&reply](const QString &code, const QByteArray &value) {
        KxTagInfo t;
        t.code = code;
        t.subTags.append(KxSubTag{QString(), DataResult_Ack, value});
        reply.tags.append(t);
    };
    for (const QString &code : setCodes()) {
        if (values.contains(code))
            add(code, values.value(code));
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!setCodes().contains(it.key()))
            add(it.key(), it.value());
    }
    return KxEncodeSettingsReply(reply);
}

QString ConfigLibRecord::checkName(const QString &typed, const QStringList &otherNames, QString *cleaned)
{
    QString name = typed;
    name.remove(QLatin1Char(':'));
    name = name.trimmed();
    if (cleaned)
        *cleaned = name;
    if (name.isEmpty())
        return QStringLiteral("#IDS_ConfigNameIsEmpty");
    if (otherNames.contains(name))
        return QStringLiteral("#IDS_ConfigNameIsExist");
    if (name.toLocal8Bit().size() > MaxNameBytes)
        return QStringLiteral("#IDS_ConfigNameTooLong");
    return QString();
}

QList<ConfigLibRecord> ConfigLibRecord::splitList(const QByteArray &joined)
{
    QList<ConfigLibRecord> out;
    for (const QByteArray &part : joined.split('|')) {
        ConfigLibRecord r;
        if (!part.isEmpty() && fromHex(part, &r))
            out << r;
    }
    return out;
}

QByteArray ConfigLibRecord::joinList(const QList<ConfigLibRecord> &records)
{
    QByteArrayList parts;
    for (const ConfigLibRecord &r : records)
        parts << r.toHex();
    return parts.join('|');
}
