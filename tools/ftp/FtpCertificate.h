#pragma once
// The server's TLS identity: a key and a self-signed certificate made for this installation at
// first use and kept in the data directory, so no two installations share a key.
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

struct FtpCertificate
{
    QSslCertificate certificate;
    QSslKey key;
    bool isValid() const { return !certificate.isNull() && !key.isNull(); }

    // Reads "<dir>/ftp-key.pem" and "<dir>/ftp-cert.pem", creating both when either is missing
    // or unreadable. The key file is readable by its owner only.
    static FtpCertificate loadOrCreate(const QString &dir, QString *error = nullptr);
    // A fresh EC P-256 key and a certificate for `commonName`, valid ten years, as PEM.
    static bool generate(const QString &commonName, QByteArray *keyPem, QByteArray *certPem);
};
