#include "FtpCertificate.h"

#include <QDir>
#include <QFile>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <memory>

namespace {
template<typename T, void (*Free)(T *)>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

QByteArray bioBytes(BIO *bio)
{
    char *data = nullptr;
    const long len = BIO_get_mem_data(bio, &data);
    return len > 0 ? QByteArray(data, int(len)) : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions perms)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // Narrow the permissions before the secret is written.
    file.setPermissions(perms);
    return file.write(bytes) == bytes.size() && file.flush();
}
} // namespace

bool FtpCertificate::generate(const QString &commonName, QByteArray *keyPem, QByteArray *certPem)
{
    Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_EC_gen("P-256"));
    Owned<X509, X509_free> cert(X509_new());
    if (!key || !cert)
        return false;
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return false;
    serial[0] &= 0x7f; // a positive serial number
    Owned<BIGNUM, BN_free> bn(BN_bin2bn(serial, sizeof serial, nullptr));
    if (!bn || !BN_to_ASN1_INTEGER(bn.get(), X509_get_serialNumber(cert.get())))
        return false;
    X509_set_version(cert.get(), 2);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME *name = X509_get_subject_name(cert.get());
    const QByteArray cn = commonName.toUtf8();
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char *>(cn.constData()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) <= 0)
        return false;
    Owned<BIO, BIO_free_all> keyBio(BIO_new(BIO_s_mem()));
    Owned<BIO, BIO_free_all> certBio(BIO_new(BIO_s_mem()));
    if (!keyBio || !certBio
        || PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1
        || PEM_write_bio_X509(certBio.get(), cert.get()) != 1)
        return false;
    *keyPem = bioBytes(keyBio.get());
    *certPem = bioBytes(certBio.get());
    return !keyPem->isEmpty() && !certPem->isEmpty();
}

FtpCertificate FtpCertificate::loadOrCreate(const QString &dir, QString *error)
{
    const QString keyPath = dir + QStringLiteral("/ftp-key.pem");
    const QString certPath = dir + QStringLiteral("/ftp-cert.pem");
    FtpCertificate result;
    QFile keyFile(keyPath);
    QFile certFile(certPath);
    if (keyFile.open(QIODevice::ReadOnly) && certFile.open(QIODevice::ReadOnly)) {
        result.key = QSslKey(keyFile.readAll(), QSsl::Ec);
        result.certificate = QSslCertificate(certFile.readAll());
        if (result.isValid())
            return result;
    }
    QByteArray keyPem;
    QByteArray certPem;
    if (!QDir().mkpath(dir) || !generate(QStringLiteral("Brevan FTP server"), &keyPem, &certPem)) {
        if (error)
            *error = QStringLiteral("cannot create a TLS key in %1").arg(dir);
        return FtpCertificate();
    }
    if (!writeFile(keyPath, keyPem, QFile::ReadOwner | QFile::WriteOwner)
        || !writeFile(certPath, certPem, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                             | QFile::ReadOther)) {
        if (error)
            *error = QStringLiteral("cannot write the TLS key to %1").arg(dir);
    }
    result.key = QSslKey(keyPem, QSsl::Ec);
    result.certificate = QSslCertificate(certPem);
    return result;
}
