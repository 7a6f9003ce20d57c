#include "KxDiscovery.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace KxDiscovery {

namespace {
const QByteArray kMagic("KXDISC");
constexpr int kHeader = 12;
}

bool isResultType(quint8 type)
{
    return type == NetworkResult || type == AliasResult || type == GroupResult
        || type == BlinkResult;
}

quint8 requestOf(quint8 resultType)
{
    return isResultType(resultType) ? quint8(resultType - 1) : quint8(0);
}

QByteArray encode(const Datagram &d)
{
    QJsonObject o;
    for (auto it = d.fields.cbegin(); it != d.fields.cend(); ++it)
        o.insert(it.key(), it.value());
    if (isResultType(d.type))
        o.insert(QStringLiteral("result"), d.result);
    QByteArray out = kMagic;
    out.append(char(1));
    out.append(char(d.type));
    uchar b[4];
    qToBigEndian(d.transaction, b);
    out.append(reinterpret_cast<const char *>(b), 4);
    out.append(QJsonDocument(o).toJson(QJsonDocument::Compact));
    if (out.size() > MaxDatagram)
        return QByteArray();
    return out;
}

bool decode(const QByteArray &bytes, Datagram *d, QString *error)
{
    auto fail = [error](const char *why) {
        if (error)
            *error = QString::fromLatin1(why);
        return false;
    };
    if (bytes.size() < kHeader || bytes.size() > MaxDatagram || !bytes.startsWith(kMagic))
        return fail("not a discovery datagram");
    if (bytes[6] != 1)
        return fail("unsupported discovery version");
    Datagram out;
    out.type = quint8(bytes[7]);
    if (out.type < Search || out.type > BlinkResult)
        return fail("unknown discovery type");
    out.transaction = qFromBigEndian<quint32>(bytes.constData() + 8);
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes.mid(kHeader), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        return fail("discovery body is not a JSON object");
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.key() == QLatin1String("result") && isResultType(out.type)) {
            if (!it.value().isDouble())
                return fail("discovery result is not a number");
            out.result = it.value().toInt();
            continue;
        }
        if (!it.value().isString())
            return fail("discovery value is not text");
        out.fields.insert(it.key(), it.value().toString());
    }
    if (isResultType(out.type) && !o.contains(QStringLiteral("result")))
        return fail("discovery result missing");
    *d = out;
    return true;
}

}  // namespace KxDiscovery
