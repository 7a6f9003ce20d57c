#pragma once
// Everything one FTP server run needs, with the bounds that keep a misbehaving client small.
#include <QDateTime>
#include <QHostAddress>
#include <QString>

#include <functional>

struct FtpServerConfig
{
    QString root;
    quint16 port = 34210;
    QString user;
    QString password;
    bool readOnly = false;
    // Serve one client address at a time; others are turned away while it is connected.
    bool oneAddressOnly = false;
    QHostAddress listenAddress = QHostAddress::AnyIPv4;
    // Where the per-installation TLS key lives; empty turns AUTH TLS off.
    QString certificateDir;

    int maxConnections = 32;
    int idleTimeoutMs = 5 * 60 * 1000;
    // A data transfer that makes no progress this long is dropped.
    int dataTimeoutMs = 60 * 1000;
    int maxFailedLogins = 3;            // per connection, then it is closed
    int maxFailedLoginsPerAddress = 10; // across connections, then the address waits
    int lockoutMs = 60 * 1000;
    qint64 maxUploadBytes = qint64(4) << 30;
    int maxLineLength = 4096;

    // Free whole gigabytes of the volume holding a folder; compared with the reserve of the
    // local settings before each upload.
    std::function<qint64(const QString &dir)> freeSpaceGb;
    // The clock that names stored uploads and stamps their index records.
    std::function<QDateTime()> clock;
};
