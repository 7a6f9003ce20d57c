#include "StatisticsPassword.h"

#include "KxSettings.h"

#include <QCryptographicHash>

namespace {
const QString kGroup = QStringLiteral("Statistics");
}

namespace StatisticsPassword {

QString defaultPassword()
{
    return QStringLiteral("qerlid");
}

QString hash(const QString &password)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex().toUpper());
}

QString effectiveHash()
{
    const QString stored = KxSettings::instance()->value(kGroup, QStringLiteral("Pwd")).toString();
    return stored.isEmpty() ? hash(defaultPassword()) : stored;
}

bool matches(const QString &entry)
{
    return !entry.isEmpty() && hash(entry) == effectiveHash();
}

QString change(const QString &oldPassword, const QString &newPassword, const QString &confirm)
{
    if (oldPassword.isEmpty())
        return QStringLiteral("#ID_PWD_ERROR1");
    if (newPassword.isEmpty())
        return QStringLiteral("#ID_PWD_ERROR2");
    if (confirm.isEmpty())
        return QStringLiteral("#ID_PWD_ERROR3");
    if (newPassword != confirm)
        return QStringLiteral("#ID_PWD_ERROR4");
    if (hash(oldPassword) != effectiveHash())
        return QStringLiteral("#ID_PWD_ERROR5");
    KxSettings::instance()->setValue(kGroup, QStringLiteral("Pwd"), hash(newPassword));
    return QStringLiteral("#ID_PWD_OK");
}

bool isLocked()
{
    return KxSettings::instance()->value(kGroup, QStringLiteral("Lock"), false).toBool();
}

void setLocked(bool locked)
{
    KxSettings::instance()->setValue(kGroup, QStringLiteral("Lock"), locked);
}

}  // namespace StatisticsPassword
