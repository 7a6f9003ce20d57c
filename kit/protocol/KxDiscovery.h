#pragma once
// Discovery datagrams: "KXDISC", version, type, transaction id, compact JSON.
#include <QByteArray>
#include <QMap>
#include <QString>

namespace KxDiscovery {

constexpr int MaxDatagram = 65000;

enum Type : quint8 {
    Search = 1,
    Information = 2,
    NetworkRequest = 3,
    NetworkResult = 4,
    AliasRequest = 5,
    AliasResult = 6,
    GroupRequest = 7,
    GroupResult = 8,
    BlinkRequest = 9,
    BlinkResult = 10,
};

// Result values of the result datagrams.
enum Result { Result_Success = 1, Result_Failure = 2 };

struct Datagram
{
    quint8 type = Search;
    quint32 transaction = 0;
    QMap<QString, QString> fields;  // text values
    int result = 0;                 // result datagrams only ("result" number)
};

bool isResultType(quint8 type);
// The request type answered by a result type (4 -> 3 ...), 0 for others.
quint8 requestOf(quint8 resultType);

QByteArray encode(const Datagram &datagram);
bool decode(const QByteArray &bytes, Datagram *datagram, QString *error = nullptr);

}  // namespace KxDiscovery
