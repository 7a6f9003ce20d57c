#include "KxScript.h"

#include <QRegularExpression>

namespace KxScriptValue {

QString encode(const QString &script)
{
    const QByteArray hex = script.toUtf8().toHex().toUpper();
    return QStringLiteral("0M%1L%2").arg(hex.size()).arg(QString::fromLatin1(hex));
}

bool decode(const QString &value, QString *script)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+)M([0-9]+)L([0-9A-Fa-f]*)$"));
    const QRegularExpressionMatch m = form.match(value.trimmed());
    if (!m.hasMatch())
        return false;
    const QString hex = m.captured(3);
    bool ok = false;
    if (m.captured(2).toInt(&ok) != hex.size() || !ok || hex.size() % 2 != 0)
        return false;
    *script = QString::fromUtf8(QByteArray::fromHex(hex.toLatin1()));
    return true;
}

}  // namespace KxScriptValue
