#pragma once
// Whether an address is already taken before a reader is moved to it: the system ping, run
// only for addresses the device kit may talk to (127.0.0.0/8 on these machines). The loopback
// interface answers for its whole block, so there an answer alone proves nothing: a loopback
// address counts as taken only when something also accepts connections on the reader's
// command port there.
#include <QByteArray>
#include <QString>
#include <QStringList>

class KxAddressProbe
{
public:
    virtual ~KxAddressProbe() = default;

    // This computer's IPv4 addresses.
    static QStringList localAddresses();
    // "ping -c 1 -W 1 <ip>" split into program and arguments.
    static QString pingProgram() { return QStringLiteral("ping"); }
    static QStringList pingArguments(const QString &ip);
    // The ping's output shows an answer ("ttl" in any case).
    static bool pingAnswered(const QByteArray &output);
    // Only addresses the kit's policy allows are ever pinged.
    static bool mayProbe(const QString &ip);

    // Runs the ping (bounded to a few seconds); false when refused or unanswered.
    static bool ping(const QString &ip);
    // Whether a TCP connection to ip:port is accepted within timeoutMs (loopback only).
    static bool portAnswers(const QString &ip, quint16 port, int timeoutMs = 500);

    virtual bool isTaken(const QString &ip, quint16 commandPort);
};
