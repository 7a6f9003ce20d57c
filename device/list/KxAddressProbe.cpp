#include "KxAddressProbe.h"

#include "KxAddressPolicy.h"

#include <QDebug>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QProcess>
#include <QTcpSocket>

QStringList KxAddressProbe::localAddresses()
{
    QStringList out;
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !out.contains(a.toString()))
            out << a.toString();
    }
    return out;
}

QStringList KxAddressProbe::pingArguments(const QString &ip)
{
    // "ping -c 1 -W 1 %1"
    return {QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("1"),
            ip};
}

bool KxAddressProbe::pingAnswered(const QByteArray &output)
{
    return output.toLower().contains("ttl");
}

bool KxAddressProbe::mayProbe(const QString &ip)
{
    QHostAddress a;
    return a.setAddress(ip) && a.protocol() == QAbstractSocket::IPv4Protocol &&
           KxAddressPolicy::isAllowed(a);
}

bool KxAddressProbe::ping(const QString &ip)
{
    if (!mayProbe(ip)) {
        qWarning().noquote() << "KxAddressProbe::ping()... not pinged, outside the allowed range:"
                             << ip;
        return false;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(pingProgram(), pingArguments(ip));
    if (!p.waitForStarted(2000)) {
        qWarning() << "KxAddressProbe::ping()... cannot run ping:" << p.errorString();
        return false;
    }
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return pingAnswered(p.readAll());
}

bool KxAddressProbe::portAnswers(const QString &ip, quint16 port, int timeoutMs)
{
    if (!mayProbe(ip) || port == 0)
        return false;
    QTcpSocket s;
    s.connectToHost(QHostAddress(ip), port);
    const bool ok = s.waitForConnected(timeoutMs);
    s.abort();
    return ok;
}

bool KxAddressProbe::isTaken(const QString &ip, quint16 commandPort)
{
    if (!ping(ip))
        return false;
    const QHostAddress a(ip);
    if (a.isLoopback())
        return portAnswers(ip, commandPort);
    return true;
}
