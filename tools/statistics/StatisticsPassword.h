#pragma once
// The lock of the statistics page and its password, kept in the settings file, group
// "Statistics": "Lock" and "Pwd" (upper-case hexadecimal SHA-1 of the UTF-8 password). While no
// password is stored, the default one is in force.
#include <QString>

namespace StatisticsPassword {
QString defaultPassword();
QString hash(const QString &password);
// The stored hash, or the default password's hash when none is stored.
QString effectiveHash();
// A non-empty entry whose hash is the effective one.
bool matches(const QString &entry);
// Checks a change in the order the user reads the fields; stores the new hash when all pass.
// Returns the message key to show ("#ID_PWD_OK" on success).
QString change(const QString &oldPassword, const QString &newPassword, const QString &confirm);

bool isLocked();
void setLocked(bool locked);
}  // namespace StatisticsPassword
